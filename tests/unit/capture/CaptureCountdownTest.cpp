#include <gtest/gtest.h>

#include "capture/CaptureCountdown.h"

using namespace vistrel;

// The count sits below and right of the pointer, on the other side of it near a right or bottom edge, and always
// wholly on the pointer's screen (here the right one of two, Qt global coordinates).
TEST(CaptureCountdown, PlacementStaysNearThePointerAndOnItsScreen) {
  const QRect screen(1280, 0, 1440, 900);
  const QSize size(72, 72);
  EXPECT_EQ(CaptureCountdown::placement({1500, 300}, size, screen), QPoint(1524, 324));
  EXPECT_EQ(CaptureCountdown::placement({2700, 880}, size, screen), QPoint(2700 - 24 - 72, 880 - 24 - 72));
  EXPECT_EQ(CaptureCountdown::placement({1290, 10}, size, screen), QPoint(1314, 34));
  EXPECT_EQ(CaptureCountdown::placement({1290, 10}, size, QRect(1280, 0, 60, 60)), QPoint(1280, 0));
}
