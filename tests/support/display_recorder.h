// A window's events for the display backends' own tests: presents the frame
// on every Expose, as a form does, and keeps what it was told.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "display.h"

namespace pinlark::testsupport {

class TRecorder : public display::WindowEvents {
 public:
  void MouseButton(display::Button, bool pressed, bool, unsigned, int x, int y) override {
    if (pressed) Presses.push_back({x, y});
  }
  void MouseMove(unsigned, int, int) override {}
  void MouseLeave() override {}
  void Key(std::uint16_t, bool, unsigned) override {}
  void Char(char32_t ch) override { Chars.push_back(ch); }
  void CloseRequest() override { ++Closes; }
  void FocusChanged(bool) override {}
  void Exposed(display::Rect r) override {
    ExposedArea += std::int64_t(r.Right - r.Left) * (r.Bottom - r.Top);
    Window->Present(Frame, std::span<const display::Rect>(&r, 1));
  }

  display::Window* Window = nullptr;
  display::PixelView Frame;
  std::int64_t ExposedArea = 0;
  std::vector<std::pair<int, int>> Presses;
  std::u32string Chars;
  int Closes = 0;
};

}  // namespace pinlark::testsupport
