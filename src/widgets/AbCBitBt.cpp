#include "AbCBitBt.h"

#include <algorithm>

#include "forms.h"
#include "helpers.h"

namespace {

// Whether any window holds the mouse between a press and its release.
bool AnyWindowHoldsCapture(const TControl& control) {
  if (Application) {
    const auto& forms = Application->Forms();
    if (std::any_of(forms.begin(), forms.end(), [](const TCustomForm* f) { return f->CaptureControl(); }))
      return true;
  }
  const TCustomForm* own = control.ParentForm();
  return own && own->CaptureControl();
}

struct TBlockLayout {
  TPoint Glyph;
  TPoint Text;
  TextAnchor Anchor;
};

// Places the glyph-and-text block of size (bw, bh) centred on (cx, cy).
TBlockLayout LayoutBlock(TPos pos, int cx, int cy, int bw, int bh, int gw, int gh, int sp) {
  switch (pos) {
    case pRight: {
      const TPoint g{cx + bw / 2 - gw, cy - gh / 2};
      return {g, {g.X - sp, cy}, 5};
    }
    case pTop: {
      const TPoint g{cx - gw / 2, cy - bh / 2};
      return {g, {cx, g.Y + gh + sp}, 1};
    }
    case pBottom: {
      const TPoint g{cx - gw / 2, cy + bh / 2 - gh};
      return {g, {cx, g.Y - sp}, 7};
    }
    case pLeft:
    default: {
      const TPoint g{cx - bw / 2, cy - gh / 2};
      return {g, {g.X + gw + sp, cy}, 3};
    }
  }
}

int BlockCentre(int lo, int hi, int size, bool atLow, bool atHigh) {
  if (atLow) return lo + size / 2;
  if (atHigh) return hi - size / 2;
  return lo + (hi - lo) / 2;
}

}  // namespace

TAbColBitBtn::TAbColBitBtn(TComponent* owner)
    : TAbBinGControl(owner),
      GradBtnFace_(std::make_unique<TAbGradSettings>()),
      ButtonBevel_(std::make_unique<TAbBtnBevel>()),
      Glyph_(std::make_unique<TBitmap>()),
      FaceBitmap_(std::make_unique<TBitmap>()) {
  GradBtnFace_->SetColorFrom(0xF0F0F0);
  GradBtnFace_->SetColorTo(0x696969);
  GradBtnFace_->SetStyle(gsHorizontal1);
  GradBtnFace_->SetVisible(true);
  ButtonBevel_->SetWidth(4);
  SetMode(mButton);
  Font().SetStyle(fsBold);
  SetBounds(Left(), Top(), 65, 33);
  // A button built by the form loader is wired in Loaded(); one made in code
  // must repaint on settings changes too.
  const bool loading = IsLoading() || (owner && owner->IsLoading());
  if (!loading || IsDesigning()) WireSettings();
}

TAbColBitBtn::~TAbColBitBtn() = default;

void TAbColBitBtn::WireSettings() {
  GradBtnFace_->OnChange = [this](TObject*) { ContentChanged(); };
  ButtonBevel_->OnChange = [this](TObject*) { ContentChanged(); };
}

void TAbColBitBtn::Loaded() {
  TAbBinGControl::Loaded();
  WireSettings();
}

