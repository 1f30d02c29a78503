#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "ovclabel.h"
#include "pixel_probe.h"

namespace {

constexpr TColor FormColor = 0x404040;

class ShadowedLabel : public ::testing::Test {
 protected:
  void SetUp() override {
    Parent.SetBounds(0, 0, 320, 120);
    Parent.SetColor(FormColor);
    Lbl = new TOvcLabel(&Parent);
    Lbl->SetParent(&Parent);
    Lbl->SetBounds(10, 10, 150, 35);
    Lbl->SetCaption("Hm");
    Paint();
  }
  void Paint() { Parent.PaintInvalid(); }
  TRect All() const { return {0, 0, Lbl->Width(), Lbl->Height()}; }
  // Where the face alone lands with no effect at all.
  TInk FaceOnly() {
    Lbl->SetAppearance(apNone);
    Paint();
    return InkOf(Snap(*Lbl), FormColor, clGray, All());
  }
  TSnapshot With(TOvcAppearance a) {
    Lbl->SetAppearance(a);
    Paint();
    return Snap(*Lbl);
  }

  TWinControl Parent{nullptr};
  TOvcLabel* Lbl = nullptr;
};

TEST_F(ShadowedLabel, NewLabelHasItsOwnDefaults) {
  EXPECT_EQ(Lbl->Appearance(), apRaised);
  EXPECT_EQ(Lbl->ColorScheme(), csWindows);
  EXPECT_FALSE(Lbl->AutoSize());
  EXPECT_TRUE(Lbl->Transparent());
  EXPECT_TRUE(Lbl->WordWrap());
  EXPECT_EQ(Lbl->Font().Name(), "Times New Roman");
  EXPECT_EQ(Lbl->Font().Size(), 20);
  EXPECT_EQ(Lbl->Font().Color(), 0x808080u);
  TOvcLabel fresh(nullptr);
  EXPECT_EQ(fresh.Width(), 150);
  EXPECT_EQ(fresh.Height(), 35);
}

TEST_F(ShadowedLabel, RaisedDrawsShadowHighlightAndFaceDiagonally) {
  const TInk ink = FaceOnly();
  ASSERT_GT(ink.SolidCount(), 20);
  const TSnapshot shot = With(apRaised);
  EXPECT_GT(ExpectCopyAt(shot, ink, {2, 2}, clBlack, {{0, 0}, {1, 1}}, All()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {0, 0}, clWhite, {{1, 1}}, All()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {1, 1}, clGray, {}, All()), 20);
}

TEST_F(ShadowedLabel, ShadowAppearanceIsADropShadowOnly) {
  const TInk ink = FaceOnly();
  const TSnapshot shot = With(apShadow);
  EXPECT_GT(ExpectCopyAt(shot, ink, {0, 0}, clGray, {}, All()), 20);
  EXPECT_GT(ExpectCopyAt(shot, ink, {2, 2}, clBlack, {{0, 0}}, All()), 0);
  EXPECT_EQ(shot.Count(clWhite), 0);
}

TEST_F(ShadowedLabel, FlyingPointsBothEffectsDownRight) {
  const TInk ink = FaceOnly();
  const TSnapshot shot = With(apFlying);
  EXPECT_EQ(Lbl->CustomSettings().HighlightColor(), clBlack);
  EXPECT_GT(ExpectCopyAt(shot, ink, {0, 0}, clGray, {}, All()), 20);
  EXPECT_GT(ExpectCopyAt(shot, ink, {1, 1}, clBlack, {{0, 0}}, All()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {5, 5}, clBlack, {{0, 0}, {1, 1}}, All()), 0);
  EXPECT_EQ(shot.Count(clWhite), 0);
}

TEST_F(ShadowedLabel, NoneHidesBothEffectsUnderTheFace) {
  const TInk ink = FaceOnly();
  const TSnapshot shot = Snap(*Lbl);
  EXPECT_EQ(shot.Count(clWhite), 0);
  EXPECT_EQ(shot.Count(clBlack), 0);
  EXPECT_GT(ink.SolidCount(), 20);
}

class ShadedDepth : public ShadowedLabel {
 protected:
  // A shadow of depth 4 down-right and no highlight.
  TSnapshot Shaded(TOvcShadeStyle style) {
    TOvcCustomSettings& s = Lbl->CustomSettings();
    s.SetHighlightDepth(0);
    s.SetShadowDirection(sdDownRight);
    s.SetShadowDepth(4);
    s.SetShadowStyle(style);
    Paint();
    return Snap(*Lbl);
  }
  void ExpectCopies(const TSnapshot& shot, const TInk& ink, const std::array<TColor, 5>& byDepth) {
    std::vector<TPoint> nearer;
    for (int k = 0; k <= 4; ++k) {
      EXPECT_GT(ExpectCopyAt(shot, ink, {k, k}, byDepth[std::size_t(k)], nearer, All()), 0) << "depth " << k;
      nearer.push_back({k, k});
    }
  }
};

TEST_F(ShadedDepth, ExtrudeStacksCopiesInTheShadowColour) {
  const TInk ink = FaceOnly();
  ExpectCopies(Shaded(ssExtrude), ink, {clGray, clBlack, clBlack, clBlack, clBlack});
}

TEST_F(ShadedDepth, GraduatedCopiesBlendFromShadowToFace) {
  const TInk ink = FaceOnly();
  ExpectCopies(Shaded(ssGraduated), ink, {clGray, 0x808080, 0x555555, 0x2B2B2B, clBlack});
}

TEST_F(ShadowedLabel, CentredRaisedGroupMovesLeftByHalfItsSpread) {
  Lbl->SetAlignment(taCenter);
  const TInk ink = FaceOnly();
  const TSnapshot shot = With(apRaised);
  EXPECT_GT(ExpectCopyAt(shot, ink, {0, 1}, clGray, {}, All()), 20);
  EXPECT_GT(ExpectCopyAt(shot, ink, {-1, 0}, clWhite, {{0, 1}}, All()), 0);
  EXPECT_GT(ExpectCopyAt(shot, ink, {1, 2}, clBlack, {{-1, 0}, {0, 1}}, All()), 0);
}

TEST_F(ShadowedLabel, GoldSchemeRecolours) {
  Lbl->SetColorScheme(csGold);
  EXPECT_EQ(Lbl->ColorScheme(), csGold);
  EXPECT_EQ(Lbl->Appearance(), apCustom);
  EXPECT_EQ(Lbl->Font().Color(), clOlive);
  EXPECT_EQ(Lbl->CustomSettings().HighlightColor(), clYellow);
  EXPECT_EQ(Lbl->CustomSettings().ShadowColor(), clBlack);
  EXPECT_EQ(Lbl->SchemeColors(csCustom).Text, clOlive);
  EXPECT_EQ(Lbl->SchemeColors(csCustom).Highlight, clYellow);
  Paint();
  EXPECT_GT(Snap(*Lbl).Count(clOlive), 20);
  EXPECT_GT(Snap(*Lbl).Count(clYellow), 0);
}

TEST_F(ShadowedLabel, AppearanceSetsDirectionsAndLeavesSchemeCustom) {
  Lbl->SetAppearance(apSunken);
  const TOvcCustomSettings& s = Lbl->CustomSettings();
  EXPECT_EQ(s.HighlightDirection(), sdDownRight);
  EXPECT_EQ(s.ShadowDirection(), sdUpLeft);
  EXPECT_EQ(Lbl->Appearance(), apSunken);
  EXPECT_EQ(Lbl->ColorScheme(), csCustom);
}

TEST_F(ShadowedLabel, EditingSettingsSwitchesToCustom) {
  Lbl->CustomSettings().SetHighlightDepth(3);
  EXPECT_EQ(Lbl->Appearance(), apCustom);
  EXPECT_EQ(Lbl->ColorScheme(), csWindows);
  Lbl->CustomSettings().SetShadowColor(clNavy);
  EXPECT_EQ(Lbl->ColorScheme(), csCustom);
}

TEST_F(ShadowedLabel, SettingsChangesWhileLoadingAreTakenAsTheyCome) {
  Lbl->BeginLoading();
  Lbl->CustomSettings().SetHighlightDepth(3);
  Lbl->CustomSettings().SetShadowColor(clNavy);
  EXPECT_EQ(Lbl->Appearance(), apRaised);
  EXPECT_EQ(Lbl->ColorScheme(), csWindows);
  Lbl->EndLoading();
}

TEST_F(ShadowedLabel, EmptyCaptionDrawsOnlyTheBackground) {
  Lbl->SetCaption("");
  Paint();
  EXPECT_EQ(Snap(*Lbl).Count(FormColor), Lbl->Width() * Lbl->Height());
  Lbl->SetTransparent(false);
  Lbl->SetColor(clNavy);
  Paint();
  EXPECT_EQ(Snap(*Lbl).Count(clNavy), Lbl->Width() * Lbl->Height());
}

TEST_F(ShadowedLabel, WordWrapBreaksLongCaptions) {
  Lbl->SetCaption("Hm Hm Hm Hm Hm Hm");
  Lbl->SetBounds(10, 10, 80, 100);
  Paint();
  const int wrapped = InkBounds(Snap(*Lbl), FormColor, All()).Height();
  Lbl->SetWordWrap(false);
  Paint();
  const int oneLine = InkBounds(Snap(*Lbl), FormColor, All()).Height();
  EXPECT_GT(wrapped, oneLine * 2);
}

class GraduatedFace : public ShadowedLabel {
 protected:
  static constexpr TColor From = 0x0000FF;
  // Band i's colour: From + Round(i * (gray - From) / 15) per component.
  static TColor BandColor(int i) {
    auto comp = [i](int from, int to) {
      return std::uint8_t(from + int(std::nearbyint(i * (to - from) / 15.0)));
    };
    return RGB(comp(0xFF, 0x80), comp(0x00, 0x80), comp(0x00, 0x80));
  }
  static int BandAt(int t, int extent) {
    const double step = extent / 15.0;
    for (int i = 0; i <= 15; ++i)
      if (t >= std::nearbyint(i * step) && t < std::nearbyint((i + 1) * step)) return i;
    return -1;
  }
  void ExpectBands(bool horizontal, int extent) {
    const TInk ink = FaceOnly();
    Lbl->CustomSettings().SetGraduateFromColor(From);
    Lbl->CustomSettings().SetGraduateStyle(horizontal ? gsHorizontal : gsVertical);
    Paint();
    const TSnapshot shot = Snap(*Lbl);
    std::set<int> bands;
    for (int y = 0; y < shot.Height; ++y)
      for (int x = 0; x < shot.Width; ++x) {
        // Every colour here has no more blue than red; the key colour has.
        const TColor c = shot.At(x, y);
        EXPECT_LE(GetBValue(c), GetRValue(c) + 2) << "key colour shows at " << x << "," << y;
        const int band = BandAt(horizontal ? x : y, extent);
        if (!ink.IsSolid(x, y) || band < 0) continue;
        bands.insert(band);
        EXPECT_EQ(c, BandColor(band)) << x << "," << y;
      }
    EXPECT_GE(bands.size(), 4u);
  }
};

TEST_F(GraduatedFace, VerticalBandsRunTopToBottom) { ExpectBands(false, Lbl->Height() - 1); }

TEST_F(GraduatedFace, HorizontalBandsRunAcrossTheCaption) {
  TBitmap measure(1, 1);
  measure.Canvas().SetFont(Lbl->Font());
  ExpectBands(true, measure.Canvas().TextWidth(Lbl->Caption()) - 1);
}

TEST(OvcCustomSettings, EndUpdateFiresColourThenShapeOnce) {
  TOvcCustomSettings s;
  std::string log;
  s.OnColorChange = [&] { log += "c"; };
  s.OnShapeChange = [&] { log += "s"; };
  s.BeginUpdate();
  s.SetShadowColor(clRed);
  s.SetShadowDepth(7);
  EXPECT_EQ(log, "");
  s.EndUpdate();
  EXPECT_EQ(log, "cs");
  s.BeginUpdate();
  s.EndUpdate();
  EXPECT_EQ(log, "cscs");
}

TEST(OvcCustomSettings, SettersNotifyTheirGroupOnlyOnChange) {
  TOvcCustomSettings s;
  std::string log;
  s.OnColorChange = [&] { log += "c"; };
  s.OnShapeChange = [&] { log += "s"; };
  s.SetGraduateFromColor(clRed);
  s.SetGraduateFromColor(clRed);
  s.SetGraduateStyle(gsVertical);
  s.SetHighlightDirection(sdUpLeft);  // unchanged
  s.SetHighlightStyle(ssExtrude);
  s.SetShadowColor(clBlue);
  EXPECT_EQ(log, "cssc");
}

TEST(OvcCustomSettings, AssignCopiesSilently) {
  TOvcCustomSettings a;
  TOvcCustomSettings b;
  a.SetShadowDepth(9);
  a.SetHighlightColor(clRed);
  a.SetGraduateStyle(gsHorizontal);
  int notified = 0;
  b.OnColorChange = [&] { ++notified; };
  b.OnShapeChange = [&] { ++notified; };
  b.Assign(a);
  EXPECT_EQ(notified, 0);
  EXPECT_EQ(b.ShadowDepth(), 9);
  EXPECT_EQ(b.HighlightColor(), clRed);
  EXPECT_EQ(b.GraduateStyle(), gsHorizontal);
  TFont font;
  EXPECT_ANY_THROW(b.Assign(font));
}

}  // namespace
