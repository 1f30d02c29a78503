#include <gtest/gtest.h>

#include "_GClass.h"
#include "sysutils.h"

namespace {

template <class T>
class ChangeCounter {
 public:
  ChangeCounter() {
    Object.OnChange = [this](TObject* sender) {
      EXPECT_EQ(sender, &Object);
      ++Changes;
    };
  }
  T Object;
  int Changes = 0;
};

TEST(GradSettingsTest, SettersNotifyOnlyOnChange) {
  ChangeCounter<TAbGradSettings> g;
  g.Object.SetColorFrom(0xE2E2E2);
  g.Object.SetStyle(gsHorizontal1);
  g.Object.SetVisible(false);
  EXPECT_EQ(g.Changes, 0);
  g.Object.SetColorFrom(0x111111);
  g.Object.SetColorTo(0x222222);
  g.Object.SetVisible(true);
  g.Object.SetStyle(gsElliptic2);
  EXPECT_EQ(g.Changes, 4);
}

TEST(GradSettingsTest, AssignCopiesAndNotifies) {
  ChangeCounter<TAbGradSettings> g;
  TAbGradSettings source;
  source.SetColorFrom(0x404040);
  source.SetStyle(gsTopRight);
  g.Object.Assign(source);
  EXPECT_EQ(g.Object.ColorFrom(), 0x404040u);
  EXPECT_EQ(g.Object.ColorTo(), 0x8F8F8Fu);
  EXPECT_EQ(g.Object.Style(), gsTopRight);
  EXPECT_EQ(g.Changes, 3);  // two values changed, then once at the end
}

TEST(GradSettingsTest, AssignFromAnotherKindFails) {
  TAbGradSettings g;
  TAbBtnBevel bevel;
  EXPECT_THROW(g.Assign(bevel), EConvertError);
}

TEST(BtnBevelTest, WidthIgnoresNegativeAndAcceptsZero) {
  ChangeCounter<TAbBtnBevel> b;
  b.Object.SetWidth(-1);
  EXPECT_EQ(b.Object.Width(), 2);
  EXPECT_EQ(b.Changes, 0);
  b.Object.SetWidth(0);
  EXPECT_EQ(b.Object.Width(), 0);
  EXPECT_EQ(b.Changes, 1);
}

TEST(BtnBevelTest, AssignCopiesDirectlyWithOneNotification) {
  ChangeCounter<TAbBtnBevel> b;
  TAbBtnBevel source;
  source.SetShadowColFrom(0x191919);
  source.SetHighlightColTo(0x555555);
  source.SetWidth(5);
  b.Object.Assign(source);
  EXPECT_EQ(b.Object.ShadowColFrom(), 0x191919u);
  EXPECT_EQ(b.Object.HighlightColTo(), 0x555555u);
  EXPECT_EQ(b.Object.ShadowColTo(), clBtnShadow);
  EXPECT_EQ(b.Object.Width(), 5);
  EXPECT_EQ(b.Changes, 1);
}

TEST(LedSettingsTest, SizeOutsideFourToFortyIsIgnored) {
  ChangeCounter<TLED> led;
  led.Object.SetWidth(3);
  led.Object.SetWidth(41);
  led.Object.SetHeight(3);
  led.Object.SetHeight(41);
  EXPECT_EQ(led.Object.Width(), 13);
  EXPECT_EQ(led.Object.Height(), 13);
  EXPECT_EQ(led.Changes, 0);
  led.Object.SetWidth(4);
  led.Object.SetHeight(40);
  led.Object.SetColorOff(clGray);
  led.Object.SetShape(sRectangle);
  EXPECT_EQ(led.Changes, 4);
}

}  // namespace
