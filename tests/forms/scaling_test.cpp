// Whole-factor presentation: frame pixels to screen blocks and back.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "scaling.h"

namespace {

using display::Rect;

TEST(Scaling, ScreenPointsFallInTheBlockThatHoldsThem) {
  struct {
    int Screen, Scale, Frame;
  } const cases[] = {{0, 2, 0},   {1, 2, 0},   {2, 2, 1}, {445, 2, 222}, {446, 2, 223}, {-1, 2, -1},
                     {-2, 2, -1}, {-3, 2, -2}, {5, 1, 5}, {-5, 1, -5},   {11, 4, 2}};
  for (const auto& c : cases)
    EXPECT_EQ(display::ToFrame(c.Screen, c.Scale), c.Frame) << c.Screen << "/" << c.Scale;
}

TEST(Scaling, ResolutionRoundsToTheNearestWholeFactorWithinLimits) {
  constexpr double Inf = std::numeric_limits<double>::infinity(),
                   NaN = std::numeric_limits<double>::quiet_NaN();
  struct {
    double Dpi;
    int Scale;
  } const cases[] = {{96, 1}, {143, 1}, {144, 2}, {192, 2}, {288, 3}, {384, 4}, {960, display::MaxScale},
                     {48, 1}, {0, 1},   {-96, 1}, {Inf, 1}, {NaN, 1}};
  for (const auto& c : cases) EXPECT_EQ(display::ScaleForDpi(c.Dpi), c.Scale) << c.Dpi;
}

TEST(Scaling, AScreenRectangleCoversEveryFramePixelItTouches) {
  const Rect r = display::ToFrame(Rect{3, 4, 9, 10}, 4);
  EXPECT_EQ(r.Left, 0);
  EXPECT_EQ(r.Top, 1);
  EXPECT_EQ(r.Right, 3);
  EXPECT_EQ(r.Bottom, 3);
  const Rect back = display::ToScreen(Rect{1, 2, 3, 5}, 3);
  EXPECT_EQ(back.Left, 3);
  EXPECT_EQ(back.Top, 6);
  EXPECT_EQ(back.Right, 9);
  EXPECT_EQ(back.Bottom, 15);
}

TEST(Scaling, ARectangleBecomesBlocksInTheScreensLayoutAndNothingElseIsWritten) {
  const int w = 4, h = 3, scale = 3;
  std::vector<std::uint32_t> frame(std::size_t(w * h));
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint32_t(0x010203 * (i + 1));
  const display::PixelView view{frame.data(), w, h, w};
  constexpr std::uint32_t Untouched = 0xDEADBEEF;
  std::vector<std::uint32_t> out(std::size_t(w * scale * h * scale), Untouched);
  const display::PixelFormat bgr{0, 8, 16};  // red in the low byte
  display::ScaleRect(view, Rect{1, 1, 3, 2}, scale, bgr, out.data(), w * scale);
  for (int y = 0; y < h * scale; ++y) {
    for (int x = 0; x < w * scale; ++x) {
      const int fx = x / scale, fy = y / scale;
      const bool inside = fx >= 1 && fx < 3 && fy == 1;
      const std::uint32_t p = frame[std::size_t(fy * w + fx)];
      const std::uint32_t swapped = (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
      EXPECT_EQ(out[std::size_t(y * w * scale + x)], inside ? swapped : Untouched) << x << "," << y;
    }
  }
}

}  // namespace
