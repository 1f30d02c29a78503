#include <gtest/gtest.h>

#include <array>

#include "_GClass.h"
#include "widget_fixture.h"

namespace {

constexpr TColor MarkerColor = 0x123456;

class PaintingTest : public ::testing::Test {
 protected:
  PaintingTest() : Bmp(60, 40) { Clear(); }
  void Clear() {
    Bmp.Canvas().Brush().SetStyle(bsSolid);
    Bmp.Canvas().Brush().SetColor(MarkerColor);
    Bmp.Canvas().FillRect(Rect(0, 0, Bmp.Width(), Bmp.Height()));
  }
  TColor At(int x, int y) const { return Bmp.Canvas().Pixel(x, y); }
  static TColor Gray(int v) { return RGB(std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)); }
  TRect Ink(const TRect& area) const { return InkBounds(Bmp.Surface(), area, ColorToPixel(MarkerColor)); }
  TBitmap Bmp;
};

TEST(BlendColorTest, EndsAndHalfSteps) {
  EXPECT_EQ(BlendColor(0x000000, 0xFFFFFF, 4, 0), 0x000000u);
  EXPECT_EQ(BlendColor(0x000000, 0xFFFFFF, 4, 4), 0xFFFFFFu);
  // 127.5 and 0.5: halves go to the even neighbour.
  EXPECT_EQ(BlendColor(0x000000, 0x0000FF, 2, 1), 0x000080u);
  EXPECT_EQ(BlendColor(0x000000, 0x000001, 2, 1), 0x000000u);
  EXPECT_EQ(BlendColor(0x000000, 0x000003, 2, 1), 0x000002u);
}

TEST(BlendColorTest, ZeroStepsCountAsOne) {
  EXPECT_EQ(BlendColor(0x102030, 0x403020, 0, 1), BlendColor(0x102030, 0x403020, 1, 1));
  EXPECT_EQ(BlendColor(0x102030, 0x403020, 0, 0), 0x102030u);
}

TEST(BlendColorTest, EqualResolvedColoursReturnFromUnchanged) {
  EXPECT_EQ(BlendColor(clBtnHighlight, clWhite, 2, 1), clBtnHighlight);
}

TEST_F(PaintingTest, EqualColoursGiveOneFillInEveryStyle) {
  const TRect r = Rect(5, 6, 45, 30);
  for (int s = int(gsHorizontal1); s <= int(gsTopRight); ++s) {
    Clear();
    DrawGradient(Bmp.Canvas(), r, 0x404040, 0x404040, TGradientStyle(s));
    EXPECT_EQ(Ink(Rect(0, 0, 60, 40)), r) << "style " << s;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) ASSERT_EQ(At(x, y), 0x404040u) << "style " << s;
  }
}

TEST_F(PaintingTest, EmptyRectanglePaintsNothing) {
  DrawGradient(Bmp.Canvas(), Rect(10, 10, 10, 30), clBlack, clWhite, gsElliptic2);
  DrawGradient(Bmp.Canvas(), Rect(10, 10, 30, 5), clBlack, clWhite, gsHorizontal1);
  EXPECT_TRUE(Ink(Rect(0, 0, 60, 40)).IsEmpty());
}

TEST_F(PaintingTest, Horizontal1TruncatesBandColours) {
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 20, 10), clBlack, clWhite, gsHorizontal1);
  EXPECT_EQ(At(3, 0), Gray(0));
  EXPECT_EQ(At(3, 1), Gray(25));   // 25.5
  EXPECT_EQ(At(3, 9), Gray(229));  // 229.5
  EXPECT_EQ(At(3, 10), MarkerColor);
}

TEST_F(PaintingTest, Horizontal3SkipsLinesAboveTheTop) {
  // H 12: centre row 4, 8 steps of 31.875; row 0 is step 4 (127.5 -> 128).
  DrawGradient(Bmp.Canvas(), Rect(0, 10, 20, 22), clBlack, clWhite, gsHorizontal3);
  EXPECT_EQ(At(5, 14), Gray(0));
  EXPECT_EQ(At(5, 10), Gray(128));
  EXPECT_EQ(At(5, 21), Gray(223));
  EXPECT_EQ(At(5, 9), MarkerColor);
}

TEST_F(PaintingTest, VerticalStylesRunAcross) {
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 10, 20), clBlack, clWhite, gsVertical1);
  EXPECT_EQ(At(0, 5), Gray(0));
  EXPECT_EQ(At(9, 5), Gray(229));
  Clear();
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 20, 10), clBlack, clWhite, gsVertical2);
  EXPECT_EQ(At(10, 3), Gray(0));
  EXPECT_EQ(At(0, 3), Gray(255));
}

