// Rectangles, lines, pixels, 3-D frames, clipping and damage.
#include <gtest/gtest.h>

#include <climits>

#include "canvas_fixture.h"

TEST_F(CanvasTest, RectangleOutlinesHalfOpenBoxAndFillsInside) {
  Canvas.Pen().SetColor(clRed);
  Canvas.Brush().SetColor(clLime);
  Canvas.Rectangle(10, 10, 20, 16);
  ExpectRingOutsideUntouched({10, 10, 20, 16});
  ExpectRingInside({10, 10, 20, 16}, clRed);
  ExpectRingInside({11, 11, 19, 15}, clLime);
  EXPECT_EQ(CountColor(clLime), 8 * 4);
}

TEST_F(CanvasTest, RectangleWithSwappedCornersIsTheSame) {
  Canvas.Rectangle(20, 16, 10, 10);
  ExpectRingOutsideUntouched({10, 10, 20, 16});
  ExpectRingInside({10, 10, 20, 16}, clBlack);
}

TEST_F(CanvasTest, RectangleClearBrushKeepsInsideClearPenFillsWhole) {
  Canvas.Brush().SetStyle(bsClear);
  Canvas.Rectangle(10, 10, 20, 20);
  EXPECT_EQ(At(15, 15), BackgroundColor);
  Canvas.Brush().SetStyle(bsSolid);
  Canvas.Brush().SetColor(clLime);
  Canvas.Pen().SetStyle(psClear);
  Canvas.Rectangle(30, 30, 40, 40);
  ExpectRingInside({30, 30, 40, 40}, clLime);
  ExpectRingOutsideUntouched({30, 30, 40, 40});
}

TEST_F(CanvasTest, EmptyRectangleDrawsNothing) {
  Canvas.Rectangle(10, 10, 10, 20);
  Canvas.FillRect({5, 5, 5, 9});
  Canvas.Ellipse(1, 1, 1, 1);
  Canvas.RoundRect(1, 1, 9, 1, 3, 3);
  EXPECT_EQ(PaintedBounds(), TRect{});
  EXPECT_FALSE(Surface.HasDamage());
}

TEST_F(CanvasTest, FillRectAndFrameRectUseTheBrush) {
  Canvas.Brush().SetColor(clRed);
  Canvas.FillRect({2, 3, 7, 9});
  ExpectRingOutsideUntouched({2, 3, 7, 9});
  EXPECT_EQ(CountColor(clRed), 5 * 6);
  Canvas.Brush().SetColor(clLime);
  Canvas.FrameRect({20, 20, 30, 25});
  ExpectRingInside({20, 20, 30, 25}, clLime);
  ExpectRingOutsideUntouched({20, 20, 30, 25});
  EXPECT_EQ(At(25, 22), BackgroundColor);
  Canvas.Brush().SetStyle(bsClear);
  Canvas.FillRect({40, 40, 50, 50});
  EXPECT_EQ(At(45, 45), BackgroundColor);
}

TEST_F(CanvasTest, LineToLeavesOutEndPointWhichBecomesPenPos) {
  Canvas.MoveTo(5, 5);
  Canvas.LineTo(15, 5);
  EXPECT_EQ(At(5, 5), clBlack);
  EXPECT_EQ(At(14, 5), clBlack);
  EXPECT_EQ(At(15, 5), BackgroundColor);
  EXPECT_EQ(Canvas.PenPos(), Point(15, 5));
  Canvas.LineTo(15, 10);  // continues from the end point, now drawn
  EXPECT_EQ(At(15, 5), clBlack);
  EXPECT_EQ(At(15, 9), clBlack);
  EXPECT_EQ(At(15, 10), BackgroundColor);
}

