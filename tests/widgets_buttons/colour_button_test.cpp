#include <gtest/gtest.h>

#include "AbCBitBt.h"
#include "forms.h"
#include "pixel_probe.h"

namespace {

constexpr TColor FormColor = 0x404040;

// The look of the main window's buttons.
void StyleAsMainWindow(TAbColBitBtn& b) {
  b.GradBtnFace().SetColorFrom(0x404040);
  b.GradBtnFace().SetColorTo(0x404040);
  b.GradBtnFace().SetStyle(gsTopRight);
  b.GradBtnFace().SetVisible(true);
  b.ButtonBevel().SetShadowColFrom(0x191919);
  b.ButtonBevel().SetShadowColTo(0x282828);
  b.ButtonBevel().SetHighlightColFrom(0x626262);
  b.ButtonBevel().SetHighlightColTo(0x555555);
  b.ButtonBevel().SetWidth(2);
  b.SetColorDisabled(0xA0A0A0);
  b.SetTextColOn(clLime);
  b.SetTextColOff(clGreen);
  b.SetTextColDisabled(clGray);
  b.Font().SetName("Verdana");
  b.Font().SetHeight(-12);
  b.Font().SetStyle(TFontStyles());
  b.Font().SetColor(clWindowText);
}

// Cells of 8 x 8 white with a 4 x 4 square of their colour inside.
void SetGlyphStrip(TAbColBitBtn& b, std::initializer_list<TColor> cells) {
  TBitmap strip(8 * int(cells.size()), 8);
  TCanvas& c = strip.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect({0, 0, strip.Width(), 8});
  int x = 0;
  for (TColor cell : cells) {
    c.Brush().SetColor(cell);
    c.FillRect({x + 2, 2, x + 6, 6});
    x += 8;
  }
  b.SetGlyph(strip);
  b.SetNumGlyph(int(cells.size()));
}

class ColourButton : public ::testing::Test {
 protected:
  void SetUp() override {
    Parent.SetBounds(0, 0, 240, 120);
    Parent.SetColor(FormColor);
    Btn = new TAbColBitBtn(&Parent);
    Btn->SetBounds(10, 10, 89, 21);
    StyleAsMainWindow(*Btn);
    Btn->SetTextOff("Name");
    Btn->SetTextOn("Pin");
    Paint();
  }
  void Paint() { Parent.PaintInvalid(); }
  TRect Interior() const { return {2, 2, Btn->Width() - 2, Btn->Height() - 2}; }
  void Press() { Btn->DispatchMouseDown(mbLeft, ssLeft, 5, 5, false); }
  void Release() { Btn->DispatchMouseUp(mbLeft, 0, 5, 5); }
  // Outer ring first: top-left colours, then bottom-right colours.
  void ExpectRings(TColor tl1, TColor tl2, TColor br1, TColor br2) {
    const int w = Btn->Width();
    const int h = Btn->Height();
    EXPECT_EQ(PixelOf(*Btn, 0, 10), tl1);
    EXPECT_EQ(PixelOf(*Btn, 40, 0), tl1);
    EXPECT_EQ(PixelOf(*Btn, 1, 10), tl2);
    EXPECT_EQ(PixelOf(*Btn, 40, 1), tl2);
    EXPECT_EQ(PixelOf(*Btn, w - 1, 10), br1);
    EXPECT_EQ(PixelOf(*Btn, 40, h - 1), br1);
    EXPECT_EQ(PixelOf(*Btn, w - 2, 10), br2);
    EXPECT_EQ(PixelOf(*Btn, 40, h - 2), br2);
    EXPECT_EQ(PixelOf(*Btn, 2, 10), FormColor);
  }

