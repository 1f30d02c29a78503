// A program's window as its user meets it, for the end-to-end fixtures on
// X11 and under Wine: the pointer and keys through xdotool at window
// coordinates, the pixels read back, every wait bounded. An xdotool command
// that fails fails the test.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"
#include "xclient.h"

namespace pinlark::testsupport {

// Waits for a mapped window titled `title` of `program`; 0, and a failure
// that says so, when none came or the program ended first.
TWindowId WaitForWindowOf(TChild& program, TXClient& x, const std::string& title,
                          std::chrono::milliseconds limit);

class TWindowUser {
 public:
  TWindowUser() = default;
  TWindowUser(TXClient& x, TWindowId window, std::chrono::milliseconds limit)
      : X_(&x), Window_(window), Limit_(limit) {}

  TWindowId Id() const { return Window_; }

  // Any xdotool command on the window's display.
  bool Xdo(const std::vector<std::string>& args) const;
  // The pointer to p in the window, then the xdotool commands in `then`.
  bool PointAt(TPoint p, const std::vector<std::string>& then = {}) const;
  bool ClickAt(TPoint p, int button = 1) const { return PointAt(p, {"click", std::to_string(button)}); }

  TRgb Pixel(TPoint p) const { return X_->Pixel(Window_, p.X, p.Y); }
  std::vector<TRgb> Grab(TArea a) const { return X_->Grab(Window_, a); }
  int Count(TArea a, bool (*pred)(TRgb)) const;
  bool WaitFor(TPoint p, bool (*pred)(TRgb)) const;
  bool WaitFor(const std::function<bool()>& done) const { return WaitUntil(done, Limit_); }

 private:
  TXClient* X_ = nullptr;
  TWindowId Window_ = 0;
  std::chrono::milliseconds Limit_{0};
};

}  // namespace pinlark::testsupport
