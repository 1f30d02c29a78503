// Presenting a 1x frame on a screen that shows each pixel as a block of
// scale x scale screen pixels, in the screen's own pixel layout.
#pragma once

#include <cstdint>
#include <string>

#include "display.h"

namespace display {

// Where the 8-bit channels of a 0x00RRGGBB pixel go in a screen pixel.
struct PixelFormat {
  int RedShift = 16;
  int GreenShift = 8;
  int BlueShift = 0;
  bool IsNative() const { return RedShift == 16 && GreenShift == 8 && BlueShift == 0; }
  std::uint32_t Convert(std::uint32_t p) const {
    return ((p >> 16) & 0xFF) << RedShift | ((p >> 8) & 0xFF) << GreenShift | (p & 0xFF) << BlueShift;
  }
};

// Writes the part `r` of `frame` (already clipped to it) into `out`, a buffer
// `scale` times the frame's size with `outStride` pixels a row. Nothing
// outside r's blocks is touched.
void ScaleRect(const PixelView& frame, const Rect& r, int scale, const PixelFormat& format,
               std::uint32_t* out, int outStride);

// The largest whole factor a backend presents at.
inline constexpr int MaxScale = 4;

// The factor for a screen of `dpi` dots per inch (96 per 1x), rounded to the
// nearest whole number from 1 to MaxScale; 1 for a value that is no number.
int ScaleForDpi(double dpi);

// The factor PINLARK_SCALE names (1 to MaxScale), overriding the screen's; 0
// when it is not set. A value out of range is ignored with one line on
// stderr, headed with `program`.
int ScaleFromEnvironment(const std::string& program);

// Screen to frame coordinates: a point falls in the block that holds it, and
// a screen rectangle maps to every frame pixel it touches.
int ToFrame(int screen, int scale);
Rect ToFrame(const Rect& screen, int scale);
Rect ToScreen(const Rect& frame, int scale);

}  // namespace display
