// LED indicator: a lamp shape with a caption beside it, drawn on the parent.
#pragma once

#include <memory>

#include "_GClass.h"

class TAbLED : public TAbBinGControl {
 public:
  explicit TAbLED(TComponent* owner);
  ~TAbLED() override;
  std::string ClassName() const override { return "TAbLED"; }

  TLED& LED() { return *LED_; }
  const TLED& LED() const { return *LED_; }
  TLEDPos LED_Position() const { return LED_Position_; }
  void SetLED_Position(TLEDPos v);
  int Spacing() const { return Spacing_; }
  void SetSpacing(int v);

 protected:
  void Paint() override;
  void ContentChanged() override;
  void StateChanged() override;
  void FlashPhaseChanged(bool phase) override;

 private:
  void DrawLedNow(bool lit);
  std::unique_ptr<TLED> LED_;
  TLEDPos LED_Position_ = lpLeft;
  int Spacing_ = 5;
  bool Painting_ = false;
};
