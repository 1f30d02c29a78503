#include "AbCBitBt.h"

#include <algorithm>

#include "forms.h"

namespace {

template <class T>
bool StoreIfChanged(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// Sets a flag for the lifetime of the guard (re-entry protection).
class TBusyGuard {
 public:
  explicit TBusyGuard(bool& flag) : Flag_(flag) { Flag_ = true; }
  ~TBusyGuard() { Flag_ = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  bool& Flag_;
};

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
  if (StoreIfChanged(PosHorizontal_, v)) StateChanged();
}
void TAbColBitBtn::SetPosVertical(TPosV v) {
  if (StoreIfChanged(PosVertical_, v)) StateChanged();
}
void TAbColBitBtn::SetPosGlyph(TPos v) {
  if (StoreIfChanged(PosGlyph_, v)) StateChanged();
}
void TAbColBitBtn::SetFlashOptions(TFlashOptions v) { FlashOptions_ = v; }
void TAbColBitBtn::SetCheckedOptions(TCheckedOptions v) {
  CheckedOptions_ = v;
  StateChanged();
}
void TAbColBitBtn::SetColorOff(TColor v) {
  if (StoreIfChanged(ColorOff_, v)) StateChanged();
}
void TAbColBitBtn::SetColorDisabled(TColor v) {
  if (StoreIfChanged(ColorDisabled_, v)) StateChanged();
}
void TAbColBitBtn::SetColorOn(TColor v) {
  if (StoreIfChanged(ColorOn_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetX(int v) {
  if (StoreIfChanged(OffsetX_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetY(int v) {
  if (StoreIfChanged(OffsetY_, v)) StateChanged();
}
void TAbColBitBtn::SetOffsetDown(int v) {
  if (StoreIfChanged(OffsetDown_, v)) StateChanged();
}
void TAbColBitBtn::SetNumGlyph(int v) {
  if (v > 0 && StoreIfChanged(NumGlyph_, v)) StateChanged();
}
void TAbColBitBtn::SetBeveled(bool v) {
  if (StoreIfChanged(Beveled_, v)) StateChanged();
}
void TAbColBitBtn::SetTransparent(bool v) {
  // The cached background changes: a full repaint.
  if (StoreIfChanged(Transparent_, v)) Invalidate();
}
void TAbColBitBtn::SetFlat(bool v) {
  if (StoreIfChanged(Flat_, v)) StateChanged();
}
void TAbColBitBtn::SetSpacing(int v) {
  if (StoreIfChanged(Spacing_, v)) StateChanged();
}
void TAbColBitBtn::SetTextOff(const std::string& v) {
  if (StoreIfChanged(TextOff_, v)) StateChanged();
}
void TAbColBitBtn::SetTextOn(const std::string& v) {
  if (StoreIfChanged(TextOn_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColOn(TColor v) {
  if (StoreIfChanged(TextColOn_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColOff(TColor v) {
  if (StoreIfChanged(TextColOff_, v)) StateChanged();
}
void TAbColBitBtn::SetTextColDisabled(TColor v) {
  if (StoreIfChanged(TextColDisabled_, v)) StateChanged();
}
void TAbColBitBtn::SetText3D(bool v) {
  if (StoreIfChanged(Text3D_, v)) StateChanged();
}
void TAbColBitBtn::SetEnabled(bool v) {
  if (StoreIfChanged(OwnEnabled_, v)) StateChanged();
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
    TBusyGuard busy(Busy_);
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
  TBusyGuard busy(Busy_);
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

void TAbColBitBtn::DrawButton(bool glyphFlag, bool textFlag, bool textColFlag, bool faceColFlag) {
  const int numGlyph = std::max(NumGlyph_, 1);
  const int gw = Glyph_->Width() / numGlyph;
  const int gh = Glyph_->Height();
  TBitmap work(Width(), Height());
  TCanvas& wc = work.Canvas();
  const TRect client = ClientRect();
  wc.CopyRect(client, FaceBitmap_->Canvas(), client);
  TRect r = client;

  std::string caption = textFlag ? TextOn_ : TextOff_;
  if (!textFlag && caption.empty()) caption = TextOn_;

  const bool sunkenByCheck = Checked() && (CheckedOptions_ & coBevel);
  int dx = OffsetX_;
  int dy = OffsetY_;
  if (Pressed() || sunkenByCheck) {
    dx += OffsetDown_;
    dy += OffsetDown_;
  }

  TColor faceColor = faceColFlag ? ColorOn_ : ColorOff_;
  if (!OwnEnabled_) faceColor = ColorDisabled_;

  const bool ownFace = Transparent_ || GradBtnFace_->Visible();
  if (BevelShown()) {
    const bool raised = (CheckedOptions_ & coBevel) ? !(Checked() || Pressed()) : !Pressed();
    ButtonBevel_->DrawBevel(wc, r, raised, !ownFace, faceColor);
  } else if (!ownFace) {
    wc.Pen().SetWidth(1);
    wc.Pen().SetStyle(psSolid);
    wc.Pen().SetColor(faceColor);
    wc.Brush().SetStyle(bsSolid);
    wc.Brush().SetColor(faceColor);
    wc.Rectangle(client);
  }

  wc.SetFont(Font());
  const TSize block = MeasureTextBlock(wc, TextOff_ + "|" + TextOn_);
  const int tw = block.cx;
  const int th = block.cy * (CountChar(caption, '|') + 1);
  const int sp = (gw < 1 || tw < 1) ? 0 : Spacing_;
  const bool sideBySide = PosGlyph_ == pLeft || PosGlyph_ == pRight;
  const int bw = sideBySide ? gw + sp + tw : std::max(gw, tw);
  const int bh = sideBySide ? std::max(gh, th) : gh + sp + th;
  const int cx = BlockCentre(r.Left, r.Right, bw, PosHorizontal_ == phLeft, PosHorizontal_ == phRight);
  const int cy = BlockCentre(r.Top, r.Bottom, bh, PosVertical_ == pvTop, PosVertical_ == pvBottom);
  TBlockLayout layout = LayoutBlock(PosGlyph_, cx, cy, bw, bh, gw, gh, sp);
  layout.Glyph = {layout.Glyph.X + dx, layout.Glyph.Y + dy};
  layout.Text = {layout.Text.X + dx, layout.Text.Y + dy};

  wc.Brush().SetStyle(bsClear);
  TColor textColor = textColFlag ? TextColOn_ : TextColOff_;
  if (!OwnEnabled_) textColor = TextColDisabled_;
  if (!caption.empty())
    DrawText3D(wc, layout.Text.X, layout.Text.Y, Text3D_, layout.Anchor, caption,
               ButtonBevel_->HighlightColTo(), ButtonBevel_->ShadowColTo(), textColor, 0);

  if (gw > 0) {
    int cell = 0;
    if (NumGlyph_ >= 2) {
      if (!OwnEnabled_)
        cell = 1;
      else if (glyphFlag && NumGlyph_ >= 3)
        cell = 2;
    }
    TBitmap cellBitmap(gw, gh);
    cellBitmap.Canvas().CopyRect({0, 0, gw, gh}, Glyph_->Canvas(), {cell * gw, 0, cell * gw + gw, gh});
    cellBitmap.SetTransparentColor(Glyph_->TransparentColor());
    cellBitmap.SetTransparent(true);
    wc.Draw(layout.Glyph.X, layout.Glyph.Y, cellBitmap);
  }

  Canvas().Draw(0, 0, work);
}
