// The painting routines at their limits: every band, line and ring that
// should reach an edge of the rectangle does, in colours that differ from
// a fresh bitmap (white) and from what lay there before.
#include <gtest/gtest.h>

#include <vector>

#include "_AbProc.h"
#include "widget_fixture.h"

namespace {

constexpr TColor Before = 0x123456;

// Every component moves by 4 (blue down), so K = 4 and steps of N = 4 are exact.
constexpr TColor From = RGB(100, 50, 20);
constexpr TColor To = RGB(104, 54, 16);
constexpr TColor C(int i) { return RGB(std::uint8_t(100 + i), std::uint8_t(50 + i), std::uint8_t(20 - i)); }

class GradientEdges : public ::testing::Test {
 protected:
  GradientEdges() : Bmp(40, 40) {}
  TColor At(int x, int y) const { return Bmp.Canvas().Pixel(x, y); }

  // Draws at Origin so that the ring just outside shows too.
  void Draw(int w, int h, TColor from, TColor to, TGradientStyle style) {
    Bmp.Canvas().Brush().SetColor(Before);
    Bmp.Canvas().FillRect({0, 0, 40, 40});
    DrawGradient(Bmp.Canvas(), Bounds(Origin, Origin, w, h), from, to, style);
  }
  TColor Local(int x, int y) const { return At(Origin + x, Origin + y); }

  // Rows (or columns) of one colour each; nothing outside the rectangle.
  void ExpectStripes(int w, int h, bool columns, const std::vector<TColor>& stripes) {
    ASSERT_EQ(int(stripes.size()), columns ? w : h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(Local(x, y), stripes[std::size_t(columns ? x : y)]) << "at " << x << "," << y;
    ExpectNothingOutside(w, h);
  }
  void ExpectNothingOutside(int w, int h) const {
    for (int x = -1; x <= w; ++x) {
      EXPECT_EQ(Local(x, -1), Before) << x;
      EXPECT_EQ(Local(x, h), Before) << x;
    }
    for (int y = 0; y < h; ++y) {
      EXPECT_EQ(Local(-1, y), Before) << y;
      EXPECT_EQ(Local(w, y), Before) << y;
    }
  }

  static constexpr int Origin = 5;
  TBitmap Bmp;
};

// Rows for the horizontal style, the same as columns for its vertical twin;
// the first and last stripes lie on the rectangle's edges.
TEST_F(GradientEdges, StripesReachBothEdges) {
  const TColor c43 = RGB(101, 51, 19), c83 = RGB(103, 53, 17);  // steps of 4/3
  const struct {
    TGradientStyle Horizontal, Vertical;
    std::vector<TColor> Stripes;
  } cases[] = {
      // 9 long, K 4: band 2, N 4; bands 0..4, the last one a single stripe.
      {gsHorizontal1, gsVertical1, {C(0), C(0), C(1), C(1), C(2), C(2), C(3), C(3), C(4)}},
      // 9 long: centre 4 in From, To on both edges.
      {gsHorizontal2, gsVertical2, {C(4), C(3), C(2), C(1), C(0), C(1), C(2), C(3), C(4)}},
      // 5 long: centre 1, N = Round(3.35) = 3; stripe 0 is step 1, stripe 4 step 3.
      {gsHorizontal3, gsVertical3, {c43, From, c43, c83, To}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Horizontal));
    const int n = int(c.Stripes.size());
    Draw(3, n, From, To, c.Horizontal);
    ExpectStripes(3, n, false, c.Stripes);
    Draw(n, 3, From, To, c.Vertical);
    ExpectStripes(n, 3, true, c.Stripes);
  }
}

TEST_F(GradientEdges, BandColoursAreTruncatedNotRounded) {
  // 10 rows, K 255: ten 1-row bands of 25.5; row 9 holds 229.5.
  Draw(2, 10, RGB(0, 10, 200), RGB(255, 10, 200), gsHorizontal1);
  EXPECT_EQ(Local(1, 1), RGB(25, 10, 200));
  EXPECT_EQ(Local(1, 9), RGB(229, 10, 200));
  ExpectNothingOutside(2, 10);
}

TEST_F(GradientEdges, OnePixelRectanglesAreStillPainted) {
  for (TGradientStyle style : {gsHorizontal1, gsVertical2, gsElliptic2, gsTopRight}) {
    SCOPED_TRACE(int(style));
    Draw(1, 6, From, To, style);
    for (int y = 0; y < 6; ++y) EXPECT_NE(Local(0, y), Before) << y;
    Draw(6, 1, From, To, style);
    for (int x = 0; x < 6; ++x) EXPECT_NE(Local(x, 0), Before) << x;
    ExpectNothingOutside(6, 1);
  }
  // A single centred line: its centre falls just outside, step 1 (here To)
  // lands on the only row.
  Draw(6, 1, From, To, gsHorizontal2);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Local(x, 0), To) << x;
}

