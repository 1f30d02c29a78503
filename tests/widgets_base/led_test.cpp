#include <gtest/gtest.h>

#include "AbDBCtrls.h"
#include "widget_fixture.h"

namespace {

class LedTest : public WidgetTest {
 protected:
  TAbDBLED* Make(int left, int top, int width, int height) {
    auto* led = new TAbDBLED(Form);
    led->SetBounds(left, top, width, height);
    return led;
  }
  // The caption drawn by the LED, against the same call on a bitmap.
  TRect CaptionInk(TAbLED* led, const TRect& area) {
    Form->PaintInvalid();
    return InkBounds(Form->Surface(), OffsetRect(area, led->Left(), led->Top()), ColorToPixel(clWhite));
  }
  TRect ReferenceInk(TAbLED* led, int x, int y, TextAnchor anchor, int left, int top) {
    TBitmap bmp(200, 120);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 200, 120));
    bmp.Canvas().SetFont(led->Font());
    bmp.Canvas().Brush().SetStyle(bsClear);
    DrawAlignedText(bmp.Canvas(), left + x, top + y, anchor, led->Caption(), 0);
    return InkBounds(bmp.Surface(), Rect(0, 0, 200, 120), ColorToPixel(clWhite));
  }
};

TEST_F(LedTest, ConstructorValues) {
  TAbLED* led = new TAbLED(Form);
  EXPECT_EQ(led->Width(), 73);
  EXPECT_EQ(led->Height(), 33);
  EXPECT_EQ(led->Spacing(), 5);
  EXPECT_EQ(led->LED_Position(), lpLeft);
  EXPECT_EQ(led->Caption(), "");
  EXPECT_EQ(led->Mode(), mIndicator);
  EXPECT_EQ(led->LED().ColorOn(), clLime);
  EXPECT_EQ(led->LED().ColorOff(), clBtnFace);
}

TEST_F(LedTest, DataLedWorkedExample) {
  auto* led = Make(40, 20, 17, 33);
  led->SetLED_Position(lpBottom);
  led->SetSpacing(3);
  led->SetCaption("7");
  const TRect ink = CaptionInk(led, Rect(0, 0, 17, 20));
  EXPECT_EQ(led->LED().LedRect(), Rect(2, 20, 15, 33));
  EXPECT_EQ(ink, ReferenceInk(led, 8, 17, 7, 40, 20));
  EXPECT_LE(ink.Bottom, 20 + 17);
}

TEST_F(LedTest, PortLedWorkedExample) {
  auto* led = Make(10, 50, 50, 18);
  led->LED().SetShape(sRectangle);
  led->LED().SetWidth(10);
  led->LED().SetHeight(10);
  led->SetCaption("LPT1");
  const TRect ink = CaptionInk(led, Rect(10, 0, 50, 18));
  EXPECT_EQ(led->LED().LedRect(), Rect(0, 4, 10, 14));
  EXPECT_EQ(ink, ReferenceInk(led, 15, 9, 3, 10, 50));
  EXPECT_GE(ink.Left, 10 + 15);
}

TEST_F(LedTest, LampColoursFollowChecked) {
  auto* led = Make(0, 0, 17, 33);
  led->SetLED_Position(lpBottom);
  Form->PaintInvalid();
  // LedRect (2, 20, 15, 33): centre (8, 26), left outline at x 2.
  EXPECT_EQ(Pixel(8, 27), 0xF0F0F0u);
  EXPECT_EQ(Pixel(2, 26), 0xA0A0A0u);
  led->SetChecked(true);  // drawn at once, no paint pass
  EXPECT_FALSE(Form->NeedsPaint());
  EXPECT_EQ(Pixel(8, 27), clLime);
  EXPECT_EQ(Pixel(2, 26), 0xA0A0A0u);
  led->SetChecked(false);
  EXPECT_EQ(Pixel(8, 27), 0xF0F0F0u);
}

