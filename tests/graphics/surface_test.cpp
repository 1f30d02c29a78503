#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "graphics.h"

class SurfaceDamage : public ::testing::Test {
 protected:
  SurfaceDamage() : S(100, 100) { S.TakeDamage(); }
  TSurface S;
};

TEST_F(SurfaceDamage, NewSurfaceIsWhollyDamaged) {
  TSurface s(10, 5, 0xFF);
  ASSERT_EQ(s.Damage().size(), 1u);
  EXPECT_EQ(s.Damage()[0], Rect(0, 0, 10, 5));
  EXPECT_EQ(s.At(9, 4), 0xFFu);
}

TEST_F(SurfaceDamage, ClipsToSurfaceAndIgnoresEmpty) {
  S.AddDamage({-10, -10, 5, 5});
  S.AddDamage({50, 50, 50, 60});
  ASSERT_EQ(S.Damage().size(), 1u);
  EXPECT_EQ(S.Damage()[0], Rect(0, 0, 5, 5));
}

TEST_F(SurfaceDamage, MergesOverlappingAndAdjacentButNotDiagonal) {
  S.AddDamage({0, 0, 10, 10});
  S.AddDamage({10, 0, 20, 10});   // adjacent: merged
  S.AddDamage({5, 5, 15, 15});    // overlapping: merged
  S.AddDamage({20, 15, 30, 25});  // touches only at a corner: separate
  ASSERT_EQ(S.Damage().size(), 2u);
  EXPECT_EQ(S.Damage()[0], Rect(0, 0, 20, 15));
  EXPECT_EQ(S.Damage()[1], Rect(20, 15, 30, 25));
  const auto taken = S.TakeDamage();
  EXPECT_EQ(taken.size(), 2u);
  EXPECT_FALSE(S.HasDamage());
}

TEST_F(SurfaceDamage, ManyRectsCollapseToTheirUnion) {
  for (int i = 0; i < 40; ++i) S.AddDamage(Bounds((i % 8) * 12, (i / 8) * 12, 2, 2));
  ASSERT_LE(S.Damage().size(), 32u);
  TRect all{};
  for (const TRect& r : S.Damage()) all = UnionRect(all, r);
  EXPECT_EQ(all, Rect(0, 0, 86, 50));
}

TEST(RectHelpers, IntersectUnionOffsetInflate) {
  EXPECT_EQ(IntersectRect({0, 0, 10, 10}, {5, 5, 20, 20}), Rect(5, 5, 10, 10));
  EXPECT_TRUE(IntersectRect({0, 0, 10, 10}, {10, 0, 20, 10}).IsEmpty());
  EXPECT_EQ(UnionRect({}, {1, 2, 3, 4}), Rect(1, 2, 3, 4));
  EXPECT_EQ(OffsetRect({1, 2, 3, 4}, 1, -1), Rect(2, 1, 4, 3));
  EXPECT_EQ(InflateRect({2, 20, 15, 33}, -2, -2), Rect(4, 22, 13, 31));
}

TEST(Tools, OnChangeFiresOnlyOnEffectiveChange) {
  TFont f;
  int n = 0;
  f.OnChange = [&](TObject*) { ++n; };
  f.SetColor(clWindowText);
  f.SetHeight(-11);
  f.SetName("MS Sans Serif");
  EXPECT_EQ(n, 0);
  f.SetColor(clLime);
  f.SetStyle(fsBold);
  EXPECT_EQ(n, 2);
  TFont g;
  g.Assign(f);
  EXPECT_TRUE(g.SameAs(f));
  f.Assign(g);  // same values: no change
  EXPECT_EQ(n, 2);

  TPen p;
  int pn = 0;
  p.OnChange = [&](TObject*) { ++pn; };
  p.SetWidth(1);
  p.SetWidth(2);
  TBrush b;
  EXPECT_THROW(p.Assign(b), EConvertError);
  EXPECT_EQ(pn, 1);
}

TEST(Tools, FontSizeAndHeightAt96Dpi) {
  TFont f;
  f.SetHeight(-11);
  EXPECT_EQ(f.Size(), 8);
  f.SetSize(20);
  EXPECT_EQ(f.Height(), -27);
  f.SetHeight(-15);
  EXPECT_EQ(f.Size(), 11);
}

TEST(Png, WritesAReadablePngAndReportsFailures) {
  TSurface s(3, 2, 0xFF0000);
  const std::string path = ::testing::TempDir() + "/surface.png";
  std::string err;
  ASSERT_TRUE(SaveSurfaceToPng(s, path, &err)) << err;
  std::ifstream in(path, std::ios::binary);
  char sig[8] = {};
  in.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  std::remove(path.c_str());
  EXPECT_FALSE(SaveSurfaceToPng(s, "/nonexistent-dir/x.png", &err));
  EXPECT_NE(err.find("/nonexistent-dir/x.png"), std::string::npos);
  EXPECT_FALSE(SaveSurfaceToPng(TSurface(), path, &err));
}
