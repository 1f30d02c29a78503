// Text metrics, placement and layout through fontconfig and FreeType.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "canvas_fixture.h"
#include "text.h"

namespace {

TFont LedFont() {
  TFont f;
  f.SetName("Verdana");
  f.SetHeight(-11);
  f.SetStyle(fsBold);
  f.SetCharset(RUSSIAN_CHARSET);
  return f;
}

// Ascent and descent straight from the face file's OS/2 table.
TTextMetric MetricsFromFile(const std::string& file, int em) {
  FT_Library lib;
  EXPECT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face;
  EXPECT_EQ(FT_New_Face(lib, file.c_str(), 0, &face), 0);
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  TTextMetric m;
  if (os2 != nullptr) {
    m.Ascent = int(std::lround(double(os2->usWinAscent) * em / face->units_per_EM));
    m.Descent = int(std::lround(double(os2->usWinDescent) * em / face->units_per_EM));
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return m;
}

}  // namespace

class TextTest : public CanvasTest {
 protected:
  TextTest() : CanvasTest(200, 80) {
    Canvas.SetFont(LedFont());
    Canvas.Font().SetColor(clWhite);
  }
};

TEST_F(TextTest, VerdanaFallsBackToABoldSansFace) {
  const std::string file = ResolveFontFile(LedFont());
  ASSERT_FALSE(file.empty());
  EXPECT_NE(file.find("Bold"), std::string::npos) << file;
  TFont serif;
  serif.SetName("Times New Roman");
  EXPECT_NE(ResolveFontFile(serif).find("Serif"), std::string::npos) << ResolveFontFile(serif);
}

TEST_F(TextTest, TextHeightIsWinAscentPlusWinDescent) {
  const TTextMetric expected = MetricsFromFile(ResolveFontFile(LedFont()), 11);
  ASSERT_GT(expected.Height(), 0);
  const TTextMetric m = GetTextMetrics(LedFont());
  EXPECT_EQ(m.Ascent, expected.Ascent);
  EXPECT_EQ(m.Descent, expected.Descent);
  EXPECT_EQ(Canvas.TextHeight("Ввод"), expected.Height());
  EXPECT_EQ(Canvas.TextHeight("X"), expected.Height());
}

TEST_F(TextTest, PositiveHeightIsTheCellHeight) {
  for (int h : {11, 20, 33}) {
    Canvas.Font().SetHeight(h);
    EXPECT_EQ(Canvas.TextHeight("X"), h);
  }
  Canvas.Font().SetHeight(20);
  const int em20Cell = Canvas.TextWidth("WWWW");
  Canvas.Font().SetHeight(-20);
  EXPECT_GT(Canvas.TextHeight("X"), 20);
  EXPECT_GT(Canvas.TextWidth("WWWW"), em20Cell);  // a 20-pixel em is larger than a 20-pixel cell
}

TEST_F(TextTest, WidthIsSumOfWholePixelAdvances) {
  const int a = Canvas.TextWidth("Na");
  const int b = Canvas.TextWidth("me");
  EXPECT_EQ(Canvas.TextWidth("Name"), a + b);
  EXPECT_GT(Canvas.TextWidth("WWW"), Canvas.TextWidth("iii"));
  EXPECT_EQ(Canvas.TextWidth(""), 0);
}

TEST_F(TextTest, TextOutInkStaysNearTheCellAndMovesPenPos) {
  const TSize ext = Canvas.TextExtent("Name");
  Canvas.Brush().SetStyle(bsClear);
  Canvas.TextOut(20, 30, "Name");
  const TRect ink = PaintedBounds();
  ASSERT_FALSE(ink.IsEmpty());
  const TRect cell = Bounds(20, 30, ext.cx, ext.cy);
  EXPECT_EQ(IntersectRect(ink, InflateRect(cell, 1, 0)), ink);
  EXPECT_GE(ink.Top, 30);
  EXPECT_LE(ink.Bottom, 30 + GetTextMetrics(Canvas.Font()).Ascent + 1);  // no descenders in "Name"
  EXPECT_EQ(Canvas.PenPos(), Point(20 + ext.cx, 30));
}

TEST_F(TextTest, OpaqueBrushFillsTheCellClearBrushKeepsBackground) {
  const TSize ext = Canvas.TextExtent("Pin");
  Canvas.Brush().SetColor(clNavy);
  Canvas.TextOut(10, 10, "Pin");
  ExpectRingInside(Bounds(10, 10, ext.cx, ext.cy), clNavy);
  ExpectRingOutsideUntouched(Bounds(10, 10, ext.cx, ext.cy));
  Canvas.Brush().SetStyle(bsClear);
  Canvas.TextOut(100, 10, "Pin");
  EXPECT_EQ(CountColor(clNavy) > 0, true);
  EXPECT_EQ(At(100, 10), BackgroundColor);
  EXPECT_EQ(At(100 + ext.cx - 1, 10 + ext.cy - 1), BackgroundColor);
}

TEST_F(TextTest, GlyphsAreAntiAliasedInTheFontColour) {
  Canvas.Brush().SetStyle(bsClear);
  Canvas.Font().SetColor(clLime);
  Canvas.TextOut(5, 5, "Связь");
  EXPECT_GT(CountColor(clLime), 5);
  bool partial = false;
  for (int y = 0; y < Surface.Height(); ++y)
    for (int x = 0; x < Surface.Width(); ++x) {
      const TColor c = At(x, y);
      if (c != clLime && c != BackgroundColor) partial = true;
    }
  EXPECT_TRUE(partial);
}

TEST_F(TextTest, CyrillicRendersLikeRealGlyphs) {
  Canvas.Brush().SetStyle(bsClear);
  for (const char* word : {"Ввод", "Связь", "Ошибка"}) {
    Surface.SetSize(200, 80, ColorToPixel(BackgroundColor));
    Canvas.TextOut(0, 0, word);
    EXPECT_GT(Canvas.TextWidth(word), 20) << word;
    EXPECT_GT(PaintedBounds().Width(), 15) << word;
  }
  // Two different Cyrillic letters give different images.
  TBitmap a(20, 20), b(20, 20);
  a.Canvas().SetFont(LedFont());
  b.Canvas().SetFont(LedFont());
  a.Canvas().TextOut(0, 0, "В");
  b.Canvas().TextOut(0, 0, "О");
  EXPECT_FALSE(
      std::equal(a.Surface().Pixels().begin(), a.Surface().Pixels().end(), b.Surface().Pixels().begin()));
}

TEST_F(TextTest, UnknownFaceStillDraws) {
  Canvas.Font().SetName("No Such Face 12345");
  Canvas.Brush().SetStyle(bsClear);
  Canvas.TextOut(0, 0, "abc");
  EXPECT_GT(Canvas.TextWidth("abc"), 0);
  EXPECT_FALSE(PaintedBounds().IsEmpty());
}

TEST_F(TextTest, TextRectClipsToItsRectangle) {
  Canvas.Brush().SetColor(clNavy);
  Canvas.TextRect({10, 10, 20, 20}, 5, 5, "WWWWWWWW");
  ExpectRingOutsideUntouched({10, 10, 20, 20});
  EXPECT_EQ(PaintedBounds(), Rect(10, 10, 20, 20));
}

TEST_F(TextTest, MeasuringFromManyThreadsIsSafe) {
  const int expected = Canvas.TextWidth("Ошибка 123");
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      TBitmap bmp(100, 20);
      bmp.Canvas().SetFont(LedFont());
      bmp.Canvas().Font().SetHeight(-11 - t % 2 * 0);
      for (int i = 0; i < 200; ++i) {
        if (bmp.Canvas().TextWidth("Ошибка 123") != expected) ++wrong;
        bmp.Canvas().TextOut(0, 0, "Ввод");
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

class DrawTextTest : public TextTest {};

TEST_F(DrawTextTest, WordBreakKeepsLinesInsideTheWidth) {
  const int word = Canvas.TextWidth("alpha");
  TRect r{0, 0, word * 2, 100};
  const int lh = Canvas.TextHeight("X");
  const int h = Canvas.DrawText("alpha beta gamma delta", r, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(h % lh, 0);
  EXPECT_GE(h / lh, 2);
  EXPECT_LE(r.Width(), word * 2);
  EXPECT_EQ(r.Bottom, h);
  TRect one{0, 0, 1000, 0};
  EXPECT_EQ(Canvas.DrawText("alpha beta gamma delta", one, DT_WORDBREAK | DT_CALCRECT), lh);
  EXPECT_EQ(one.Width(), Canvas.TextWidth("alpha beta gamma delta"));
}

TEST_F(DrawTextTest, LongWordKeepsItsOwnLine) {
  TRect r{0, 0, 10, 0};
  const int lh = Canvas.TextHeight("X");
  EXPECT_EQ(Canvas.DrawText("extraordinarily x", r, DT_WORDBREAK | DT_CALCRECT), 2 * lh);
  EXPECT_EQ(r.Width(), Canvas.TextWidth("extraordinarily"));
}

TEST_F(DrawTextTest, HorizontalAlignment) {
  Canvas.Brush().SetStyle(bsClear);
  const int w = Canvas.TextWidth("Pin");
  TRect r{0, 0, 200, 20};
  Canvas.DrawText("Pin", r, DT_RIGHT | DT_SINGLELINE);
  EXPECT_GE(PaintedBounds().Left, 200 - w - 1);
  Surface.SetSize(200, 80, ColorToPixel(BackgroundColor));
  Canvas.DrawText("Pin", r, DT_CENTER | DT_SINGLELINE);
  const TRect ink = PaintedBounds();
  EXPECT_NEAR((ink.Left + ink.Right) / 2, 100, 3);
}

TEST_F(DrawTextTest, VerticalCentreAndBottomNeedSingleLine) {
  const int lh = Canvas.TextHeight("X");
  TRect r{0, 0, 100, 60};
  EXPECT_EQ(Canvas.DrawText("Pin", r, DT_SINGLELINE | DT_VCENTER), (60 - lh) / 2 + lh);
  EXPECT_EQ(Canvas.DrawText("Pin", r, DT_SINGLELINE | DT_BOTTOM), 60);
  EXPECT_EQ(Canvas.DrawText("Pin", r, DT_VCENTER), lh);
}

TEST_F(DrawTextTest, PrefixAndBarHandling) {
  TRect r{0, 0, 500, 0};
  Canvas.DrawText("&File", r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.Width(), Canvas.TextWidth("File"));
  r = {0, 0, 500, 0};
  Canvas.DrawText("a&&b", r, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(r.Width(), Canvas.TextWidth("a&b"));
  r = {0, 0, 500, 0};
  Canvas.DrawText("&File", r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_EQ(r.Width(), Canvas.TextWidth("&File"));
  r = {0, 0, 500, 0};
  const int lh = Canvas.TextHeight("X");
  EXPECT_EQ(Canvas.DrawText("Name|Pin", r, DT_CALCRECT), lh);  // "|" is an ordinary character
  EXPECT_EQ(r.Width(), Canvas.TextWidth("Name|Pin"));
}

TEST_F(DrawTextTest, PrefixUnderlinesItsCharacter) {
  Canvas.Brush().SetStyle(bsClear);
  TRect r{0, 0, 200, 40};
  Canvas.DrawText("&Name", r, DT_SINGLELINE);
  const TRect withLine = PaintedBounds();
  Surface.SetSize(200, 80, ColorToPixel(BackgroundColor));
  Canvas.DrawText("Name", r, DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_GT(withLine.Bottom, PaintedBounds().Bottom);
}

TEST_F(DrawTextTest, LineBreaksAndTabs) {
  const int lh = Canvas.TextHeight("X");
  TRect r{0, 0, 500, 0};
  EXPECT_EQ(Canvas.DrawText("a\nb\r\nc", r, DT_CALCRECT), 3 * lh);
  r = {0, 0, 500, 0};
  EXPECT_EQ(Canvas.DrawText("a\nb", r, DT_CALCRECT | DT_SINGLELINE), lh);
  r = {0, 0, 500, 0};
  Canvas.DrawText("\tx", r, DT_CALCRECT | DT_EXPANDTABS);
  const int tab = r.Width() - Canvas.TextWidth("x");
  EXPECT_GT(tab, 0);
  r = {0, 0, 500, 0};
  Canvas.DrawText("ab\tx", r, DT_CALCRECT | DT_EXPANDTABS);
  EXPECT_EQ(r.Width() - Canvas.TextWidth("x"), tab);  // same stop
}

TEST_F(DrawTextTest, ClipsUnlessNoClip) {
  Canvas.Brush().SetStyle(bsClear);
  TRect r{10, 10, 20, 30};
  Canvas.DrawText("WWWWWW", r, DT_SINGLELINE);
  EXPECT_EQ(IntersectRect(PaintedBounds(), r), PaintedBounds());
  Canvas.DrawText("WWWWWW", r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(PaintedBounds().Right, 20);
}

TEST(FontCacheFallback, WithoutFontconfigAnySansFaceServes) {
  TFontCache cache(false);
  const TFont font = LedFont();
  const std::string file = cache.FontFile(font);
  ASSERT_FALSE(file.empty());
  const TFontMetrics m = cache.Metrics(font);
  EXPECT_GT(m.Ascent, 5);
  EXPECT_GT(m.Descent, 0);
  const TTextLine line = cache.Layout(font, U"Ввод");
  ASSERT_EQ(line.Items.size(), 4u);
  EXPECT_GT(line.Width, 10);
  for (const auto& it : line.Items) EXPECT_GT(it.Glyph->Width, 0);
}
