// Clipping at its edges: a primitive that covers the clip paints its first
// and last row and column and nothing just outside; lines end exactly on the
// clip; damage is exactly what changed.
#include <functional>

#include "canvas_fixture.h"

namespace {

// Origin and clip deliberately apart and not square: the clip in surface
// coordinates is (11, 9)-(23, 17), which is (4, 4)-(16, 12) locally.
constexpr TPoint Origin{7, 5};
constexpr TRect SurfaceClip{11, 9, 23, 17};
constexpr TRect LocalClip{4, 4, 16, 12};

class ClipEdges : public CanvasTest {
 protected:
  ClipEdges() { Reset(); }
  void Reset() {
    Surface = TSurface(64, 64, ColorToPixel(BackgroundColor));
    Surface.TakeDamage();
    Canvas.SetOrigin(Origin);
    Canvas.SetClipRect(SurfaceClip);
    Canvas.Pen().SetColor(clRed);
    Canvas.Pen().SetWidth(1);
    Canvas.Brush().SetStyle(bsSolid);
    Canvas.Brush().SetColor(clLime);
  }
  // The ring just inside the clip is painted, the ring just outside is not.
  void ExpectClipFilledToItsEdges() {
    ForRing(SurfaceClip, [&](int x, int y) { EXPECT_TRUE(Painted(x, y)) << "inside at " << x << "," << y; });
    ExpectRingOutsideUntouched(SurfaceClip);
  }
};

}  // namespace

TEST_F(ClipEdges, CoveringPrimitivesPaintTheClipExactly) {
  TBitmap red(80, 80);
  red.Canvas().Brush().SetColor(clRed);
  red.Canvas().FillRect({0, 0, 80, 80});
  const struct {
    const char* Name;
    std::function<void(TCanvas&)> Draw;
  } primitives[] = {
      {"FillRect",
       [](TCanvas& c) {
         c.FillRect({-20, -20, 40, 40});
       }},
      {"Rectangle", [](TCanvas& c) { c.Rectangle(-20, -20, 40, 40); }},
      {"RoundRect", [](TCanvas& c) { c.RoundRect(-20, -20, 40, 40, 8, 8); }},
      {"Ellipse", [](TCanvas& c) { c.Ellipse(-60, -60, 80, 80); }},
      {"Polygon",
       [](TCanvas& c) {
         const TPoint p[] = {{-30, -30}, {60, -30}, {-30, 60}};
         c.Polygon(p);
       }},
      {"Frame3D",
       [](TCanvas& c) {
         TRect r{-2, -2, 30, 30};
         c.Frame3D(r, clRed, clBlue, 20);
       }},
      {"TextRect",
       [](TCanvas& c) {
         c.TextRect({-20, -20, 40, 40}, 0, 0, "");
       }},
      {"Draw", [&](TCanvas& c) { c.Draw(-20, -20, red); }},
      {"StretchDraw",
       [&](TCanvas& c) {
         c.StretchDraw({-20, -20, 40, 40}, red);
       }},
      {"CopyRect",
       [&](TCanvas& c) {
         c.CopyRect({-20, -20, 40, 40}, red.Canvas(), {0, 0, 60, 60});
       }},
      {"BrushCopy",
       [&](TCanvas& c) {
         c.BrushCopy({-20, -20, 40, 40}, red, {0, 0, 60, 60}, clRed);
       }},
  };
  for (const auto& p : primitives) {
    SCOPED_TRACE(p.Name);
    Reset();
    p.Draw(Canvas);
    ExpectClipFilledToItsEdges();
    ASSERT_EQ(Surface.Damage().size(), 1u);
    EXPECT_EQ(Surface.Damage()[0], SurfaceClip);
  }
}

TEST_F(ClipEdges, LinesEndExactlyOnTheClipInEitherDirection) {
  const struct {
    TPoint From, To;
    TPoint FirstIn, LastIn;  // local
  } lines[] = {
      {{-30, 6}, {50, 6}, {4, 6}, {15, 6}},   {{50, 6}, {-30, 6}, {15, 6}, {4, 6}},
      {{9, -30}, {9, 50}, {9, 4}, {9, 11}},   {{9, 50}, {9, -30}, {9, 11}, {9, 4}},
      {{-4, -4}, {40, 40}, {4, 4}, {11, 11}}, {{40, 40}, {-4, -4}, {11, 11}, {4, 4}},
      {{16, 0}, {4, 12}, {12, 4}, {5, 11}},
  };
  for (const auto& l : lines) {
    SCOPED_TRACE(testing::Message() << l.From.X << "," << l.From.Y << " -> " << l.To.X << "," << l.To.Y);
    Reset();
    Canvas.MoveTo(l.From.X, l.From.Y);
    Canvas.LineTo(l.To.X, l.To.Y);
    EXPECT_EQ(At(Origin.X + l.FirstIn.X, Origin.Y + l.FirstIn.Y), clRed);
    EXPECT_EQ(At(Origin.X + l.LastIn.X, Origin.Y + l.LastIn.Y), clRed);
    ExpectRingOutsideUntouched(SurfaceClip);
  }
}