// 20 x 20, K 4: the innermost ellipse (step 1) spans Round(W / 4 * factor)
// pixels either side of its centre, step 2 lies just beyond, and the corners
// keep To. Elliptic3 centres at (W/2 + 1 - W/4, H/2 + 1 - H/4).
TEST_F(GradientEdges, InnermostEllipsesHaveExactExtents) {
  const struct {
    TGradientStyle Style;
    int Centre;
    int Radius;
  } cases[] = {
      {gsElliptic1, 10, 2},  // 2.5 -> 2, halves to even
      {gsElliptic2, 10, 3},  // 3.475
      {gsElliptic3, 6, 4},   // 4.1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Style));
    Draw(20, 20, From, To, c.Style);
    const int m = c.Centre, first = m - c.Radius, last = m + c.Radius - 1;
    EXPECT_EQ(Local(m, m), C(1));
    for (const TPoint& p : {TPoint{first, m}, TPoint{last, m}, TPoint{m, first}, TPoint{m, last}})
      EXPECT_EQ(Local(p.X, p.Y), C(1)) << p.X << "," << p.Y;
    for (const TPoint& p :
         {TPoint{first - 1, m}, TPoint{last + 1, m}, TPoint{m, first - 1}, TPoint{m, last + 1}})
      EXPECT_EQ(Local(p.X, p.Y), C(2)) << p.X << "," << p.Y;
    EXPECT_EQ(Local(19, 19), To);
    ExpectNothingOutside(20, 20);
  }
}

// Rectangle: half-sizes Round(n * 2.5) = 0, 2, 5, 8, 10 (halves to even)
// around (10, 10); the n = 0 rectangle is the centre pixel in From.
TEST_F(GradientEdges, NestedRectanglesHaveExactEdges) {
  Draw(20, 20, From, To, gsRectangle);
  const struct {
    int X;
    TColor Color;
  } row10[] = {{0, C(4)},  {1, C(4)},  {2, C(3)},  {4, C(3)},  {5, C(2)},  {7, C(2)},
               {8, C(1)},  {9, C(1)},  {10, C(0)}, {11, C(1)}, {12, C(1)}, {13, C(2)},
               {15, C(2)}, {16, C(3)}, {18, C(3)}, {19, C(4)}};
  for (const auto& p : row10) EXPECT_EQ(Local(p.X, 10), p.Color) << p.X;
  EXPECT_EQ(Local(10, 12), C(1));
  EXPECT_EQ(Local(10, 13), C(2));
  EXPECT_EQ(Local(10, 8), C(1));
  EXPECT_EQ(Local(10, 7), C(2));
  ExpectNothingOutside(20, 20);
}

// Diamonds with one pixel per step: Diamond2 on 8 x 8 and Diamond1 on 16 x 16,
// both with K = N = 8 (every component moves by 8).
TEST_F(GradientEdges, DiamondsDrawTheirInnermostRing) {
  const TColor to8 = RGB(108, 58, 12);
  const struct {
    TGradientStyle Style;
    int Size;
  } cases[] = {{gsDiamond2, 8}, {gsDiamond1, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Style));
    Draw(c.Size, c.Size, From, to8, c.Style);
    const int m = c.Size / 2;
    EXPECT_EQ(Local(m, m), From);
    EXPECT_EQ(Local(m + 1, m), C(1));
    EXPECT_EQ(Local(m, m - 1), C(1));
    EXPECT_EQ(Local(m - 1, m), C(1));
    EXPECT_EQ(Local(m + 2, m), C(2));
    EXPECT_EQ(Local(0, 0), to8);
    ExpectNothingOutside(c.Size, c.Size);
  }
}

// Corner styles on 8 x 8 with every component moving by 8. Top-left: the
// first column runs C(y / 2), halves to even, and the bottom-right pixel is
// step 2 of the far half. Top-right mirrors about x = 8, so each of its lines
// starts one pixel outside and its last column runs one step later.
TEST_F(GradientEdges, CornerStylesPaintTheirStartingEdgeAndMeetOnTheDiagonal) {
  const TColor to8 = RGB(108, 58, 12);
  const TColor leftEdge[] = {C(0), C(0), C(1), C(2), C(2), C(2), C(3), C(4)};
  Draw(8, 8, From, to8, gsTopLeft);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Local(0, y), leftEdge[y]) << y;
  EXPECT_EQ(Local(7, 7), C(7));
  EXPECT_EQ(Local(1, 7), C(4));
  EXPECT_EQ(Local(7, 1), C(4));
  ExpectNothingOutside(8, 8);
  const TColor rightEdge[] = {C(1), C(1), C(2), C(2), C(2), C(3), C(4), C(4)};
  Draw(8, 8, From, to8, gsTopRight);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Local(7, y), rightEdge[y]) << y;
  EXPECT_EQ(Local(0, 7), to8);
  EXPECT_EQ(Local(6, 7), C(4));
  EXPECT_EQ(Local(0, 1), C(4));
  ExpectNothingOutside(8, 8);
}