  TForm Parent{nullptr};
  TAbColBitBtn* Btn = nullptr;
};

TEST_F(ColourButton, NewButtonHasItsOwnDefaults) {
  TAbColBitBtn fresh(nullptr);
  EXPECT_EQ(fresh.Width(), 65);
  EXPECT_EQ(fresh.Height(), 33);
  EXPECT_EQ(fresh.Mode(), mButton);
  EXPECT_TRUE(fresh.Font().Style().Contains(fsBold));
  EXPECT_EQ(fresh.GradBtnFace().ColorFrom(), 0xF0F0F0u);
  EXPECT_EQ(fresh.GradBtnFace().ColorTo(), 0x696969u);
  EXPECT_TRUE(fresh.GradBtnFace().Visible());
  EXPECT_EQ(fresh.ButtonBevel().Width(), 4);
  EXPECT_TRUE(fresh.Enabled());
}

TEST_F(ColourButton, RaisedRingsBlendTowardsTheToColours) {
  ExpectRings(0x5C5C5C, 0x555555, 0x212121, 0x282828);
}

TEST_F(ColourButton, PressedButtonIsSunkenUntilReleased) {
  Press();
  EXPECT_TRUE(Btn->Checked());
  ExpectRings(0x202020, 0x191919, 0x5B5B5B, 0x626262);
  Release();
  EXPECT_FALSE(Btn->Checked());
  ExpectRings(0x5C5C5C, 0x555555, 0x212121, 0x282828);
}

TEST_F(ColourButton, CheckedSwitchStaysSunken) {
  Btn->SetMode(mSwitch);
  Press();
  Release();
  EXPECT_TRUE(Btn->Checked());
  ExpectRings(0x202020, 0x191919, 0x5B5B5B, 0x626262);
}

TEST_F(ColourButton, CaptionMovesOnePixelWhilePressed) {
  Btn->SetTextOn("Name");
  Btn->SetText3D(false);
  const TRect up = InkBounds(Snap(*Btn), FormColor, Interior());
  Press();
  const TRect down = InkBounds(Snap(*Btn), FormColor, Interior());
  ASSERT_FALSE(up.IsEmpty());
  EXPECT_EQ(down, OffsetRect(up, 1, 1));
}

TEST_F(ColourButton, CaptionTextAndColourFollowChecked) {
  Btn->SetMode(mSwitch);
  const TSnapshot off = Snap(*Btn);
  EXPECT_GT(off.Count(clGreen), 0);
  EXPECT_EQ(off.Count(clLime), 0);
  Press();
  const TSnapshot on = Snap(*Btn);
  EXPECT_GT(on.Count(clLime), 0);
  EXPECT_EQ(on.Count(clGreen), 0);
  // "Pin" is narrower than "Name".
  EXPECT_LT(InkBounds(on, FormColor, Interior()).Width(), InkBounds(off, FormColor, Interior()).Width());
}

TEST_F(ColourButton, Text3DCopiesLieDiagonallyBehindTheCaption) {
  Btn->Font().SetStyle(fsBold);
  Btn->SetText3D(false);
  const TInk ink = InkOf(Snap(*Btn), FormColor, clGreen, Interior());
  ASSERT_GT(ink.SolidCount(), 10);
  Btn->SetText3D(true);
  const TSnapshot shot = Snap(*Btn);
  EXPECT_GT(ExpectCopyAt(shot, ink, {1, 1}, 0x555555, {{-1, -1}, {0, 0}}, Interior()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {-1, -1}, 0x282828, {{0, 0}}, Interior()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {0, 0}, clGreen, {}, Interior()), 10);
}

TEST_F(ColourButton, WithoutGlyphSpacingIsIgnoredAndCaptionCentred) {
  const TSnapshot narrow = Snap(*Btn);
  Btn->SetSpacing(30);
  EXPECT_EQ(Snap(*Btn).Pixels, narrow.Pixels);
  const TRect ink = InkBounds(narrow, FormColor, Interior());
  const int left = ink.Left - 2;
  const int right = Btn->Width() - 2 - ink.Right;
  EXPECT_LE(std::abs(left - right), 3) << left << " vs " << right;
}

TEST_F(ColourButton, EmptyTextOffShowsTextOnInBothStates) {
  const TSnapshot both = [&] {
    Btn->SetTextOff("Pin");
    return Snap(*Btn);
  }();
  Btn->SetTextOff("");
  EXPECT_EQ(Snap(*Btn).Pixels, both.Pixels);
}

TEST_F(ColourButton, BarSplitsCaptionIntoLinesCentredAsABlock) {
  Btn->SetBounds(10, 10, 89, 44);
  Btn->SetTextOff("H|H");
  Btn->SetText3D(false);
  Paint();
  const TSnapshot shot = Snap(*Btn);
  const TRect ink = InkBounds(shot, FormColor, Interior());
  const int mid = Btn->Height() / 2;
  auto rowHasInk = [&](int y) {
    for (int x = 2; x < Btn->Width() - 2; ++x)
      if (shot.At(x, y) != FormColor) return true;
    return false;
  };
  EXPECT_FALSE(rowHasInk(mid));
  EXPECT_LT(ink.Top, mid);
  EXPECT_GT(ink.Bottom, mid);
  EXPECT_LE(std::abs((mid - ink.Top) - (ink.Bottom - mid)), 2);
}

TEST_F(ColourButton, NumGlyphBelowOneIsIgnored) {
  Btn->SetNumGlyph(3);
  Btn->SetNumGlyph(0);
  Btn->SetNumGlyph(-2);
  EXPECT_EQ(Btn->NumGlyph(), 3);
}

TEST_F(ColourButton, EmptyGlyphResetsNumGlyph) {
  Btn->SetNumGlyph(3);
  Btn->SetGlyph(TBitmap());
  EXPECT_EQ(Btn->NumGlyph(), 1);
}

TEST_F(ColourButton, GlyphCellFollowsEnabledAndChecked) {
  Btn->SetTextOff("");
  Btn->SetTextOn("");
  Btn->SetMode(mSwitch);
  SetGlyphStrip(*Btn, {clRed, clBlue, clYellow});
  EXPECT_EQ(Btn->Glyph().TransparentColor(), clWhite);
  auto shows = [&](TColor c) { return Snap(*Btn).Count(c); };
  EXPECT_EQ(shows(clRed), 16);
  EXPECT_EQ(shows(clWhite), 0);
  Press();
  EXPECT_EQ(shows(clYellow), 16);
  Btn->SetEnabled(false);
  EXPECT_EQ(shows(clBlue), 16);
}

TEST_F(ColourButton, TwoCellGlyphShowsDisabledCellButNeverChecked) {
  Btn->SetMode(mSwitch);
  SetGlyphStrip(*Btn, {clRed, clBlue});
  Press();
  EXPECT_EQ(Snap(*Btn).Count(clRed), 16);
  Btn->SetEnabled(false);
  EXPECT_EQ(Snap(*Btn).Count(clBlue), 16);
  EXPECT_EQ(Snap(*Btn).Count(clRed), 0);
}

TEST_F(ColourButton, TransparentButtonShowsTheParent) {
  Parent.SetColor(0x102030);
  Btn->SetTransparent(true);
  EXPECT_TRUE(Parent.NeedsPaint());
  Paint();
  EXPECT_EQ(PixelOf(*Btn, 4, 4), 0x102030u);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x5C5C5Cu);
  Btn->SetBeveled(false);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x102030u);
}