TEST_F(LedTest, ColorOffChangeRepaints) {
  auto* led = Make(0, 0, 30, 20);
  led->LED().SetShape(sRectangle);
  Form->PaintInvalid();
  led->LED().SetColorOff(clGreen);
  EXPECT_TRUE(Form->NeedsPaint());
  EXPECT_EQ(PaintedPixel(6, 10), clGreen);
}

TEST_F(LedTest, RejectedSizeDoesNotRepaint) {
  auto* led = Make(0, 0, 30, 20);
  Form->PaintInvalid();
  led->LED().SetWidth(3);
  led->LED().SetWidth(41);
  EXPECT_FALSE(Form->NeedsPaint());
  EXPECT_EQ(led->LED().Width(), 13);
}

TEST_F(LedTest, RoundLedIsAlwaysACircle) {
  auto* led = Make(0, 0, 60, 30);
  led->LED().SetWidth(20);
  led->LED().SetHeight(10);
  Form->PaintInvalid();
  EXPECT_EQ(led->LED().LedRect(), Rect(0, 5, 20, 25));
  led->LED().SetShape(sRectangle);
  Form->PaintInvalid();
  EXPECT_EQ(led->LED().LedRect(), Rect(0, 10, 20, 20));
}

TEST_F(LedTest, DisabledLooksTheSame) {
  auto* led = Make(0, 0, 60, 30);
  led->SetCaption("Busy");
  led->SetChecked(true);
  Form->Invalidate();
  Form->PaintInvalid();
  const auto before = std::vector<TPixel>(Form->Surface().Pixels().begin(), Form->Surface().Pixels().end());
  led->SetEnabled(false);
  Form->Invalidate();
  Form->PaintInvalid();
  const auto after = std::vector<TPixel>(Form->Surface().Pixels().begin(), Form->Surface().Pixels().end());
  EXPECT_EQ(before, after);
}

TEST_F(LedTest, EmptyCaptionDrawsOnlyTheLed) {
  auto* led = Make(0, 0, 60, 30);
  Form->PaintInvalid();
  EXPECT_EQ(InkBounds(Form->Surface(), Rect(0, 0, 200, 120), ColorToPixel(clWhite)), led->LED().LedRect());
}

TEST_F(LedTest, TwoLineCaptionEndsSpacingAboveTheLed) {
  auto* led = Make(0, 0, 40, 60);
  led->SetLED_Position(lpBottom);
  led->SetCaption("Hg|Hg");
  const TRect ink = CaptionInk(led, Rect(0, 0, 40, 47));
  EXPECT_EQ(ink, ReferenceInk(led, 20, 60 - 13 - 5, 7, 0, 0));
  EXPECT_LT(ink.Bottom, 60 - 13 - 5 + 1);
}

TEST_F(LedTest, FlashPhaseDrawsOnlyOutsideAPaint) {
  auto* led = Make(0, 0, 30, 20);
  led->LED().SetShape(sRectangle);
  Form->PaintInvalid();
  led->Perform(WM_FLASHPHASE, 0, 1);
  EXPECT_EQ(Pixel(6, 10), clLime);
  led->Perform(WM_FLASHPHASE, 0, 0);
  EXPECT_EQ(Pixel(6, 10), 0xF0F0F0u);
}

TEST_F(LedTest, NothingIsDrawnBeforeTheFirstPaint) {
  auto* led = Make(0, 0, 30, 20);
  led->LED().SetShape(sArrowLeft);
  led->SetChecked(true);
  EXPECT_TRUE(InkBounds(Form->Surface(), Rect(0, 0, 200, 120), ColorToPixel(clWhite)).IsEmpty());
}

TEST_F(LedTest, HiddenLedDrawsNothingOnStateChange) {
  auto* led = Make(0, 0, 30, 20);
  led->LED().SetShape(sRectangle);
  Form->PaintInvalid();
  led->SetVisible(false);
  Form->PaintInvalid();
  led->SetChecked(true);
  EXPECT_EQ(Pixel(6, 10), clWhite);
}

}  // namespace
