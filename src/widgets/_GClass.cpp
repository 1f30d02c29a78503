#include "_GClass.h"

#include <array>

#include "AbFlashT.h"
#include "helpers.h"
#include "sysutils.h"

namespace {

// Set while a StatusInt change is copied to the members of a group: no
// SetStatusInt anywhere propagates meanwhile.
bool GroupPropagating = false;

// Tick-counter bit per TFlashFreq.
constexpr std::array<int, 5> FlashBits = {2, 3, 4, 5, 6};

}  // namespace

// --- TAbPersistent and the settings objects --------------------------------

void TAbPersistent::Changed() {
  if (OnChange) OnChange(this);
}

void TAbGradSettings::SetColorFrom(TColor v) {
  if (SetIfChanged(ColorFrom_, v)) Changed();
}
void TAbGradSettings::SetColorTo(TColor v) {
  if (SetIfChanged(ColorTo_, v)) Changed();
}
void TAbGradSettings::SetVisible(bool v) {
  if (SetIfChanged(Visible_, v)) Changed();
}
void TAbGradSettings::SetStyle(TGradientStyle v) {
  if (SetIfChanged(Style_, v)) Changed();
}

void TAbGradSettings::Assign(const TPersistent& source) {
  const auto* s = dynamic_cast<const TAbGradSettings*>(&source);
  if (!s) return TAbPersistent::Assign(source);
  SetColorFrom(s->ColorFrom());
  SetColorTo(s->ColorTo());
  SetVisible(s->Visible());
  SetStyle(s->Style());
  Changed();
}

void TAbBtnBevel::SetShadowColFrom(TColor v) {
  if (SetIfChanged(ShadowColFrom_, v)) Changed();
}
void TAbBtnBevel::SetShadowColTo(TColor v) {
  if (SetIfChanged(ShadowColTo_, v)) Changed();
}
void TAbBtnBevel::SetHighlightColFrom(TColor v) {
  if (SetIfChanged(HighlightColFrom_, v)) Changed();
}
void TAbBtnBevel::SetHighlightColTo(TColor v) {
  if (SetIfChanged(HighlightColTo_, v)) Changed();
}

void TAbBtnBevel::SetWidth(int v) {
  if (v >= 0 && SetIfChanged(Width_, v)) Changed();
}

void TAbBtnBevel::Assign(const TPersistent& source) {
  const auto* s = dynamic_cast<const TAbBtnBevel*>(&source);
  if (!s) return TAbPersistent::Assign(source);
  ShadowColFrom_ = s->ShadowColFrom_;
  ShadowColTo_ = s->ShadowColTo_;
  HighlightColFrom_ = s->HighlightColFrom_;
  HighlightColTo_ = s->HighlightColTo_;
  Width_ = s->Width_;
  Changed();
}

void TAbBtnBevel::DrawBevel(TCanvas& canvas, TRect& rect, bool raised, bool fillFace,
                            TColor faceColor) const {
  if (fillFace) {
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetColor(faceColor);
    canvas.Brush().SetColor(faceColor);
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(rect);
  }
  for (int i = 1; i <= Width_; ++i) {
    const TColor top = raised ? BlendColor(HighlightColFrom_, HighlightColTo_, Width_, i)
                              : BlendColor(ShadowColTo_, ShadowColFrom_, Width_, i);
    const TColor bottom = raised ? BlendColor(ShadowColFrom_, ShadowColTo_, Width_, i)
                                 : BlendColor(HighlightColTo_, HighlightColFrom_, Width_, i);
    canvas.Frame3D(rect, top, bottom, 1);
  }
}

void TLED::SetShape(TLEDShape v) {
  if (SetIfChanged(Shape_, v)) Changed();
}
void TLED::SetColorOn(TColor v) {
  if (SetIfChanged(ColorOn_, v)) Changed();
}
void TLED::SetColorOff(TColor v) {
  if (SetIfChanged(ColorOff_, v)) Changed();
}

void TLED::SetWidth(int v) {
  if (v >= 4 && v <= 40 && SetIfChanged(Width_, v)) Changed();
}

void TLED::SetHeight(int v) {
  if (v >= 4 && v <= 40 && SetIfChanged(Height_, v)) Changed();
}

// Before the first full paint there is no place for the LED yet.
void TLED::PaintLed(TCanvas& canvas, bool lit) const {
  if (LedRect_.IsEmpty()) return;
  DrawLedShape(canvas, LedRect_, Shape_, lit ? ColorOn_ : ColorOff_, clBtnShadow);
}

