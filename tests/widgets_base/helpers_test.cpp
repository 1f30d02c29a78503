#include <gtest/gtest.h>

#include "helpers.h"

TEST(WidgetHelpers, RoundHalfEvenTakesTheEvenNeighbourOfEveryHalf) {
  const struct {
    double In;
    int Out;
  } cases[] = {
      {0.5, 0},  {1.5, 2},   {2.5, 2},  {3.5, 4},    {-0.5, 0},    {-1.5, -2},   {-2.5, -2},
      {0.49, 0}, {0.51, 1},  {2.51, 3}, {-2.51, -3}, {-0.49, 0},   {229.5, 230}, {127.5, 128},
      {7.0, 7},  {-7.0, -7}, {0.0, 0},  {1e-12, 0},  {254.5, 254}, {255.5, 256},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.In), c.Out) << c.In;
}
