#include <gtest/gtest.h>

#include <vector>

#include "ui/ScreenSpace.h"

namespace vistrel::ScreenSpace {
namespace {

// X11 screens (points are device pixels): a primary scaled by 1.5 right of an unscaled screen 1281 pixels wide
// (an odd origin), tops apart; coordinates convert per screen and positions enter the product on whole pixels.
TEST(GlobalSpace, ScalesEachScreenAboutItsOwnOrigin) {
  const std::vector<platform::Screen> screens = {
      {1, Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1080), 1.0, "primary"},
      {2, Rect(-1281, -124, 1281, 1024), Rect(-1281, -124, 1281, 1024), 1.0, "left"},
  };
  // Qt keeps a scaled screen's top-left where its device pixels put it.
  const GlobalSpace space(screens, {{QPointF(1281, 0), 1.5}, {QPointF(0, 180), 1}});

  EXPECT_EQ(space.toGlobal(screens[0].frame), QRectF(1281, 0, 1280, 720)) << "the primary's overlay";
  EXPECT_EQ(space.toGlobal(screens[1].frame), QRectF(0, 180, 1281, 1024)) << "the left screen's overlay";

  // Device pixel (1281 + 401, 301) is logical (1548.33, 200.67); back in the product it is AppKit (401, 779).
  const Point odd{401, 779};
  const QPointF global = space.toGlobal(odd);
  EXPECT_NEAR(global.x(), 1281 + 401 / 1.5, 1e-9);
  EXPECT_NEAR(global.y(), 301 / 1.5, 1e-9);
  EXPECT_EQ(space.fromGlobal(global), odd) << "whole pixels, not 400.99999";
  EXPECT_EQ(space.toUnscaled(QPointF(1548, 201)), QPointF(1681.5, 301.5)) << "Qt's rounded position";
  EXPECT_EQ(space.fromUnscaled(QPointF(1682, 301)), odd);

  // The unscaled screen maps one to one.
  EXPECT_EQ(space.fromGlobal(QPointF(100, 500)), (Point{-1181, 580}));
  EXPECT_EQ(space.toGlobal(Point{-1181, 580}), QPointF(100, 500));

  // A rectangle on the primary in its overlay's logical coordinates; ratios by screen.
  EXPECT_EQ(space.toLocal(Rect(300, 480, 600, 300), screens[0].frame), QRectF(200, 200, 400, 200));
  EXPECT_EQ(space.toLocal(Rect(-1181, 580, 10, 20), screens[1].frame), QRectF(100, 300, 10, 20));
  EXPECT_EQ(space.ratioAt(odd), 1.5);
  EXPECT_EQ(space.ratioAt(Point{-1000, 0}), 1.0);
}

}  // namespace
}  // namespace vistrel::ScreenSpace
