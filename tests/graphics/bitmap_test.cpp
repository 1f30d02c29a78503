// Bitmaps: sizing, transparency, copies and stretching.
#include <gtest/gtest.h>

#include "canvas_fixture.h"

namespace {

// 4 x 4 picture: magenta background (the key), a red 2 x 2 centre.
void PaintKeyed(TBitmap& b) {
  b.SetSize(4, 4);
  b.Canvas().Brush().SetColor(clFuchsia);
  b.Canvas().FillRect({0, 0, 4, 4});
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({1, 1, 3, 3});
}

}  // namespace

TEST(Bitmap, SetSizeKeepsOverlapAndWhitensNewPixels) {
  TBitmap b(3, 3);
  EXPECT_EQ(b.Canvas().Pixel(2, 2), clWhite);
  b.Canvas().SetPixel(1, 1, clRed);
  b.SetSize(5, 2);
  EXPECT_EQ(b.Canvas().Pixel(1, 1), clRed);
  EXPECT_EQ(b.Canvas().Pixel(4, 0), clWhite);
  EXPECT_EQ(b.Canvas().Pixel(1, 2), clNone);
  b.SetSize(0, 7);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, TransparentColourAutoIsBottomLeft) {
  TBitmap b;
  PaintKeyed(b);
  b.Canvas().SetPixel(0, 3, clBlue);
  EXPECT_EQ(b.TransparentColor(), clBlue);
  b.SetTransparentColor(clFuchsia);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  b.SetTransparentMode(tmAuto);
  EXPECT_EQ(b.TransparentColor(), clBlue);
}

TEST(Bitmap, AssignCopiesPixelsAndTransparency) {
  TBitmap a;
  PaintKeyed(a);
  a.SetTransparent(true);
  TBitmap b;
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.Assign(a);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b.Width(), 4);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.Canvas().Pixel(1, 1), clRed);
  a.Canvas().SetPixel(1, 1, clBlue);  // deep copy
  EXPECT_EQ(b.Canvas().Pixel(1, 1), clRed);
  TFont f;
  EXPECT_THROW(b.Assign(f), EConvertError);
}

TEST_F(CanvasTest, DrawSkipsTransparentPixels) {
  TBitmap b;
  PaintKeyed(b);
  Canvas.Draw(10, 10, b);
  EXPECT_EQ(At(10, 10), clFuchsia);
  b.SetTransparent(true);
  Canvas.Draw(20, 20, b);
  EXPECT_EQ(At(20, 20), BackgroundColor);
  EXPECT_EQ(At(21, 21), clRed);
  EXPECT_EQ(At(22, 22), clRed);
  EXPECT_EQ(At(23, 23), BackgroundColor);
}

TEST_F(CanvasTest, StretchDrawScalesNearestNeighbour) {
  TBitmap b;
  PaintKeyed(b);
  Canvas.StretchDraw({0, 0, 8, 8}, b);
  EXPECT_EQ(At(1, 1), clFuchsia);
  EXPECT_EQ(At(2, 2), clRed);
  EXPECT_EQ(At(5, 5), clRed);
  EXPECT_EQ(At(6, 6), clFuchsia);
  EXPECT_EQ(At(8, 8), BackgroundColor);
  Canvas.StretchDraw({20, 20, 22, 22}, b);  // shrink
  EXPECT_EQ(At(20, 20), clFuchsia);
  EXPECT_EQ(At(21, 21), clRed);
}

TEST_F(CanvasTest, BrushCopyReplacesKeyWithBrush) {
  TBitmap b;
  PaintKeyed(b);
  Canvas.Brush().SetColor(clLime);
  Canvas.BrushCopy({5, 5, 9, 9}, b, {0, 0, 4, 4}, clFuchsia);
  EXPECT_EQ(At(5, 5), clLime);
  EXPECT_EQ(At(6, 6), clRed);
  EXPECT_EQ(At(8, 8), clLime);
  ExpectRingOutsideUntouched({5, 5, 9, 9});
  Canvas.BrushCopy({30, 30, 32, 32}, b, {1, 0, 3, 2}, clFuchsia);  // a sub-rectangle
  EXPECT_EQ(At(30, 30), clLime);
  EXPECT_EQ(At(30, 31), clRed);
}

TEST_F(CanvasTest, CopyRectWithinOneSurfaceOverlapping) {
  for (int x = 0; x < 10; ++x) Canvas.SetPixel(x, 0, RGB(std::uint8_t(x * 20), 0, 0));
  Canvas.CopyRect({2, 0, 12, 1}, Canvas, {0, 0, 10, 1});
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(x + 2, 0), RGB(std::uint8_t(x * 20), 0, 0)) << x;
}

TEST_F(CanvasTest, CopyRectReadsTheSourceThroughItsOrigin) {
  TBitmap b(10, 10);
  b.Canvas().SetPixel(5, 5, clRed);
  TCanvas view(&b.Surface());
  view.SetOrigin({4, 4});
  Canvas.CopyRect({0, 0, 3, 3}, view, {0, 0, 3, 3});
  EXPECT_EQ(At(1, 1), clRed);
  EXPECT_EQ(At(0, 0), clWhite);
}

TEST(Bitmap, DrawingOnItsCanvasFiresOnChange) {
  TBitmap b(10, 10);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 5, 5});
  EXPECT_EQ(changes, 1);
  b.Canvas().FillRect({20, 20, 30, 30});  // outside: nothing changed
  b.Canvas().Brush().SetStyle(bsClear);
  b.Canvas().Rectangle(0, 0, 0, 0);
  EXPECT_EQ(changes, 1);
  b.Canvas().SetPixel(1, 1, clBlue);
  EXPECT_EQ(changes, 2);
}
