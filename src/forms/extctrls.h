// Picture control and the UI-thread timer.
#pragma once

#include <chrono>

#include "controls.h"

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  std::string ClassName() const override { return "TImage"; }
  // The picture; changing it repaints the control.
  TBitmap& Picture() { return *Picture_; }
  bool Stretch() const { return Stretch_; }
  void SetStretch(bool v);
  bool Center() const { return Center_; }
  void SetCenter(bool v);

 protected:
  void Paint() override;

 private:
  std::unique_ptr<TBitmap> Picture_;
  bool Stretch_ = false;
  bool Center_ = false;
};

// Raises OnTimer on the UI thread every Interval ms, between other events; a
// tick that falls due while the thread is busy merges with the next one.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }

  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);
  unsigned Interval() const { return Interval_; }  // milliseconds; 0 stops the timer
  void SetInterval(unsigned v);
  TNotifyEvent OnTimer;

 private:
  friend class TApplication;
  void Restart();
  bool Enabled_ = true;
  unsigned Interval_ = 1000;
  std::chrono::steady_clock::time_point Due_{};
  bool Firing_ = false;
};
