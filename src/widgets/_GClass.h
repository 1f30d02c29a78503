// Settings objects of the widgets and the two-state control base.
#pragma once

#include <cstdint>

#include "_AbProc.h"
#include "controls.h"

// Sent by the flash timer: WParam = tick counter, LParam = phase (non-zero: on).
inline constexpr unsigned WM_FLASHPHASE = WM_USER_BASE + 100;

enum class TMode { mButton, mSwitch, mIndicator, mRadioButton };
using enum TMode;

enum class TFlashFreq { ff8Hz, ff4Hz, ff2Hz, ff1Hz, ff05Hz };
using enum TFlashFreq;

// Settings objects fire OnChange after every effective change.
class TAbPersistent : public TPersistent {
 public:
  TNotifyEvent OnChange;
  std::string ClassName() const override { return "TAbPersistent"; }

 protected:
  void Changed();
};

class TAbGradSettings : public TAbPersistent {
 public:
  std::string ClassName() const override { return "TAbGradSettings"; }
  TColor ColorFrom() const { return ColorFrom_; }
  void SetColorFrom(TColor v);
  TColor ColorTo() const { return ColorTo_; }
  void SetColorTo(TColor v);
  bool Visible() const { return Visible_; }
  void SetVisible(bool v);
  TGradientStyle Style() const { return Style_; }
  void SetStyle(TGradientStyle v);
  void Assign(const TPersistent& source) override;

 private:
  TColor ColorFrom_ = 0xE2E2E2;
  TColor ColorTo_ = 0x8F8F8F;
  bool Visible_ = false;
  TGradientStyle Style_ = gsHorizontal1;
};

class TAbBtnBevel : public TAbPersistent {
 public:
  std::string ClassName() const override { return "TAbBtnBevel"; }
  TColor ShadowColFrom() const { return ShadowColFrom_; }
  void SetShadowColFrom(TColor v);
  TColor ShadowColTo() const { return ShadowColTo_; }
  void SetShadowColTo(TColor v);
  TColor HighlightColFrom() const { return HighlightColFrom_; }
  void SetHighlightColFrom(TColor v);
  TColor HighlightColTo() const { return HighlightColTo_; }
  void SetHighlightColTo(TColor v);
  int Width() const { return Width_; }
  void SetWidth(int v);  // negative values are ignored
  void Assign(const TPersistent& source) override;
  // Rect comes back reduced by Width on every side.
  void DrawBevel(TCanvas& canvas, TRect& rect, bool raised, bool fillFace, TColor faceColor) const;

 private:
  TColor ShadowColFrom_ = clBlack;
  TColor ShadowColTo_ = clBtnShadow;
  TColor HighlightColFrom_ = 0xD2D2D2;
  TColor HighlightColTo_ = clBtnHighlight;
  int Width_ = 2;
};

// The LED's appearance.
class TLED : public TAbPersistent {
 public:
  std::string ClassName() const override { return "TLED"; }
  TLEDShape Shape() const { return Shape_; }
  void SetShape(TLEDShape v);
  TColor ColorOn() const { return ColorOn_; }
  void SetColorOn(TColor v);
  TColor ColorOff() const { return ColorOff_; }
  void SetColorOff(TColor v);
  int Width() const { return Width_; }
  void SetWidth(int v);  // 4..40
  int Height() const { return Height_; }
  void SetHeight(int v);  // 4..40
  // Set by the control's full paint; used by every later LED drawing.
  const TRect& LedRect() const { return LedRect_; }
  void SetLedRect(const TRect& r) { LedRect_ = r; }
  void PaintLed(TCanvas& canvas, bool lit) const;

 private:
  TLEDShape Shape_ = sRound;
  TColor ColorOn_ = clLime;
  TColor ColorOff_ = clBtnFace;
  int Width_ = 13;
  int Height_ = 13;
  TRect LedRect_{};
};

// The two-state model shared by the LED and the button: Checked, a status
// word of which the control shows one bit, modes, groups and flashing.
class TAbBinGControl : public TGraphicControl {
 public:
  // The owner becomes the parent; it must be a windowed control (null: no
  // parent; anything else: EInvalidCast).
  explicit TAbBinGControl(TComponent* owner);
  ~TAbBinGControl() override;
  std::string ClassName() const override { return "TAbBinGControl"; }

  bool Checked() const { return Checked_; }
  void SetChecked(bool v);
  TFlashFreq Frequency() const { return Frequency_; }
  void SetFrequency(TFlashFreq v);
  bool Flashing() const { return Flashing_; }
  void SetFlashing(bool v);
  std::int32_t StatusInt() const { return StatusInt_; }
  void SetStatusInt(std::int32_t v);
  int StatusBit() const { return StatusBit_; }
  void SetStatusBit(int v);  // 0..31
  int GroupIndex() const { return GroupIndex_; }
  void SetGroupIndex(int v);  // 0 or more
  TMode Mode() const { return Mode_; }
  void SetMode(TMode v);
  bool Pressed() const { return Pressed_; }

  TNotifyEvent OnStatusChanged;
  TNotifyEvent OnStatusIntChanged;

  void StartFlash();
  void StopFlash();

 protected:
  // The five hooks, in slot order; empty here.
  virtual void ContentChanged() {}
  virtual void StateChanged() {}
  virtual void GroupIndexChanged() {}
  virtual void StatusIntChanged() {}
  virtual void FlashPhaseChanged(bool /*phase*/) {}

  void JoinGroup();
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;

  bool Pressed_ = false;

 private:
  std::int32_t Bit() const { return std::int32_t(std::uint32_t(1) << StatusBit_); }
  bool Checked_ = false;
  TFlashFreq Frequency_ = ff1Hz;
  bool Flashing_ = false;
  std::int32_t StatusInt_ = 0;
  int StatusBit_ = 0;
  int GroupIndex_ = 0;
  TMode Mode_ = mIndicator;
};