TEST_F(PaintingTest, EllipticRunsFromNearFromInsideToToInTheCorners) {
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 40, 30), clBlack, clWhite, gsElliptic2);
  EXPECT_GE(GetRValue(At(0, 0)), 245);
  EXPECT_GE(GetRValue(At(39, 29)), 245);
  EXPECT_LE(GetRValue(At(20, 15)), 10);
  EXPECT_LT(GetRValue(At(20, 15)), GetRValue(At(30, 15)));
}

TEST_F(PaintingTest, CornerStylesStartAtTheirCorners) {
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 30, 30), clBlack, clWhite, gsTopLeft);
  EXPECT_LE(GetRValue(At(0, 0)), 10);
  EXPECT_GE(GetRValue(At(29, 29)), 245);
  Clear();
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 30, 30), clBlack, clWhite, gsTopRight);
  EXPECT_LE(GetRValue(At(29, 0)), 10);
  EXPECT_GE(GetRValue(At(0, 29)), 245);
}

TEST_F(PaintingTest, DiamondCentreIsFrom) {
  DrawGradient(Bmp.Canvas(), Rect(0, 0, 31, 21), clRed, clBlue, gsDiamond1);
  EXPECT_EQ(At(15, 10), clRed);
  EXPECT_EQ(At(0, 0), clBlue);
}

class BevelTest : public PaintingTest {
 protected:
  // The main window's button rings.
  void MainWindowColours() {
    Bevel.SetShadowColFrom(0x191919);
    Bevel.SetShadowColTo(0x282828);
    Bevel.SetHighlightColFrom(0x626262);
    Bevel.SetHighlightColTo(0x555555);
  }
  TAbBtnBevel Bevel;
};

TEST_F(BevelTest, ZeroWidthOnlyFillsTheFace) {
  Bevel.SetWidth(0);
  TRect r = Rect(2, 2, 22, 12);
  Bevel.DrawBevel(Bmp.Canvas(), r, true, true, clGreen);
  EXPECT_EQ(r, Rect(2, 2, 22, 12));
  EXPECT_EQ(Ink(Rect(0, 0, 60, 40)), r);
  EXPECT_EQ(At(2, 2), clGreen);
  EXPECT_EQ(At(21, 11), clGreen);
}

TEST_F(BevelTest, MainWindowRaisedRings) {
  MainWindowColours();
  TRect r = Rect(0, 0, 20, 10);
  Bevel.DrawBevel(Bmp.Canvas(), r, true, false, clBlack);
  EXPECT_EQ(r, Rect(2, 2, 18, 8));
  EXPECT_EQ(At(5, 0), 0x5C5C5Cu);
  EXPECT_EQ(At(0, 5), 0x5C5C5Cu);
  EXPECT_EQ(At(5, 1), 0x555555u);
  EXPECT_EQ(At(19, 5), 0x212121u);
  EXPECT_EQ(At(5, 9), 0x212121u);
  EXPECT_EQ(At(18, 5), 0x282828u);
  EXPECT_EQ(At(5, 8), 0x282828u);
  EXPECT_EQ(At(5, 5), MarkerColor);  // no face fill
}

TEST_F(BevelTest, SunkenSwapsSidesAndRunsBack) {
  MainWindowColours();
  TRect r = Rect(0, 0, 20, 10);
  Bevel.DrawBevel(Bmp.Canvas(), r, false, false, clBlack);
  EXPECT_EQ(At(5, 0), 0x202020u);  // 40 - 7.5 -> 32
  EXPECT_EQ(At(5, 1), 0x191919u);
  EXPECT_EQ(At(5, 9), 0x5B5B5Bu);  // 85 + 6.5 -> 91
  EXPECT_EQ(At(5, 8), 0x626262u);
}

class TextTest : public PaintingTest {
 protected:
  TextTest() {
    Bmp.SetSize(200, 120);
    Clear();
    Bmp.Canvas().Brush().SetStyle(bsClear);
    Bmp.Canvas().Font().SetColor(clBlack);
  }
  TRect InkOf(const std::function<void(TCanvas&)>& draw) {
    Clear();
    Bmp.Canvas().Brush().SetStyle(bsClear);
    draw(Bmp.Canvas());
    return Ink(Rect(0, 0, 200, 120));
  }
};

TEST_F(TextTest, AnchorsPlaceTheLineAroundThePoint) {
  const TSize size = Bmp.Canvas().TextExtent("Hg");
  const TRect base = InkOf([](TCanvas& c) { TextOutAligned(c, 100, 60, 0, "Hg"); });
  ASSERT_FALSE(base.IsEmpty());
  for (int anchor = 1; anchor <= 8; ++anchor) {
    const int dx = std::array{0, size.cx / 2, size.cx}[std::size_t(anchor % 3)];
    const int dy = std::array{0, size.cy / 2, size.cy}[std::size_t(anchor / 3)];
    const TRect ink = InkOf([&](TCanvas& c) { TextOutAligned(c, 100, 60, anchor, "Hg"); });
    EXPECT_EQ(ink, OffsetRect(base, -dx, -dy)) << "anchor " << anchor;
  }
}