TEST_F(ClipEdges, ShortLinesAndWidePensAtTheirLimits) {
  // A one-step line draws its start only; a zero-length one draws nothing.
  Canvas.MoveTo(6, 6);
  Canvas.LineTo(7, 6);
  EXPECT_EQ(At(Origin.X + 6, Origin.Y + 6), clRed);
  EXPECT_EQ(At(Origin.X + 7, Origin.Y + 6), BackgroundColor);
  Canvas.MoveTo(9, 9);
  Canvas.LineTo(9, 9);
  EXPECT_EQ(At(Origin.X + 9, Origin.Y + 9), BackgroundColor);
  // A 3-pixel pen across the clip's top edge: its upper row falls outside,
  // its lower two rows are inside; across the bottom edge the other way.
  Reset();
  Canvas.Pen().SetWidth(3);
  Canvas.MoveTo(-10, 4);
  Canvas.LineTo(40, 4);
  Canvas.MoveTo(-10, 11);
  Canvas.LineTo(40, 11);
  for (int x : {4, 10, 15}) {
    EXPECT_EQ(At(Origin.X + x, Origin.Y + 4), clRed) << x;
    EXPECT_EQ(At(Origin.X + x, Origin.Y + 5), clRed) << x;
    EXPECT_EQ(At(Origin.X + x, Origin.Y + 10), clRed) << x;
    EXPECT_EQ(At(Origin.X + x, Origin.Y + 11), clRed) << x;
  }
  ExpectRingOutsideUntouched(SurfaceClip);
}

TEST_F(ClipEdges, WidePenRowsAreCentredOnTheLine) {
  Canvas.SetOrigin({0, 0});
  Canvas.SetClipRect({0, 0, 64, 64});
  Canvas.Pen().SetWidth(3);
  Canvas.MoveTo(10, 20);
  Canvas.LineTo(30, 20);
  for (int y : {19, 20, 21}) EXPECT_EQ(At(20, y), clRed) << y;
  for (int y : {18, 22}) EXPECT_EQ(At(20, y), BackgroundColor) << y;
}

TEST_F(ClipEdges, DamageIsExactlyWhatChanged) {
  Canvas.SetPixel(4, 4, clBlue);
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], (TRect{11, 9, 12, 10}));
  Surface.TakeDamage();
  TBitmap b(3, 2);
  Canvas.Draw(5, 6, b);
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], (TRect{12, 11, 15, 13}));
  // Text: every blended pixel of black text on white changes, so the damage
  // is the painted area.
  Reset();
  Canvas.SetOrigin({0, 0});
  Canvas.SetClipRect({0, 0, 64, 64});
  Surface = TSurface(64, 64, ColorToPixel(clWhite));
  Surface.TakeDamage();
  Canvas.Brush().SetStyle(bsClear);
  Canvas.Font().SetColor(clBlack);
  Canvas.TextOut(5, 5, "Hg");
  TRect painted{};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (At(x, y) != clWhite) painted = UnionRect(painted, {x, y, x + 1, y + 1});
  ASSERT_EQ(Surface.Damage().size(), 1u);
  EXPECT_EQ(Surface.Damage()[0], painted);
}

TEST_F(ClipEdges, TextInTheBackgroundsOwnColourChangesNothing) {
  constexpr TColor Odd = 0x135779;  // odd components: a lost low bit shows
  Surface = TSurface(64, 64, ColorToPixel(Odd));
  Canvas.SetOrigin({0, 0});
  Canvas.SetClipRect({0, 0, 64, 64});
  Canvas.Brush().SetStyle(bsClear);
  Canvas.Font().SetColor(Odd);
  Canvas.Font().SetHeight(-20);
  Canvas.TextOut(2, 2, "Hgw@");
  EXPECT_EQ(CountColor(Odd), 64 * 64);
}