TEST_F(CanvasTest, DiagonalAndSteepLinesHaveOnePixelPerMajorStep) {
  Canvas.MoveTo(0, 0);
  Canvas.LineTo(10, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(At(i, i), clBlack) << i;
  EXPECT_EQ(CountColor(clBlack), 10);
  Canvas.Pen().SetColor(clRed);
  Canvas.MoveTo(30, 40);
  Canvas.LineTo(33, 20);  // up and right, y major
  EXPECT_EQ(CountColor(clRed), 20);
  EXPECT_EQ(At(30, 40), clRed);
  EXPECT_EQ(At(33, 20), BackgroundColor);
}

TEST_F(CanvasTest, PenWidthZeroAndOneDrawOnePixel) {
  for (int w : {0, 1}) {
    Canvas.Pen().SetWidth(w);
    Canvas.MoveTo(5, 10 + w * 10);
    Canvas.LineTo(20, 10 + w * 10);
    EXPECT_EQ(At(10, 9 + w * 10), BackgroundColor);
    EXPECT_EQ(At(10, 10 + w * 10), clBlack);
    EXPECT_EQ(At(10, 11 + w * 10), BackgroundColor);
  }
}

TEST_F(CanvasTest, WidePenIsCentredOnTheLine) {
  Canvas.Pen().SetWidth(3);
  Canvas.MoveTo(10, 20);
  Canvas.LineTo(40, 20);
  for (int y = 19; y <= 21; ++y) EXPECT_EQ(At(25, y), clBlack) << y;
  EXPECT_EQ(At(25, 18), BackgroundColor);
  EXPECT_EQ(At(25, 22), BackgroundColor);
}

TEST_F(CanvasTest, PolylineLeavesOutOnlyItsLastPoint) {
  const TPoint pts[] = {{5, 5}, {10, 5}, {10, 10}};
  Canvas.Polyline(pts);
  EXPECT_EQ(At(10, 5), clBlack);
  EXPECT_EQ(At(10, 9), clBlack);
  EXPECT_EQ(At(10, 10), BackgroundColor);
  EXPECT_EQ(Canvas.PenPos(), Point(0, 0));
}

TEST_F(CanvasTest, ClearPenDrawsNoLine) {
  Canvas.Pen().SetStyle(psClear);
  Canvas.MoveTo(0, 0);
  Canvas.LineTo(30, 30);
  EXPECT_EQ(PaintedBounds(), TRect{});
  EXPECT_EQ(Canvas.PenPos(), Point(30, 30));
}

TEST_F(CanvasTest, DottedPenLeavesGaps) {
  Canvas.Pen().SetStyle(psDot);
  Canvas.MoveTo(0, 3);
  Canvas.LineTo(30, 3);
  const int n = CountColor(clBlack);
  EXPECT_GT(n, 10);
  EXPECT_LT(n, 20);
}

TEST_F(CanvasTest, Frame3DCornerOwnership) {
  TRect r{10, 10, 20, 18};
  Canvas.Frame3D(r, clWhite, clRed, 2);
  EXPECT_EQ(r, Rect(12, 12, 18, 16));
  // Outer ring.
  EXPECT_EQ(At(10, 10), clWhite);  // top-left: top colour
  EXPECT_EQ(At(19, 10), clRed);    // top-right: bottom colour
  EXPECT_EQ(At(19, 17), clRed);    // bottom-right
  EXPECT_EQ(At(10, 17), clRed);    // bottom-left
  EXPECT_EQ(At(15, 10), clWhite);
  EXPECT_EQ(At(10, 14), clWhite);
  EXPECT_EQ(At(19, 14), clRed);
  EXPECT_EQ(At(15, 17), clRed);
  // Inner ring.
  EXPECT_EQ(At(11, 11), clWhite);
  EXPECT_EQ(At(18, 11), clRed);
  EXPECT_EQ(At(11, 16), clRed);
  EXPECT_EQ(At(12, 12), BackgroundColor);
  ExpectRingOutsideUntouched({10, 10, 20, 18});
  TRect same{1, 1, 5, 5};
  Canvas.Frame3D(same, clWhite, clRed, 0);
  EXPECT_EQ(same, Rect(1, 1, 5, 5));
}

TEST_F(CanvasTest, PixelReadsAndWritesThroughOrigin) {
  Canvas.SetOrigin({10, 20});
  Canvas.SetPixel(1, 2, clRed);
  EXPECT_EQ(At(11, 22), clRed);
  EXPECT_EQ(Canvas.Pixel(1, 2), clRed);
  EXPECT_EQ(Canvas.Pixel(-11, 0), clNone);
  EXPECT_EQ(Canvas.Pixel(60, 0), clNone);
}

TEST_F(CanvasTest, SystemColoursAreResolved) {
  Canvas.Brush().SetColor(clBtnFace);
  Canvas.FillRect({0, 0, 2, 2});
  EXPECT_EQ(At(0, 0), 0xF0F0F0u);
}

TEST_F(CanvasTest, CanvasWithoutSurfaceIgnoresEverything) {
  TCanvas c;
  c.Rectangle(0, 0, 10, 10);
  c.TextOut(0, 0, "x");
  c.LineTo(5, 5);
  EXPECT_EQ(c.Pixel(0, 0), clNone);
  EXPECT_EQ(c.PenPos(), Point(5, 5));
}

// Every primitive honours origin and clip: a canvas whose origin is (20, 20)
// and whose clip is the 10 x 10 square at the origin draws each shape far
// bigger than the clip; nothing may land outside the clip square.
class ClippedCanvas : public CanvasTest {
 protected:
  ClippedCanvas() {
    Canvas.SetOrigin({20, 20});
    Canvas.SetClipRect({20, 20, 30, 30});
    Canvas.Pen().SetColor(clRed);
    Canvas.Brush().SetColor(clLime);
  }
  void ExpectInsideClipOnly() {
    const TRect b = PaintedBounds();
    EXPECT_FALSE(b.IsEmpty());
    EXPECT_EQ(IntersectRect(b, {20, 20, 30, 30}), b) << Picture({15, 15, 35, 35}, clRed);
    for (const TRect& d : Surface.Damage()) EXPECT_EQ(IntersectRect(d, {20, 20, 30, 30}), d);
  }
};

TEST_F(ClippedCanvas, ClipRectIsLocal) { EXPECT_EQ(Canvas.ClipRect(), Rect(0, 0, 10, 10)); }

TEST_F(ClippedCanvas, Rectangle) {
  Canvas.Rectangle(-5, -5, 15, 15);
  ExpectInsideClipOnly();
  EXPECT_EQ(At(20, 20), clLime);
}
TEST_F(ClippedCanvas, FillAndFrame) {
  Canvas.FillRect({-5, -5, 50, 50});
  Canvas.FrameRect({-1, -1, 12, 12});
  ExpectInsideClipOnly();
  EXPECT_EQ(CountColor(clLime), 100);
}
TEST_F(ClippedCanvas, Lines) {
  Canvas.MoveTo(-30, -20);
  Canvas.LineTo(40, 50);
  Canvas.Pen().SetWidth(4);
  Canvas.MoveTo(-30, 5);
  Canvas.LineTo(40, 5);
  ExpectInsideClipOnly();
  EXPECT_EQ(At(25, 25), clRed);
}
TEST_F(ClippedCanvas, HugeLineEndsAreCheap) {
  Canvas.MoveTo(-1000000000, 3);
  Canvas.LineTo(1000000000, 3);
  ExpectInsideClipOnly();
  EXPECT_EQ(At(20, 23), clRed);
  EXPECT_EQ(At(29, 23), clRed);
}
TEST_F(ClippedCanvas, HugeShapesCostOnlyTheirVisibleRows) {
  Canvas.Ellipse(-1000000000, -1000000000, 1000000000, 1000000000);
  EXPECT_EQ(CountColor(clLime), 100);
  Canvas.Pen().SetWidth(50000);
  Canvas.RoundRect(-900000000, -900000000, 900000000, 5, 400000000, 400000000);
  Canvas.MoveTo(-200000, 0);
  Canvas.LineTo(200000, 300000);
  TRect frame{-1000000000, -1000000000, 1000000000, 1000000000};
  Canvas.Frame3D(frame, clRed, clRed, 1000000000);
  EXPECT_TRUE(frame.IsEmpty());
  ExpectInsideClipOnly();
}
TEST_F(ClippedCanvas, ExtremeCoordinatesAreSafe) {
  constexpr int lo = INT_MIN, hi = INT_MAX;
  Canvas.Rectangle(lo, lo, hi, hi);
  Canvas.Ellipse(lo, lo, hi, hi);
  Canvas.RoundRect(lo, lo, hi, hi, hi, hi);
  Canvas.FillRect({lo, lo, hi, hi});
  Canvas.FrameRect({lo, lo, hi, hi});
  Canvas.MoveTo(lo, lo);
  Canvas.LineTo(hi, hi);
  const TPoint pts[] = {{lo, lo}, {hi, 0}, {0, hi}};
  Canvas.Polygon(pts);
  Canvas.Polyline(pts);
  Canvas.Arc(lo, lo, hi, hi, lo, 0, hi, 0);
  Canvas.SetPixel(hi, hi, clRed);
  Canvas.TextOut(hi, hi, "x");
  Canvas.TextRect({lo, lo, hi, hi}, lo, lo, "x");
  TRect r{lo, lo, hi, hi};
  Canvas.Frame3D(r, clRed, clRed, hi);
  TBitmap b(2, 2);
  Canvas.Draw(hi, hi, b);
  Canvas.StretchDraw({lo, lo, hi, hi}, b);
  ExpectInsideClipOnly();
}
TEST_F(ClippedCanvas, EllipseRoundRectPolygonArc) {
  Canvas.Ellipse(-20, -20, 30, 30);
  Canvas.RoundRect(-8, -8, 12, 12, 6, 6);
  const TPoint tri[] = {{-10, 0}, {30, -4}, {5, 30}};
  Canvas.Polygon(tri);
  Canvas.Arc(-15, -15, 25, 25, 0, 0, 0, 0);
  ExpectInsideClipOnly();
}
TEST_F(ClippedCanvas, PixelAndText) {
  Canvas.SetPixel(-1, 0, clRed);
  Canvas.SetPixel(10, 0, clRed);
  Canvas.SetPixel(3, 3, clRed);
  Canvas.TextOut(-5, -3, "WWWWWWWW");
  ExpectInsideClipOnly();
}
TEST_F(ClippedCanvas, Frame3DAndCopies) {
  TRect r{-3, -3, 40, 40};
  Canvas.Frame3D(r, clRed, clLime, 5);
  TBitmap bmp(50, 50);
  bmp.Canvas().Brush().SetColor(clRed);
  bmp.Canvas().FillRect({0, 0, 50, 50});
  Canvas.Draw(-10, -10, bmp);
  Canvas.StretchDraw({-5, -5, 60, 60}, bmp);
  ExpectInsideClipOnly();
  EXPECT_EQ(CountColor(clRed), 100);
}

TEST_F(CanvasTest, DamageCoversExactlyWhatWasDrawn) {
  Canvas.Rectangle(3, 4, 9, 12);
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], Rect(3, 4, 9, 12));
  Surface.TakeDamage();
  Canvas.MoveTo(40, 40);
  Canvas.LineTo(50, 40);
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], Rect(40, 40, 50, 41));
}

TEST_F(CanvasTest, StateGuardRestoresEverything) {
  Canvas.Pen().SetColor(clRed);
  Canvas.MoveTo(3, 4);
  {
    TCanvasState saved(Canvas);
    Canvas.Pen().SetColor(clLime);
    Canvas.Brush().SetStyle(bsClear);
    Canvas.Font().SetHeight(-20);
    Canvas.SetOrigin({5, 5});
    Canvas.SetClipRect({0, 0, 5, 5});
    Canvas.MoveTo(9, 9);
  }
  EXPECT_EQ(Canvas.Pen().Color(), clRed);
  EXPECT_EQ(Canvas.Brush().Style(), bsSolid);
  EXPECT_EQ(Canvas.Font().Height(), -11);
  EXPECT_EQ(Canvas.Origin(), Point(0, 0));
  EXPECT_EQ(Canvas.ClipRect(), Rect(0, 0, 64, 64));
  EXPECT_EQ(Canvas.PenPos(), Point(3, 4));
}
