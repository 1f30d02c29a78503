// Ellipses, rounded rectangles, polygons and arcs.
#include <gtest/gtest.h>

#include "canvas_fixture.h"

namespace {

constexpr TColor PenColor = clRed;
constexpr TColor FillColor = clLime;

}  // namespace

class ShapeTest : public CanvasTest {
 protected:
  ShapeTest() {
    Canvas.Pen().SetColor(PenColor);
    Canvas.Brush().SetColor(FillColor);
  }
  // Mirror symmetry of the painted pixels inside box, both axes.
  void ExpectSymmetric(const TRect& b) {
    for (int y = b.Top; y < b.Bottom; ++y)
      for (int x = b.Left; x < b.Right; ++x) {
        const int mx = b.Left + b.Right - 1 - x;
        const int my = b.Top + b.Bottom - 1 - y;
        ASSERT_EQ(At(x, y), At(mx, y)) << x << "," << y << "\n" << Picture(b, PenColor);
        ASSERT_EQ(At(x, y), At(x, my)) << x << "," << y << "\n" << Picture(b, PenColor);
      }
  }
};

TEST_F(ShapeTest, LedCircleThirteenPixels) {
  const TRect led{2, 20, 15, 33};
  Canvas.Ellipse(led);
  EXPECT_EQ(Picture(led, PenColor),
            "....#####....\n"
            "..##.....##..\n"
            ".#.........#.\n"
            ".#.........#.\n"
            "#...........#\n"
            "#...........#\n"
            "#...........#\n"
            "#...........#\n"
            "#...........#\n"
            ".#.........#.\n"
            ".#.........#.\n"
            "..##.....##..\n"
            "....#####....\n");
  EXPECT_EQ(At(8, 26), FillColor);
  EXPECT_EQ(At(2, 20), BackgroundColor);  // corners stay background
  ExpectRingOutsideUntouched(led);
  ExpectSymmetric(led);
}

TEST_F(ShapeTest, EllipseTouchesEveryEdgeOfItsBox) {
  for (const TRect box :
       {Rect(5, 5, 25, 15), Rect(5, 20, 12, 60), Rect(30, 30, 60, 60), Rect(40, 2, 42, 4)}) {
    Canvas.Ellipse(box);
    ExpectRingOutsideUntouched(box);
    EXPECT_EQ(IntersectRect(PaintedBounds(), box), box);
    ExpectSymmetric(box);
    Canvas.Brush().SetColor(BackgroundColor);
    Canvas.Pen().SetColor(BackgroundColor);
    Canvas.FillRect(InflateRect(box, 1, 1));
    Canvas.Brush().SetColor(FillColor);
    Canvas.Pen().SetColor(PenColor);
  }
}

TEST_F(ShapeTest, EllipseOutlineIsClosedAndThin) {
  const TRect box{4, 4, 44, 30};
  Canvas.Ellipse(box);
  // Each row's outline consists of at most two runs; the fill is inside.
  for (int y = box.Top + 1; y < box.Bottom - 1; ++y) {
    int runs = 0;
    for (int x = box.Left; x < box.Right; ++x)
      if (At(x, y) == PenColor && (x == box.Left || At(x - 1, y) != PenColor)) ++runs;
    EXPECT_EQ(runs, 2) << y;
  }
  EXPECT_EQ(At(24, 17), FillColor);
}

TEST_F(ShapeTest, EllipseClearBrushDrawsOnlyOutline) {
  Canvas.Brush().SetStyle(bsClear);
  Canvas.Ellipse(2, 20, 15, 33);
  EXPECT_EQ(CountColor(FillColor), 0);
  EXPECT_EQ(At(8, 26), BackgroundColor);
}

TEST_F(ShapeTest, RoundRectCornerOneIsSquare) {
  Canvas.RoundRect(0, 4, 10, 14, 1, 1);
  ExpectRingInside({0, 4, 10, 14}, PenColor);
  ExpectRingOutsideUntouched({0, 4, 10, 14});
}