// Styled pens: on and off runs start and end where their pattern says.
TEST_F(ClipEdges, DashPatternsSwitchAtTheirRunLengths) {
  Canvas.SetOrigin({0, 0});
  Canvas.SetClipRect({0, 0, 64, 64});
  const struct {
    TPenStyle Style;
    std::vector<int> Runs;  // on, off, on, ...
  } pens[] = {
      {psDash, {18, 6}}, {psDot, {3, 3}}, {psDashDot, {9, 6, 3, 6}}, {psDashDotDot, {9, 3, 3, 3, 3, 3}}};
  for (const auto& p : pens) {
    SCOPED_TRACE(int(p.Style));
    Reset();
    Canvas.SetOrigin({0, 0});
    Canvas.SetClipRect({0, 0, 64, 64});
    Canvas.Pen().SetStyle(p.Style);
    Canvas.MoveTo(0, 30);
    Canvas.LineTo(60, 30);
    int x = 0;
    while (x < 60)
      for (std::size_t k = 0; k < p.Runs.size() && x < 60; ++k)
        for (int i = 0; i < p.Runs[k] && x < 60; ++i, ++x)
          EXPECT_EQ(At(x, 30) == clRed, k % 2 == 0) << "x " << x;
  }
}

// Frames stay on their rectangle: FrameRect is its 1-pixel border; Frame3D
// ring i is the border of the rectangle shrunk by i, its top row (but the
// top-right corner) and left column in the top colour, the rest in the
// bottom colour.
TEST_F(CanvasTest, FramesCoverExactlyTheirRings) {
  const TRect r{10, 12, 22, 21};
  Canvas.Brush().SetColor(clBlue);
  Canvas.FrameRect(r);
  ExpectRingInside(r, clBlue);
  ExpectRingOutsideUntouched(r);
  EXPECT_EQ(At(11, 13), BackgroundColor);
  for (int width = 1; width <= 3; ++width) {
    SCOPED_TRACE(width);
    Surface = TSurface(64, 64, ColorToPixel(BackgroundColor));
    TRect frame = r;
    Canvas.Frame3D(frame, clWhite, clRed, width);
    EXPECT_EQ(frame, InflateRect(r, -width, -width));
    for (int i = 0; i < width; ++i) {
      const TRect ring = InflateRect(r, -i, -i);
      for (int x = ring.Left; x < ring.Right; ++x) {
        EXPECT_EQ(At(x, ring.Top), x < ring.Right - 1 ? clWhite : clRed) << "top " << x;
        EXPECT_EQ(At(x, ring.Bottom - 1), clRed) << "bottom " << x;
      }
      for (int y = ring.Top + 1; y < ring.Bottom - 1; ++y) {
        EXPECT_EQ(At(ring.Left, y), clWhite) << "left " << y;
        EXPECT_EQ(At(ring.Right - 1, y), clRed) << "right " << y;
      }
    }
    ExpectRingOutsideUntouched(r);
    ForRing(frame,
            [&](int x, int y) { EXPECT_EQ(At(x, y), BackgroundColor) << "inside at " << x << "," << y; });
  }
}

// Copies at the limits of their sizes: an empty source copies nothing,
// one-pixel sources and targets still copy, and a source rectangle running
// past its surface copies only the pixels that exist.
TEST_F(CanvasTest, CopiesAtTheLimitsOfTheirSizes) {
  TBitmap red(8, 8);
  red.Canvas().Brush().SetColor(clRed);
  red.Canvas().FillRect({0, 0, 8, 8});
  Canvas.CopyRect({0, 0, 10, 10}, red.Canvas(), {4, 0, 4, 8});
  Canvas.CopyRect({0, 0, 10, 10}, red.Canvas(), {0, 4, 8, 4});
  EXPECT_TRUE(PaintedBounds().IsEmpty());

  TBitmap column(1, 5);
  column.Canvas().Brush().SetColor(clRed);
  column.Canvas().FillRect({0, 0, 1, 5});
  Canvas.Draw(3, 4, column);
  EXPECT_EQ(PaintedBounds(), (TRect{3, 4, 4, 9}));

  TBitmap dot(1, 1);
  dot.Canvas().SetPixel(0, 0, clLime);
  Canvas.StretchDraw({20, 20, 26, 24}, dot);
  ExpectRingInside({20, 20, 26, 24}, clLime);
  ExpectRingOutsideUntouched({20, 20, 26, 24});

  Canvas.CopyRect({40, 40, 52, 52}, red.Canvas(), {2, 2, 14, 14});
  ExpectRingInside({40, 40, 46, 46}, clRed);
  ExpectRingOutsideUntouched({40, 40, 46, 46});
}

// A glyph one pixel wide (an apostrophe at 11 pixels) is drawn too.
TEST_F(CanvasTest, NarrowGlyphsAreDrawn) {
  Canvas.Font().SetName("Verdana");
  Canvas.Font().SetHeight(-11);
  Canvas.Font().SetColor(clBlack);
  Canvas.Brush().SetStyle(bsClear);
  Canvas.TextOut(5, 5, "'");
  EXPECT_FALSE(PaintedBounds().IsEmpty());
}
