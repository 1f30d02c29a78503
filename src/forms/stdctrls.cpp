#include "stdctrls.h"
#include "change.h"

#include <algorithm>

#include "display.h"
#include "forms.h"
#include "sysutils.h"

namespace {

unsigned AlignmentFlags(TAlignment a) {
  switch (a) {
    case taRightJustify: return DT_RIGHT;
    case taCenter: return DT_CENTER;
    default: return DT_LEFT;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TCustomLabel::SetAutoSize(bool v) {
  if (SetIfChanged(AutoSize_, v)) AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment v) {
  if (SetIfChanged(Alignment_, v)) Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (!SetIfChanged(WordWrap_, v)) return;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (SetIfChanged(Transparent_, v)) Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (!SetIfChanged(ShowAccelChar_, v)) return;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* v) {
  if (v == FocusControl_) return;
  if (FocusControl_) RemoveFreeNotification(FocusControl_);
  FocusControl_ = v;
  if (v) FreeNotification(v);
}

unsigned TCustomLabel::TextFlags() const {
  unsigned flags = DT_EXPANDTABS | AlignmentFlags(Alignment_);
  if (WordWrap_) flags |= DT_WORDBREAK;
  if (!ShowAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void TCustomLabel::Paint() {
  TCanvas& canvas = Canvas();
  if (!Transparent_) {
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(ClientRect());
  }
  canvas.Brush().SetStyle(bsClear);
  TRect r = ClientRect();
  DoDrawText(r, TextFlags());
}

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags) {
  std::string text = Caption();
  // An empty caption still measures one line (a blank), as the classic label does.
  if ((flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar_ && text == "&"))) text += ' ';
  TCanvas& canvas = Canvas();
  canvas.SetFont(Font());
  if (flags & DT_CALCRECT) {
    canvas.DrawText(text, rect, flags);
    return;
  }
  if (Enabled()) {
    canvas.DrawText(text, rect, flags);
    return;
  }
  TRect shifted = OffsetRect(rect, 1, 1);
  canvas.Font().SetColor(clBtnHighlight);
  canvas.DrawText(text, shifted, flags);
  canvas.Font().SetColor(clBtnShadow);
  canvas.DrawText(text, rect, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!AutoSize_ || IsLoading()) return;
  TRect r = ClientRect();
  if (!WordWrap_) r.Right = r.Left + 0x3FFF;
  DoDrawText(r, TextFlags() | DT_CALCRECT);
  SetBounds(Left(), Top(), WordWrap_ ? Width() : r.Width(), r.Height());
}

void TCustomLabel::WndProc(TMessage& message) {
  TGraphicControl::WndProc(message);
  if (message.Msg == CM_TEXTCHANGED || message.Msg == CM_FONTCHANGED) AdjustBounds();
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FocusControl_) FocusControl_ = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

// ---------------------------------------------------------------------------
// TStaticText

TStaticText::TStaticText(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TStaticText::SetAutoSize(bool v) {
  if (SetIfChanged(AutoSize_, v)) AdjustBounds();
}

void TStaticText::SetAlignment(TAlignment v) {
  if (SetIfChanged(Alignment_, v)) Invalidate();
}

void TStaticText::SetBorderStyle(TStaticBorderStyle v) {
  if (!SetIfChanged(BorderStyle_, v)) return;
  AdjustBounds();
  Invalidate();
}

namespace {

int StaticBorder(TStaticBorderStyle s) {
  switch (s) {
    case sbsSingle: return 1;
    case sbsSunken: return 1;
    default: return 0;
  }
}

}  // namespace

void TStaticText::PaintWindow(TCanvas& canvas, const TRect& clip) {
  TWinControl::PaintWindow(canvas, clip);
  TRect r = ClientRect();
  if (BorderStyle_ == sbsSingle) {
    canvas.Brush().SetColor(clWindowText);
    canvas.FrameRect(r);
    r = InflateRect(r, -1, -1);
  } else if (BorderStyle_ == sbsSunken) {
    canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
  }
  canvas.SetFont(Font());
  canvas.Brush().SetStyle(bsClear);
  canvas.DrawText(Caption(), r, AlignmentFlags(Alignment_) | DT_EXPANDTABS);
  canvas.Brush().SetStyle(bsSolid);
}

void TStaticText::AdjustBounds() {
  if (!AutoSize_ || IsLoading()) return;
  TCanvas measure;
  measure.SetFont(Font());
  TRect r{0, 0, 0x3FFF, 0};
  measure.DrawText(Caption().empty() ? std::string(" ") : Caption(), r, DT_CALCRECT | DT_EXPANDTABS);
  const int border = 2 * StaticBorder(BorderStyle_);
  SetBounds(Left(), Top(), r.Width() + border, r.Height() + border);
}

void TStaticText::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  if (message.Msg == CM_TEXTCHANGED || message.Msg == CM_FONTCHANGED) AdjustBounds();
}

// ---------------------------------------------------------------------------
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetColor(clWindow);
  SetTabStop(true);
}

void TCustomEdit::SetMaxLength(int v) { MaxLength_ = std::max(v, 0); }

void TCustomEdit::SetCharCase(TEditCharCase v) {
  if (SetIfChanged(CharCase_, v) && v != ecNormal) SetText(Utf8Encode(ApplyCase(Utf8Decode(Text()))));
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
  if (SetIfChanged(BorderStyle_, v)) Invalidate();
}

int TCustomEdit::TextLength() const { return int(Utf8Length(Text())); }

void TCustomEdit::SetSelStart(int v) {
  v = std::clamp(v, 0, TextLength());
  if (v == SelStart_ && SelLength_ == 0) return;
  SelStart_ = Anchor_ = Caret_ = v;
  SelLength_ = 0;
  Invalidate();
}

void TCustomEdit::SetSelLength(int v) {
  v = std::clamp(v, 0, TextLength() - SelStart_);
  if (!SetIfChanged(SelLength_, v)) return;
  Anchor_ = SelStart_;
  Caret_ = SelStart_ + v;
  Invalidate();
}

void TCustomEdit::SelectAll() {
  SelStart_ = Anchor_ = 0;
  SelLength_ = TextLength();
  Caret_ = SelLength_;
  Invalidate();
}

std::string TCustomEdit::SelText() const {
  const std::u32string text = Utf8Decode(Text());
  return Utf8Encode(text.substr(std::size_t(SelStart_), std::size_t(SelLength_)));
}

void TCustomEdit::CopyToClipboard() {
  if (SelLength_ > 0 && Application) Application->Display().SetClipboardText(SelText());
}

void TCustomEdit::CutToClipboard() {
  if (ReadOnly_) return;
  CopyToClipboard();
  ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
  if (ReadOnly_ || !Application) return;
  std::u32string text = Utf8Decode(Application->Display().ClipboardText());
  // A single-line field takes the first line; other control characters are dropped.
  text = text.substr(0, text.find_first_of(U"\r\n"));
  std::erase_if(text, [](char32_t c) { return c < 0x20 || c == 0x7F; });
  InsertText(text);
}

void TCustomEdit::ClearSelection() {
  if (ReadOnly_ || SelLength_ == 0) return;
  InsertText(U"");
}

std::u32string TCustomEdit::ApplyCase(std::u32string text) const {
  for (char32_t& c : text) {
    if (CharCase_ == ecUpperCase) {
      if ((c >= U'a' && c <= U'z') || (c >= 0x430 && c <= 0x44F))
        c -= 0x20;
      else if (c >= 0x450 && c <= 0x45F)
        c -= 0x50;
    } else if (CharCase_ == ecLowerCase) {
      if ((c >= U'A' && c <= U'Z') || (c >= 0x410 && c <= 0x42F))
        c += 0x20;
      else if (c >= 0x400 && c <= 0x40F)
        c += 0x50;
    }
  }
  return text;
}

void TCustomEdit::InsertText(const std::u32string& insert) {
  std::u32string text = Utf8Decode(Text());
  std::u32string add = ApplyCase(insert);
  const int kept = int(text.size()) - SelLength_;
  if (MaxLength_ > 0) add.resize(std::size_t(std::clamp(MaxLength_ - kept, 0, int(add.size()))));
  if (add.empty() && SelLength_ == 0) return;
  text.replace(std::size_t(SelStart_), std::size_t(SelLength_), add);
  const int caret = SelStart_ + int(add.size());
  SetTextKeepingCaret(Utf8Encode(text), caret);
}

void TCustomEdit::SetTextKeepingCaret(const std::string& text, int caret) {
  Editing_ = true;
  SetText(text);
  Editing_ = false;
  SelStart_ = Anchor_ = Caret_ = caret;
  SelLength_ = 0;
  Invalidate();
}

void TCustomEdit::MoveCaret(int to, bool extend) {
  to = std::clamp(to, 0, TextLength());
  if (!extend) Anchor_ = to;
  Caret_ = to;
  SelStart_ = std::min(Anchor_, to);
  SelLength_ = std::abs(Anchor_ - to);
  Invalidate();
}

void TCustomEdit::KeyDown(std::uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  const bool extend = shift.Contains(ssShift);
  if (shift.Contains(ssCtrl)) {
    switch (key) {
      case 'A': SelectAll(); return;
      case 'C': CopyToClipboard(); return;
      case 'X': CutToClipboard(); return;
      case 'V': PasteFromClipboard(); return;
      case VK_INSERT: CopyToClipboard(); return;
      default: break;
    }
  }
  switch (key) {
    case VK_LEFT: MoveCaret(!extend && SelLength_ > 0 ? SelStart_ : Caret_ - 1, extend); break;
    case VK_RIGHT: MoveCaret(!extend && SelLength_ > 0 ? SelStart_ + SelLength_ : Caret_ + 1, extend); break;
    case VK_HOME: MoveCaret(0, extend); break;
    case VK_END: MoveCaret(TextLength(), extend); break;
    case VK_DELETE:
      if (ReadOnly_) break;
      if (extend) {
        CutToClipboard();
      } else {
        if (SelLength_ == 0 && SelStart_ < TextLength()) SelLength_ = 1;
        ClearSelection();
      }
      break;
    case VK_INSERT:
      if (extend) PasteFromClipboard();
      break;
    default: break;
  }
}

void TCustomEdit::KeyPress(char32_t& key) {
  TWinControl::KeyPress(key);
  if (key == 0 || ReadOnly_) return;
  if (key == U'\b') {
    if (SelLength_ == 0 && SelStart_ > 0) {
      SelStart_ -= 1;
      SelLength_ = 1;
    }
    ClearSelection();
    return;
  }
  if (key < 0x20 || key == 0x7F) return;
  InsertText(std::u32string(1, key));
}

int TCustomEdit::TextLeft() const { return BorderStyle_ == TBorderStyle::bsSingle ? 3 : 0; }

int TCustomEdit::CaretFromX(int x) {
  TCanvas measure;
  measure.SetFont(Font());
  const std::u32string text = Utf8Decode(Text());
  int best = 0;
  int bestDist = std::abs(x - TextLeft());
  for (std::size_t i = 1; i <= text.size(); ++i) {
    const int px = TextLeft() + measure.TextWidth(Utf8Encode(text.substr(0, i)));
    if (std::abs(x - px) < bestDist) {
      best = int(i);
      bestDist = std::abs(x - px);
    }
  }
  return best;
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (shift.Contains(ssDouble))
      SelectAll();
    else
      MoveCaret(CaretFromX(x), shift.Contains(ssShift));
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  if (shift.Contains(ssLeft) && MouseCapture()) MoveCaret(CaretFromX(x), true);
  TWinControl::MouseMove(shift, x, y);
}

void TCustomEdit::PaintWindow(TCanvas& canvas, const TRect& clip) {
  TWinControl::PaintWindow(canvas, clip);
  TRect r = ClientRect();
  if (BorderStyle_ == TBorderStyle::bsSingle) canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 2);
  canvas.SetClipRect(IntersectRect(clip, r));
  canvas.SetFont(Font());
  const std::u32string text = Utf8Decode(Text());
  const int x0 = TextLeft();
  const int y0 = BorderStyle_ == TBorderStyle::bsSingle ? 3 : 0;
  canvas.Brush().SetStyle(bsClear);
  canvas.TextOut(x0, y0, Text());
  const int height = canvas.TextHeight("Wg");
  auto xAt = [&](int i) { return x0 + canvas.TextWidth(Utf8Encode(text.substr(0, std::size_t(i)))); };
  const bool focused = Focused();
  if (focused && SelLength_ > 0) {
    const std::string sel = SelText();
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(clHighlight);
    canvas.Font().SetColor(clHighlightText);
    canvas.TextOut(xAt(SelStart_), y0, sel);
  }
  if (focused) {
    // A steady caret: blinking would repaint an otherwise still window.
    const int cx = xAt(Caret_);
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(Font().Color());
    canvas.FillRect({cx, y0, cx + 1, y0 + height});
  }
}

void TCustomEdit::WndProc(TMessage& message) {
  TWinControl::WndProc(message);
  if (message.Msg != CM_TEXTCHANGED) return;
  if (!Editing_) {
    SelStart_ = Anchor_ = Caret_ = TextLength();
    SelLength_ = 0;
  }
  if (OnChange) OnChange(this);
}

void TCustomEdit::DoEnter() {
  // Entering the field selects its text, so typing replaces it.
  SelectAll();
}

void TCustomEdit::DoExit() { Invalidate(); }