class TextEdges : public ::testing::Test {
 protected:
  TextEdges() : Bmp(200, 120) {
    Bmp.Canvas().Brush().SetColor(Before);
    Bmp.Canvas().FillRect({0, 0, 200, 120});
    Bmp.Canvas().Brush().SetStyle(bsClear);
    Bmp.Canvas().Font().SetColor(clBlack);
  }
  template <class F>
  TRect InkOf(F draw) {
    Bmp.Canvas().Brush().SetStyle(bsSolid);
    Bmp.Canvas().Brush().SetColor(Before);
    Bmp.Canvas().FillRect({0, 0, 200, 120});
    Bmp.Canvas().Brush().SetStyle(bsClear);
    draw(Bmp.Canvas());
    return InkBounds(Bmp.Surface(), {0, 0, 200, 120}, ColorToPixel(Before));
  }
  TBitmap Bmp;
};

// A two-line block sits at its anchor: no shift for the top row of anchors,
// half a pitch up for the middle row, a whole pitch for the bottom row.
TEST_F(TextEdges, EveryAnchorPlacesATwoLineBlock) {
  const int pitch = Bmp.Canvas().TextHeight("X") + 3;
  const int shift[] = {0, 0, 0, pitch / 2, pitch / 2, pitch / 2, pitch, pitch, pitch};
  for (int anchor = 0; anchor <= 8; ++anchor) {
    SCOPED_TRACE(anchor);
    const TRect block = InkOf([&](TCanvas& c) { DrawAlignedText(c, 100, 60, anchor, "Hg|", 3); });
    const TRect line = InkOf([&](TCanvas& c) { TextOutAligned(c, 100, 60 - shift[anchor], anchor, "Hg"); });
    ASSERT_FALSE(line.IsEmpty());
    EXPECT_EQ(block, line);
  }
}

TEST_F(TextEdges, AnchorsOutsideTheTableCountAsTopLeft) {
  const TRect topLeft = InkOf([](TCanvas& c) { TextOutAligned(c, 100, 60, 0, "Hg"); });
  for (int anchor : {-1, 9}) {
    EXPECT_EQ(InkOf([&](TCanvas& c) { TextOutAligned(c, 100, 60, anchor, "Hg"); }), topLeft) << anchor;
  }
}

// The highlight copy lies one pixel right and down, the shadow one left and up.
TEST_F(TextEdges, ThreeDCopiesWidenTheTextByOnePixelEachWay) {
  const TRect flat =
      InkOf([](TCanvas& c) { DrawText3D(c, 100, 60, false, 4, "Hg", clWhite, clGray, clBlack, 0); });
  const TRect raised =
      InkOf([](TCanvas& c) { DrawText3D(c, 100, 60, true, 4, "Hg", clWhite, clGray, clBlack, 0); });
  ASSERT_FALSE(flat.IsEmpty());
  EXPECT_EQ(raised, InflateRect(flat, 1, 1));
}

TEST_F(TextEdges, MeasuringNothingGivesNoWidth) {
  EXPECT_EQ(MeasureTextBlock(Bmp.Canvas(), "").cx, 0);
  EXPECT_EQ(MeasureTextBlock(Bmp.Canvas(), "|").cx, 0);
  EXPECT_EQ(MeasureTextBlock(Bmp.Canvas(), "Pin|").cx, Bmp.Canvas().TextWidth("Pin"));
}

// Every LED shape fills exactly its rectangle; every vertex of it is painted.
TEST_F(TextEdges, LedShapesFillTheirRectangleExactly) {
  const TRect r{20, 30, 31, 41};  // 11 x 11: half sizes 5
  const struct {
    TLEDShape Shape;
    std::vector<TPoint> Vertices;
  } shapes[] = {
      {sRound, {{25, 30}, {20, 35}, {30, 35}, {25, 40}}},
      {sArrowLeft, {{20, 35}, {30, 30}, {30, 40}}},
      {sArrowRight, {{30, 35}, {20, 30}, {20, 40}}},
      {sArrowUp, {{25, 30}, {20, 40}, {30, 40}}},
      {sArrowDown, {{25, 40}, {20, 30}, {30, 30}}},
      {sRectangle, {{20, 30}, {30, 30}, {20, 40}, {30, 40}}},
  };
  for (const auto& s : shapes) {
    SCOPED_TRACE(int(s.Shape));
    const TRect ink = InkOf([&](TCanvas& c) {
      c.Brush().SetStyle(bsSolid);
      DrawLedShape(c, r, s.Shape, clLime, clBtnShadow);
    });
    EXPECT_EQ(ink, r);
    for (const TPoint& v : s.Vertices) EXPECT_NE(Bmp.Canvas().Pixel(v.X, v.Y), Before) << v.X << "," << v.Y;
  }
}

}  // namespace
