#include <gtest/gtest.h>

#include "base/Rect.h"

using namespace vistrel;

// Accessors read the standardized rectangle, as CGRect's do.
TEST(Rect, NegativeSizesStandardize) {
  const Rect r(100, 50, -40, -20);
  EXPECT_EQ(r.minX(), 60);
  EXPECT_EQ(r.maxX(), 100);
  EXPECT_EQ(r.minY(), 30);
  EXPECT_EQ(r.width(), 40);
  EXPECT_EQ(r.midY(), 40);
  EXPECT_EQ(r.standardized(), Rect(60, 30, 40, 20));
}

// Intersection of disjoint rectangles is null; touching edges give an empty, non-null result.
TEST(Rect, IntersectionAndContainment) {
  const Rect a(0, 0, 100, 100);
  EXPECT_EQ(a.intersection(Rect(50, 50, 100, 100)), Rect(50, 50, 50, 50));
  EXPECT_TRUE(a.intersection(Rect(200, 0, 10, 10)).isNull());
  const Rect edge = a.intersection(Rect(100, 0, 10, 10));
  EXPECT_FALSE(edge.isNull());
  EXPECT_TRUE(edge.isEmpty());
  EXPECT_TRUE(Rect::null().offsetBy(5, 5).isNull());
  EXPECT_TRUE(a.contains({0, 0}));
  EXPECT_FALSE(a.contains({100, 50}));  // max edges are outside
  EXPECT_EQ(Rect(0.5, 1.2, 10.2, 3.1).integral(), Rect(0, 1, 11, 4));
  EXPECT_EQ(a.insetBy(16, 16), Rect(16, 16, 68, 68));
}