TEST_F(TextTest, TwoLinesAtAMiddleAnchorStartHalfAPitchHigher) {
  const int pitch = Bmp.Canvas().TextHeight("X") + 2;
  // The second line is empty, so only the first one shows.
  const TRect block =
      InkOf([](TCanvas& c) { DrawText3D(c, 100, 60, false, 3, "Hg|", clWhite, clGray, clBlack, 2); });
  const TRect single = InkOf([&](TCanvas& c) { TextOutAligned(c, 100, 60 - pitch / 2, 3, "Hg"); });
  EXPECT_EQ(block, single);
}

TEST_F(TextTest, BottomAnchorBlockEndsAtThePoint) {
  const int pitch = Bmp.Canvas().TextHeight("X");
  const TRect two = InkOf([](TCanvas& c) { DrawAlignedText(c, 100, 80, 7, "Hg|Hg", 0); });
  const TRect last = InkOf([](TCanvas& c) { TextOutAligned(c, 100, 80, 7, "Hg"); });
  EXPECT_EQ(two.Bottom, last.Bottom);
  EXPECT_EQ(two.Top, last.Top - pitch);
}

TEST_F(TextTest, Text3DDrawsHighlightAndShadowCopies) {
  Bmp.Canvas().Brush().SetStyle(bsClear);
  DrawText3D(Bmp.Canvas(), 100, 60, true, 4, "Hg", clRed, clBlue, clBlack, 0);
  bool red = false, blue = false;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) {
      red |= At(x, y) == clRed;
      blue |= At(x, y) == clBlue;
    }
  EXPECT_TRUE(red);
  EXPECT_TRUE(blue);
  EXPECT_EQ(Bmp.Canvas().Font().Color(), clBlack);
}

TEST_F(TextTest, MeasureTextBlockTakesTheWidestLine) {
  TCanvas& c = Bmp.Canvas();
  const TSize block = MeasureTextBlock(c, "Name|Pin");
  EXPECT_EQ(block.cx, std::max(c.TextWidth("Name"), c.TextWidth("Pin")));
  EXPECT_EQ(block.cy, c.TextHeight("Name|Pin"));
  EXPECT_EQ(MeasureTextBlock(c, "Pin|Wider line").cx, c.TextWidth("Wider line"));
  EXPECT_EQ(MeasureTextBlock(c, "Name").cx, c.TextWidth("Name"));
}

class LedShapeTest : public PaintingTest {};

TEST_F(LedShapeTest, RectangleFillsInsideTheOutline) {
  Bmp.Canvas().Brush().SetStyle(bsSolid);
  DrawLedShape(Bmp.Canvas(), Rect(0, 4, 10, 14), sRectangle, clLime, clBtnShadow);
  EXPECT_EQ(At(5, 9), clLime);
  EXPECT_EQ(At(0, 9), 0xA0A0A0u);
  EXPECT_EQ(At(9, 9), 0xA0A0A0u);
  EXPECT_EQ(At(5, 4), 0xA0A0A0u);
  EXPECT_EQ(At(5, 13), 0xA0A0A0u);
  EXPECT_EQ(At(5, 14), MarkerColor);
}

TEST_F(LedShapeTest, RoundHasItsGlintInTheUpperLeftOnly) {
  Bmp.Canvas().Brush().SetStyle(bsSolid);
  DrawLedShape(Bmp.Canvas(), Rect(0, 0, 13, 13), sRound, clGreen, clBtnShadow);
  EXPECT_EQ(At(6, 6), clGreen);
  int upperLeft = 0, elsewhere = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 13; ++x)
      if (At(x, y) == clWhite) (x <= 6 && y <= 6 ? upperLeft : elsewhere)++;
  EXPECT_GT(upperLeft, 0);
  EXPECT_EQ(elsewhere, 0);
}

TEST_F(LedShapeTest, ArrowsPointTheirWay) {
  Bmp.Canvas().Brush().SetStyle(bsSolid);
  const TRect r = Rect(0, 0, 11, 11);
  DrawLedShape(Bmp.Canvas(), r, sArrowRight, clLime, clBtnShadow);
  EXPECT_EQ(At(2, 5), clLime);
  EXPECT_EQ(At(9, 1), MarkerColor);
  Clear();
  DrawLedShape(Bmp.Canvas(), r, sArrowUp, clLime, clBtnShadow);
  EXPECT_EQ(At(5, 8), clLime);
  EXPECT_EQ(At(1, 1), MarkerColor);
}

}  // namespace
