// A canvas on an in-memory surface with helpers to read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics.h"

inline constexpr TColor BackgroundColor = 0x123456;

class CanvasTest : public ::testing::Test {
 protected:
  explicit CanvasTest(int w = 64, int h = 64)
      : Surface(w, h, ColorToPixel(BackgroundColor)), Canvas(&Surface) {
    Surface.TakeDamage();
  }

  TColor At(int x, int y) const { return PixelToColor(Surface.At(x, y)); }
  bool Painted(int x, int y) const { return At(x, y) != BackgroundColor; }

  // Every pixel of the 1-pixel ring just outside r stays background, every
  // pixel of the ring just inside r has `inside` (where the surface has it).
  void ExpectRingOutsideUntouched(const TRect& r) const {
    ForRing(InflateRect(r, 1, 1),
            [&](int x, int y) { EXPECT_EQ(At(x, y), BackgroundColor) << "outside at " << x << "," << y; });
  }
  void ExpectRingInside(const TRect& r, TColor inside) const {
    ForRing(r, [&](int x, int y) { EXPECT_EQ(At(x, y), inside) << "inside at " << x << "," << y; });
  }
  template <class F>
  void ForRing(const TRect& r, F&& f) const {
    for (int x = r.Left; x < r.Right; ++x) {
      Visit(x, r.Top, f);
      Visit(x, r.Bottom - 1, f);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
      Visit(r.Left, y, f);
      Visit(r.Right - 1, y, f);
    }
  }
  template <class F>
  void Visit(int x, int y, F&& f) const {
    if (x >= 0 && y >= 0 && x < Surface.Width() && y < Surface.Height()) f(x, y);
  }
  // Bounding box of all non-background pixels.
  TRect PaintedBounds() const {
    TRect b{};
    for (int y = 0; y < Surface.Height(); ++y)
      for (int x = 0; x < Surface.Width(); ++x)
        if (Painted(x, y)) b = UnionRect(b, {x, y, x + 1, y + 1});
    return b;
  }
  int CountColor(TColor c) const {
    int n = 0;
    for (int y = 0; y < Surface.Height(); ++y)
      for (int x = 0; x < Surface.Width(); ++x) n += At(x, y) == c;
    return n;
  }
  // Rows as text, '#' for `c`, '.' otherwise (for readable failure output).
  std::string Picture(const TRect& r, TColor c) const {
    std::string s;
    for (int y = r.Top; y < r.Bottom; ++y) {
      for (int x = r.Left; x < r.Right; ++x) s += At(x, y) == c ? '#' : '.';
      s += '\n';
    }
    return s;
  }

  TSurface Surface;
  TCanvas Canvas;
};