TEST_F(ShapeTest, RoundRectCornersAreEllipseQuarters) {
  const TRect box{10, 10, 40, 30};
  Canvas.RoundRect(box.Left, box.Top, box.Right, box.Bottom, 8, 8);
  ExpectRingOutsideUntouched(box);
  ExpectSymmetric(box);
  EXPECT_EQ(At(10, 10), BackgroundColor);  // rounded corner
  EXPECT_EQ(At(25, 10), PenColor);         // straight top edge
  EXPECT_EQ(At(10, 20), PenColor);
  EXPECT_EQ(At(25, 20), FillColor);
  // Same corner as the 8 x 8 ellipse's top-left quarter.
  TSurface s(8, 8, 0);
  TCanvas c(&s);
  c.Pen().SetColor(PenColor);
  c.Brush().SetStyle(bsClear);
  c.Ellipse(0, 0, 8, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(PixelToColor(s.At(x, y)) == PenColor, At(10 + x, 10 + y) == PenColor);
}

TEST_F(ShapeTest, PolygonClosesItselfAndFillsInside) {
  const TPoint tri[] = {{10, 10}, {30, 10}, {10, 30}};
  Canvas.Polygon(tri);
  EXPECT_EQ(At(10, 10), PenColor);
  EXPECT_EQ(At(29, 10), PenColor);
  EXPECT_EQ(At(10, 29), PenColor);
  EXPECT_EQ(At(20, 20), PenColor);  // closing edge drawn
  EXPECT_EQ(At(14, 14), FillColor);
  EXPECT_EQ(At(25, 25), BackgroundColor);
  ExpectRingOutsideUntouched({10, 10, 31, 31});
}

TEST_F(ShapeTest, PolygonFillsEvenOdd) {
  // A pentagram: the centre pentagon is crossed twice and stays unfilled.
  Canvas.Pen().SetStyle(psClear);
  const TPoint star[] = {{32, 2}, {50, 60}, {2, 22}, {62, 22}, {14, 60}};
  Canvas.Polygon(star);
  EXPECT_EQ(At(32, 34), BackgroundColor);
  EXPECT_EQ(At(32, 10), FillColor);
  EXPECT_EQ(At(12, 24), FillColor);
}

TEST_F(ShapeTest, LedArrowTrianglesStayInsideTheirBox) {
  const TRect r{10, 10, 23, 23};
  const int hh = 6;
  const TPoint left[] = {{r.Left, r.Top + hh}, {r.Right - 1, r.Top}, {r.Right - 1, r.Bottom - 1}};
  Canvas.Polygon(left);
  ExpectRingOutsideUntouched(r);
  EXPECT_EQ(At(10, 16), PenColor);
  EXPECT_EQ(At(22, 10), PenColor);
  EXPECT_EQ(At(22, 22), PenColor);
  EXPECT_EQ(At(20, 16), FillColor);
}

TEST_F(ShapeTest, ArcUpperLeftQuarterOfLedGlint) {
  // The LED glint: arc on the ellipse inset by 2 in (2, 20, 15, 33), from the
  // direction of the top-centre point to the direction of the left-middle point.
  const TRect led{2, 20, 15, 33};
  const TRect r2 = InflateRect(led, -2, -2);
  Canvas.Pen().SetColor(clWhite);
  Canvas.Arc(r2.Left, r2.Top, r2.Right, r2.Bottom, led.Left + 6, led.Top, led.Left, led.Top + 6);
  const int cx = 8, cy = 26;
  int count = 0;
  for (int y = r2.Top; y < r2.Bottom; ++y)
    for (int x = r2.Left; x < r2.Right; ++x)
      if (At(x, y) == clWhite) {
        ++count;
        EXPECT_LE(x, cx) << x << "," << y;
        EXPECT_LE(y, cy) << x << "," << y;
      }
  EXPECT_EQ(At(cx, r2.Top), clWhite);   // top of the arc
  EXPECT_EQ(At(r2.Left, cy), clWhite);  // left end
  EXPECT_GE(count, 5);
  ExpectRingOutsideUntouched(r2);
  EXPECT_EQ(CountColor(FillColor), 0);  // an arc fills nothing
}

TEST_F(ShapeTest, ArcQuartersRunCounterClockwise) {
  const TRect box{10, 10, 41, 41};  // centre (25, 25)
  // From right (0 degrees) to top (90 degrees): the upper-right quarter.
  Canvas.Arc(box.Left, box.Top, box.Right, box.Bottom, 40, 25, 25, 10);
  EXPECT_EQ(At(33, 12), PenColor);
  EXPECT_EQ(At(17, 12), BackgroundColor);
  EXPECT_EQ(At(33, 38), BackgroundColor);
  EXPECT_EQ(At(17, 38), BackgroundColor);
  // Swapping the points gives the other three quarters.
  Canvas.Pen().SetColor(clBlue);
  Canvas.Arc(box.Left, box.Top, box.Right, box.Bottom, 25, 10, 40, 25);
  EXPECT_EQ(At(17, 12), clBlue);
  EXPECT_EQ(At(17, 38), clBlue);
  EXPECT_EQ(At(33, 38), clBlue);
  EXPECT_EQ(At(33, 12), PenColor);
}

TEST_F(ShapeTest, ArcWithEqualPointsIsWholeEllipseAndKeepsPenPos) {
  Canvas.MoveTo(1, 2);
  Canvas.Arc(2, 20, 15, 33, 5, 5, 5, 5);
  EXPECT_EQ(Canvas.PenPos(), Point(1, 2));
  TSurface s(64, 64, ColorToPixel(BackgroundColor));
  TCanvas c(&s);
  c.Pen().SetColor(PenColor);
  c.Brush().SetStyle(bsClear);
  c.Ellipse(2, 20, 15, 33);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(s.At(x, y), Surface.At(x, y)) << x << "," << y;
}

TEST_F(ShapeTest, WidePenEllipseIsThickerButSymmetric) {
  Canvas.Pen().SetWidth(3);
  const TRect box{10, 10, 40, 40};
  Canvas.Ellipse(box);
  EXPECT_EQ(At(25, 9), PenColor);  // centred on the edge: one pixel outside
  EXPECT_EQ(At(25, 11), PenColor);
  EXPECT_EQ(At(25, 12), FillColor);
  ExpectSymmetric(InflateRect(box, 1, 1));
}
