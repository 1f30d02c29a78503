#include <gtest/gtest.h>

#include <vector>

#include "region.h"

namespace {

std::vector<TRect> RegionOf(std::initializer_list<TRect> rects) {
  TRegion region;
  for (const TRect& r : rects) region.Include(r);
  return region.Rects();
}

struct TMergeCase {
  const char* Name;
  TRect Second;
  std::vector<TRect> Expected;
};

TEST(Region, MergesOverlapsAndSharedEdgesButNotCorners) {
  const TRect first{10, 10, 20, 20};
  const TMergeCase cases[] = {
      {"overlapping", {15, 15, 25, 25}, {{10, 10, 25, 25}}},
      {"right edge shared", {20, 12, 30, 18}, {{10, 10, 30, 20}}},
      {"bottom edge shared", {10, 20, 20, 30}, {{10, 10, 20, 30}}},
      {"corner only", {20, 20, 30, 30}, {{10, 10, 20, 20}, {20, 20, 30, 30}}},
      {"one pixel apart", {21, 10, 30, 20}, {{10, 10, 20, 20}, {21, 10, 30, 20}}},
      {"edges in line but not meeting", {20, 20, 30, 40}, {{10, 10, 20, 20}, {20, 20, 30, 40}}},
      {"covered", {12, 12, 18, 18}, {{10, 10, 20, 20}}},
      {"empty", {40, 40, 40, 50}, {{10, 10, 20, 20}}},
  };
  for (const TMergeCase& c : cases) EXPECT_EQ(RegionOf({first, c.Second}), c.Expected) << c.Name;
}

TEST(Region, AUnionThatReachesFurtherRectanglesTakesThemIn) {
  // The third bridges the first two, which then touch nothing else.
  EXPECT_EQ(RegionOf({{0, 0, 10, 10}, {20, 0, 30, 10}, {5, 0, 25, 10}}),
            (std::vector<TRect>{{0, 0, 30, 10}}));
  // The new one meets only the second; their union then shares an edge with the first.
  EXPECT_EQ(RegionOf({{11, 0, 20, 3}, {0, 0, 10, 10}, {8, 5, 11, 15}}), (std::vector<TRect>{{0, 0, 20, 15}}));
}

TEST(Region, CollapsesIntoItsBoundsPastTheLimit) {
  TRegion region;
  for (std::size_t i = 0; i < TRegion::MaxRects; ++i) region.Include(Bounds(int(i) * 3, 0, 1, 1));
  EXPECT_EQ(region.Rects().size(), TRegion::MaxRects);
  region.Include(Bounds(0, 50, 1, 1));
  EXPECT_EQ(region.Rects(), (std::vector<TRect>{{0, 0, int(TRegion::MaxRects - 1) * 3 + 1, 51}}));
}

TEST(Region, TakeHandsOverAndEmpties) {
  TRegion region;
  region.Include({0, 0, 5, 5});
  region.Include({9, 9, 12, 12});
  EXPECT_EQ(region.Bounds(), Rect(0, 0, 12, 12));
  EXPECT_EQ(region.Take().size(), 2u);
  EXPECT_TRUE(region.IsEmpty());
  EXPECT_EQ(region.Bounds(), TRect{});
}

}  // namespace