TEST_F(ColourButton, PartialRepaintKeepsTheCachedBackgroundClean) {
  Parent.SetColor(0x102030);
  Btn->SetTransparent(true);
  Btn->SetText3D(false);
  Paint();
  // Only the top half is repainted: the lower half still shows the caption.
  Parent.InvalidateRect({0, 0, 240, Btn->Top() + Btn->Height() / 2});
  Paint();
  Press();
  const TSnapshot afterPartial = Snap(*Btn);
  Btn->Invalidate();
  Paint();
  EXPECT_EQ(afterPartial.Pixels, Snap(*Btn).Pixels);
}

TEST_F(ColourButton, FlatButtonBevelsOnlyWhileHovered) {
  Parent.SetColor(0x102030);
  Btn->SetFlat(true);
  Paint();
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x102030u);
  Btn->Perform(CM_MOUSEENTER);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x5C5C5Cu);
  Btn->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x102030u);
}

TEST_F(ColourButton, FlatButtonIgnoresEnterWhileAnotherControlHoldsTheMouse) {
  Parent.SetColor(0x102030);
  Btn->SetFlat(true);
  auto* other = new TAbColBitBtn(&Parent);
  other->SetBounds(120, 10, 40, 21);
  Paint();
  Parent.SetCaptureControl(other);
  Btn->Perform(CM_MOUSEENTER);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x102030u);
  Parent.SetCaptureControl(nullptr);
  Btn->Perform(CM_MOUSEENTER);
  EXPECT_EQ(PixelOf(*Btn, 0, 10), 0x5C5C5Cu);
}

TEST_F(ColourButton, DisabledButtonStillReactsToTheMouse) {
  int downs = 0;
  Btn->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  Btn->SetEnabled(false);
  EXPECT_TRUE(static_cast<TControl&>(*Btn).Enabled());
  EXPECT_GT(Snap(*Btn).Count(clGray), 0);
  EXPECT_EQ(Snap(*Btn).Count(clGreen), 0);
  Press();
  EXPECT_TRUE(Btn->Checked());
  EXPECT_EQ(downs, 1);
  ExpectRings(0x202020, 0x191919, 0x5B5B5B, 0x626262);
}

TEST_F(ColourButton, SettingsChangesRepaintTheWholeButton) {
  ASSERT_FALSE(Parent.NeedsPaint());
  Btn->GradBtnFace().SetStyle(gsElliptic2);
  EXPECT_TRUE(Parent.NeedsPaint());
  Paint();
  Btn->ButtonBevel().SetWidth(3);
  EXPECT_TRUE(Parent.NeedsPaint());
}

TEST_F(ColourButton, ButtonBuiltByTheLoaderRepaintsOnSettingsOnceLoaded) {
  Parent.BeginLoading();
  auto* loaded = new TAbColBitBtn(&Parent);
  loaded->SetBounds(120, 10, 40, 21);
  Parent.EndLoading();
  Paint();
  loaded->GradBtnFace().SetStyle(gsDiamond2);
  EXPECT_TRUE(Parent.NeedsPaint());
}

TEST_F(ColourButton, GradientFaceKeepsTheBevelMargin) {
  Parent.SetColor(0x102030);
  Btn->SetBeveled(false);
  Btn->GradBtnFace().SetColorFrom(0x0000FF);
  Btn->GradBtnFace().SetColorTo(0x0000FF);
  Btn->SetTextOff("");
  Paint();
  EXPECT_EQ(PixelOf(*Btn, 1, 10), 0x102030u);
  EXPECT_EQ(PixelOf(*Btn, 2, 10), 0x0000FFu);
}

}  // namespace
