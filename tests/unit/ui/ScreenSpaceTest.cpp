#include <gtest/gtest.h>

#include "platform/sim/SimPlatform.h"
#include "ui/ScreenSpace.h"

using namespace vistrel;

namespace {

// The primary display with one display left of it, taller and reaching below it.
class ScreenSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    primary = sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875));
    left = sim->screens().addScreen(Rect(-1280, -124, 1280, 1024), Rect(-1280, -124, 1280, 1024), 2.0);
  }
  sim::ScopedSimPlatform sim;
  std::uint32_t primary = 0;
  std::uint32_t left = 0;
};

}  // namespace

// The two rules differ where a rectangle has more of its area on one display and its centre on another.
TEST_F(ScreenSpaceTest, TheTwoContainingRules) {
  const Rect straddling(-300, -100, 700, 200);  // 60000 square points on the left display, centre on the primary
  EXPECT_EQ(ScreenSpace::screenWithMostOf(straddling)->displayID, left);
  EXPECT_EQ(ScreenSpace::screenAtCentreOf(straddling)->displayID, primary);

  const Rect nowhere(5000, 5000, 10, 10);
  sim->screens().setMainScreen(left);
  EXPECT_EQ(ScreenSpace::screenWithMostOf(nowhere)->displayID, left);  // the main display
  EXPECT_FALSE(ScreenSpace::screenAtCentreOf(nowhere).has_value());

  sim->screens().mouse = {-10, 950};  // above both: the main display
  EXPECT_EQ(ScreenSpace::screenUnderMouse()->displayID, left);
  sim->screens().mouse = {10, 10};
  EXPECT_EQ(ScreenSpace::screenUnderMouse()->displayID, primary);
}

// The flip turns around the primary display's top whatever the order of the
// displays, and falls back to the main display when none sits at the origin.
TEST_F(ScreenSpaceTest, FlipAroundThePrimaryTop) {
  EXPECT_EQ(ScreenSpace::primaryTop(), 900);
  const Rect appKit(-1280, -124, 640, 300);
  const Rect accessibility = ScreenSpace::flipped(appKit, 900);
  EXPECT_EQ(accessibility, Rect(-1280, 724, 640, 300));
  EXPECT_EQ(ScreenSpace::flipped(accessibility, 900), appKit);
  EXPECT_EQ(ScreenSpace::flipped(Point{100, 880}, 900), (Point{100, 20}));

  sim->screens().removeAll();
  EXPECT_EQ(ScreenSpace::primaryTop(), 0);
  sim->screens().addScreen(Rect(100, 0, 1000, 700), Rect(100, 0, 1000, 700));
  const auto main = sim->screens().addScreen(Rect(1100, 0, 1280, 1024), Rect(1100, 0, 1280, 1000));
  sim->screens().setMainScreen(main);
  EXPECT_EQ(ScreenSpace::primaryTop(), 1024);
}

// Points on a display at scale 2 land on whole pixels of its picture, clipped to the picture.
TEST_F(ScreenSpaceTest, PixelRectOfADisplayPicture) {
  const Rect frame(-1280, -124, 1280, 1024);
  EXPECT_EQ(ScreenSpace::pixelRect(Rect(-1270, 800, 100.25, 50), frame, 2560, 2048), Rect(20, 100, 201, 100));
  EXPECT_EQ(ScreenSpace::pixelRect(Rect(-1300, 850, 100, 100), frame, 2560, 2048), Rect(0, 0, 160, 100));
  EXPECT_TRUE(ScreenSpace::pixelRect(Rect(10, 10, 5, 5), frame, 2560, 2048).isNull());
}

// Unscaled, Qt's global origin is the top-left of the box around every display, here the left display's top.
TEST_F(ScreenSpaceTest, GlobalSpaceAroundDisplaysLeftAndBelow) {
  const ScreenSpace::GlobalSpace space(sim->screens().screens(), {});
  EXPECT_EQ(space.toGlobal(Point{0, 900}), QPointF(1280, 0));
  EXPECT_EQ(space.toGlobal(Rect(-1280, -124, 1280, 1024)), QRectF(0, 0, 1280, 1024));
  EXPECT_EQ(space.toGlobal(Rect(0, 0, 1440, 900)), QRectF(1280, 0, 1440, 900));
  EXPECT_EQ(space.fromGlobal(space.toGlobal(Point{-5, 17})), (Point{-5, 17}));
  EXPECT_EQ(space.toLocal(Rect(10, 800, 100, 50), Rect(0, 0, 1440, 900)), QRectF(10, 50, 100, 50));
  EXPECT_EQ(ScreenSpace::viewRect(Rect(10, 800, 100, 50), 900), QRectF(10, 50, 100, 50));
}