void TAbColBitBtn::SetPosHorizontal(TPosH v) {
  if (SetIfChanged(PosHorizontal_, v)) StateChanged();
}
void TAbColBitBtn::SetPosVertical(TPosV v) {
  if (SetIfChanged(PosVertical_, v)) StateChanged();
}
void TAbColBitBtn::SetPosGlyph(TPos v) {
  if (SetIfChanged(PosGlyph_, v)) StateChanged();
}
void TAbColBitBtn::SetFlashOptions(TFlashOptions v) { FlashOptions_ = v; }
void TAbColBitBtn::SetCheckedOptions(TCheckedOptions v) {
  CheckedOptions_ = v;
  StateChanged();
}
void TAbColBitBtn::SetColorOff(TColor v) {
  if (SetIfChanged(ColorOff_, v)) StateChanged();
}
void TAbColBitBtn::SetColorDisabled(TColor v) {
  if (SetIfChanged(ColorDisabled_, v)) StateChanged();
}
void TAbColBitBtn::SetColorOn(TColor v) {
  if (SetIfChanged(ColorOn_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetX(int v) {
  if (SetIfChanged(OffsetX_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetY(int v) {
  if (SetIfChanged(OffsetY_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetDown(int v) {
  if (SetIfChanged(OffsetDown_, v)) StateChanged();
}
void TAbColBitBtn::SetNumGlyph(int v) {
  if (v > 0 && SetIfChanged(NumGlyph_, v)) StateChanged();
}
void TAbColBitBtn::SetBeveled(bool v) {
  if (SetIfChanged(Beveled_, v)) StateChanged();
}
void TAbColBitBtn::SetTransparent(bool v) {
  // The cached background changes: a full repaint.
  if (SetIfChanged(Transparent_, v)) Invalidate();
}
void TAbColBitBtn::SetFlat(bool v) {
  if (SetIfChanged(Flat_, v)) StateChanged();
}
void TAbColBitBtn::SetSpacing(int v) {
  if (SetIfChanged(Spacing_, v)) StateChanged();
}
void TAbColBitBtn::SetTextOff(const std::string& v) {
  if (SetIfChanged(TextOff_, v)) StateChanged();
}
void TAbColBitBtn::SetTextOn(const std::string& v) {
  if (SetIfChanged(TextOn_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColOn(TColor v) {
  if (SetIfChanged(TextColOn_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColOff(TColor v) {
  if (SetIfChanged(TextColOff_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColDisabled(TColor v) {
  if (SetIfChanged(TextColDisabled_, v)) StateChanged();
}
void TAbColBitBtn::SetText3D(bool v) {
  if (SetIfChanged(Text3D_, v)) StateChanged();
}
void TAbColBitBtn::SetEnabled(bool v) {
  if (SetIfChanged(OwnEnabled_, v)) StateChanged();
}

void TAbColBitBtn::SetGlyph(const TBitmap& v) {
  Glyph_->Assign(v);
  if (Glyph_->Empty()) {
    NumGlyph_ = 1;
  } else {
    Glyph_->SetTransparentColor(Glyph_->Canvas().Pixel(0, Glyph_->Height() - 1));
  }
  StateChanged();
}

void TAbColBitBtn::ContentChanged() { Invalidate(); }

void TAbColBitBtn::FlashPhaseChanged(bool phase) {
  FlashPhase_ = phase;
  if (!Busy_) StateChanged();
}

void TAbColBitBtn::VisibleChanging() {
  if (!IsDesigning()) Invalidate();
}

void TAbColBitBtn::WndProc(TMessage& message) {
  TAbBinGControl::WndProc(message);
  if (message.Msg == CM_MOUSEENTER) {
    if (Flat_ && !Hover_ && OwnEnabled_ && !AnyWindowHoldsCapture(*this)) {
      Hover_ = true;
      StateChanged();
    }
  } else if (message.Msg == CM_MOUSELEAVE) {
    // Left regardless of the enabled flag, so a button disabled while hovered
    // does not keep its bevel once enabled again.
    if (Flat_ && Hover_) {
      Hover_ = false;
      StateChanged();
    }
  }
}

void TAbColBitBtn::Paint() {
  if (Busy_) return;
  {
    TFlagGuard busy(Busy_);
    if (!Visible() && !IsDesigning()) return;
    const TRect client = ClientRect();
    const bool resized = FaceBitmap_->Width() != Width() || FaceBitmap_->Height() != Height();
    // Outside the region being painted the canvas still shows this button,
    // and the background cached there last time is still the right one.
    const TRect fresh = resized ? client : IntersectRect(client, Canvas().ClipRect());
    if (resized) FaceBitmap_->SetSize(Width(), Height());
    FaceBitmap_->Canvas().CopyRect(fresh, Canvas(), fresh);
    if (!Transparent_ && GradBtnFace_->Visible()) {
      // The bevel's margin keeps the captured background.
      const int bw = ButtonBevel_->Width();
      DrawGradient(FaceBitmap_->Canvas(), InflateRect(client, -bw, -bw), GradBtnFace_->ColorFrom(),
                   GradBtnFace_->ColorTo(), GradBtnFace_->Style());
    }
  }
  StateChanged();
}

bool TAbColBitBtn::StateFlag(unsigned flashOption, unsigned checkedOption) const {
  if ((FlashOptions_ & flashOption) && Checked() && Flashing()) return FlashPhase_;
  return (CheckedOptions_ & checkedOption) && Checked();
}

void TAbColBitBtn::StateChanged() {
  if (Busy_) return;
  TFlagGuard busy(Busy_);
  if (!Visible() && !IsDesigning()) return;
  // Nothing cached yet (never painted, or resized since): the paint pass
  // draws the whole button.
  if (FaceBitmap_->Width() != Width() || FaceBitmap_->Height() != Height()) {
    Invalidate();
    return;
  }
  DrawButton(StateFlag(foGlyph, coGlyph), StateFlag(foText, coText), StateFlag(foTextCol, coTextCol),
             StateFlag(foBtnCol, coBtnCol));
}

bool TAbColBitBtn::BevelShown() const {
  const bool design = IsDesigning();
  return (Beveled_ && (!Flat_ || design)) || (!Beveled_ && Flat_ && design) || (Flat_ && Hover_);
}

// What the state makes of the button: everything DrawButton needs besides
// the cached face.
struct TAbColBitBtn::TLook {
  std::string Caption;
  TPoint Shift;  // of glyph and caption
  TColor FaceColor;
  TColor TextColor;
  int GlyphCell;
  bool Raised;
};

// The glyph-and-caption block: its parts' sizes, then where they go.
struct TAbColBitBtn::TBlock {
  int GW = 0, GH = 0;  // glyph cell
  int TW = 0, TH = 0;  // caption
  int Sp = 0;          // gap between them
  TPoint Glyph;
  TPoint Text;
  TextAnchor Anchor = 0;
};

TAbColBitBtn::TLook TAbColBitBtn::LookFor(bool glyphFlag, bool textFlag, bool textColFlag,
                                          bool faceColFlag) const {
  TLook look;
  look.Caption = textFlag ? TextOn_ : TextOff_;
  if (!textFlag && look.Caption.empty()) look.Caption = TextOn_;
  const bool sunkenByCheck = Checked() && (CheckedOptions_ & coBevel);
  const int down = Pressed() || sunkenByCheck ? OffsetDown_ : 0;
  look.Shift = {OffsetX_ + down, OffsetY_ + down};
  look.FaceColor = OwnEnabled_ ? (faceColFlag ? ColorOn_ : ColorOff_) : ColorDisabled_;
  look.TextColor = OwnEnabled_ ? (textColFlag ? TextColOn_ : TextColOff_) : TextColDisabled_;
  look.GlyphCell = 0;
  if (NumGlyph_ >= 2) {
    if (!OwnEnabled_)
      look.GlyphCell = 1;
    else if (glyphFlag && NumGlyph_ >= 3)
      look.GlyphCell = 2;
  }
  look.Raised = (CheckedOptions_ & coBevel) ? !(Checked() || Pressed()) : !Pressed();
  return look;
}

// Bevel, or a plain face where neither a bevel nor the cached face shows.
// Returns the rectangle left inside the bevel.
TRect TAbColBitBtn::PaintFrame(TCanvas& wc, const TLook& look) const {
  TRect r = ClientRect();
  const bool ownFace = Transparent_ || GradBtnFace_->Visible();
  if (BevelShown()) {
    ButtonBevel_->DrawBevel(wc, r, look.Raised, !ownFace, look.FaceColor);
  } else if (!ownFace) {
    wc.Pen().SetWidth(1);
    wc.Pen().SetStyle(psSolid);
    wc.Pen().SetColor(look.FaceColor);
    wc.Brush().SetStyle(bsSolid);
    wc.Brush().SetColor(look.FaceColor);
    wc.Rectangle(r);
  }
  return r;
}

// The text block keeps the width of both captions, so it does not jump
// when the caption switches.
TAbColBitBtn::TBlock TAbColBitBtn::MeasureBlock(TCanvas& wc, const std::string& caption) const {
  TBlock b;
  b.GW = Glyph_->Width() / std::max(NumGlyph_, 1);
  b.GH = Glyph_->Height();
  const TSize text = MeasureTextBlock(wc, TextOff_ + "|" + TextOn_);
  b.TW = text.cx;
  b.TH = text.cy * (CountChar(caption, '|') + 1);
  b.Sp = (b.GW < 1 || b.TW < 1) ? 0 : Spacing_;
  return b;
}

void TAbColBitBtn::PlaceBlock(TBlock& b, const TRect& r, TPoint shift) const {
  const bool sideBySide = PosGlyph_ == pLeft || PosGlyph_ == pRight;
  const int bw = sideBySide ? b.GW + b.Sp + b.TW : std::max(b.GW, b.TW);
  const int bh = sideBySide ? std::max(b.GH, b.TH) : b.GH + b.Sp + b.TH;
  const int cx = BlockCentre(r.Left, r.Right, bw, PosHorizontal_ == phLeft, PosHorizontal_ == phRight);
  const int cy = BlockCentre(r.Top, r.Bottom, bh, PosVertical_ == pvTop, PosVertical_ == pvBottom);
  const TBlockLayout layout = LayoutBlock(PosGlyph_, cx, cy, bw, bh, b.GW, b.GH, b.Sp);
  b.Glyph = {layout.Glyph.X + shift.X, layout.Glyph.Y + shift.Y};
  b.Text = {layout.Text.X + shift.X, layout.Text.Y + shift.Y};
  b.Anchor = layout.Anchor;
}

void TAbColBitBtn::PaintBlock(TCanvas& wc, const TBlock& b, const TLook& look) const {
  wc.Brush().SetStyle(bsClear);
  if (!look.Caption.empty())
    DrawText3D(wc, b.Text.X, b.Text.Y, Text3D_, b.Anchor, look.Caption, ButtonBevel_->HighlightColTo(),
               ButtonBevel_->ShadowColTo(), look.TextColor, 0);
  if (b.GW <= 0) return;
  const int x = look.GlyphCell * b.GW;
  TBitmap cell(b.GW, b.GH);
  cell.Canvas().CopyRect({0, 0, b.GW, b.GH}, Glyph_->Canvas(), {x, 0, x + b.GW, b.GH});
  cell.SetTransparentColor(Glyph_->TransparentColor());
  cell.SetTransparent(true);
  wc.Draw(b.Glyph.X, b.Glyph.Y, cell);
}

void TAbColBitBtn::DrawButton(bool glyphFlag, bool textFlag, bool textColFlag, bool faceColFlag) {
  const TLook look = LookFor(glyphFlag, textFlag, textColFlag, faceColFlag);
  TBitmap work(Width(), Height());
  TCanvas& wc = work.Canvas();
  wc.CopyRect(ClientRect(), FaceBitmap_->Canvas(), ClientRect());
  const TRect inner = PaintFrame(wc, look);
  wc.SetFont(Font());
  TBlock block = MeasureBlock(wc, look.Caption);
  PlaceBlock(block, inner, look.Shift);
  PaintBlock(wc, block, look);
  Canvas().Draw(0, 0, work);
}