// --- TAbBinGControl ---------------------------------------------------------

TAbBinGControl::TAbBinGControl(TComponent* owner) : TGraphicControl(owner) {
  if (owner) {
    auto* parent = dynamic_cast<TWinControl*>(owner);
    if (!parent) throw EInvalidCast("Invalid class typecast");
    SetParent(parent);
  }
}

TAbBinGControl::~TAbBinGControl() { StopFlash(); }

void TAbBinGControl::SetChecked(bool v) {
  if (!SetIfChanged(Checked_, v)) return;
  if (Checked_ && Flashing_)
    StartFlash();
  else
    StopFlash();
  if (Checked_)
    SetStatusInt(Mode_ == mRadioButton ? Bit() : (StatusInt_ | Bit()));
  else if (Mode_ != mRadioButton)
    SetStatusInt(StatusInt_ & ~Bit());
  StateChanged();
  if (OnStatusChanged) OnStatusChanged(this);
}

void TAbBinGControl::SetStatusInt(std::int32_t v) {
  if (!SetIfChanged(StatusInt_, v)) return;
  SetChecked((StatusInt_ & Bit()) != 0);
  StatusIntChanged();
  if (OnStatusIntChanged) OnStatusIntChanged(this);
  if (GroupIndex_ == 0 || GroupPropagating || !Owner()) return;
  TFlagGuard propagation(GroupPropagating);
  // By index: a handler may add or free components while we walk.
  const auto& members = Owner()->Components();
  for (std::size_t i = 0; i < members.size(); ++i) {
    auto* member = dynamic_cast<TAbBinGControl*>(members[i]);
    if (member && member->GroupIndex_ == GroupIndex_) member->SetStatusInt(StatusInt_);
  }
}

void TAbBinGControl::SetStatusBit(int v) {
  if (v < 0 || v > 31 || !SetIfChanged(StatusBit_, v)) return;
  SetChecked((StatusInt_ & Bit()) != 0);
}

void TAbBinGControl::SetMode(TMode v) {
  Mode_ = v;
  if (Mode_ == mButton)
    SetStatusInt(0);
  else if (Mode_ == mRadioButton)
    SetStatusInt(1);
}

void TAbBinGControl::SetGroupIndex(int v) {
  if (v < 0 || !SetIfChanged(GroupIndex_, v)) return;
  JoinGroup();
  GroupIndexChanged();
}

void TAbBinGControl::JoinGroup() {
  if (GroupIndex_ == 0 || !Owner()) return;
  for (TComponent* c : Owner()->Components()) {
    auto* member = dynamic_cast<TAbBinGControl*>(c);
    if (member && member->GroupIndex_ == GroupIndex_) {
      SetStatusInt(member->StatusInt_);
      return;
    }
  }
}

void TAbBinGControl::SetFrequency(TFlashFreq v) {
  Frequency_ = v;
  if (Checked_ && Flashing_) StartFlash();
}

void TAbBinGControl::SetFlashing(bool v) {
  if (!SetIfChanged(Flashing_, v)) return;
  if (Checked_ && Flashing_)
    StartFlash();
  else
    StopFlash();
  StateChanged();
  if (OnStatusChanged) OnStatusChanged(this);
}

void TAbBinGControl::StartFlash() {
  const auto index = std::size_t(Frequency_);
  AddFlashControl(this, index < FlashBits.size() ? FlashBits[index] : FlashBits[std::size_t(ff1Hz)]);
}

void TAbBinGControl::StopFlash() { RemoveFlashControl(this); }

void TAbBinGControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    Pressed_ = true;
    switch (Mode_) {
      case mButton: SetChecked(true); break;
      case mSwitch: SetChecked(!Checked_); break;
      case mRadioButton: SetStatusInt(Bit()); break;
      case mIndicator: break;
    }
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TAbBinGControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft) return;
  Pressed_ = false;
  if (Mode_ == mIndicator) return;
  if (Mode_ == mButton) SetChecked(false);
  StateChanged();
}

void TAbBinGControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_FLASHPHASE: FlashPhaseChanged(message.LParam != 0); return;
    case CM_TEXTCHANGED: ContentChanged(); return;
    default: TGraphicControl::WndProc(message);
  }
}
