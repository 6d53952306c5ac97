#include <gtest/gtest.h>

#include "layout/WindowSnapGeometry.h"

namespace vistrel {
namespace {

namespace G = WindowSnapGeometry;

const Rect kVisible(0, 25, 1440, 875);  // a 1440 x 900 display below a menu bar

// Every fixed-fraction snap lands where the layout table puts it on a 1440 x 875 visible frame.
TEST(WindowSnapGeometry, FixedSnapsOnLaptopFrame) {
  const Rect any(100, 100, 500, 400);
  const std::vector<std::pair<WindowSnap, Rect>> cases{
      {WindowSnap::leftHalf, {0, 25, 720, 875}},          {WindowSnap::rightHalf, {720, 25, 720, 875}},
      {WindowSnap::centerHalf, {360, 25, 720, 875}},      {WindowSnap::topHalf, {0, 462.5, 1440, 437.5}},
      {WindowSnap::bottomHalf, {0, 25, 1440, 437.5}},     {WindowSnap::topLeft, {0, 462.5, 720, 437.5}},
      {WindowSnap::topRight, {720, 462.5, 720, 437.5}},   {WindowSnap::bottomLeft, {0, 25, 720, 437.5}},
      {WindowSnap::bottomRight, {720, 25, 720, 437.5}},   {WindowSnap::firstThird, {0, 25, 480, 875}},
      {WindowSnap::centerThird, {480, 25, 480, 875}},     {WindowSnap::lastThird, {960, 25, 480, 875}},
      {WindowSnap::firstTwoThirds, {0, 25, 960, 875}},    {WindowSnap::lastTwoThirds, {480, 25, 960, 875}},
      {WindowSnap::maximize, {0, 25, 1440, 875}},         {WindowSnap::almostMaximize, {16, 41, 1408, 843}},
  };
  for (const auto& [snap, expected] : cases)
    EXPECT_EQ(G::rect(snap, any, kVisible), expected) << WindowSnaps::rawValue(snap);
}

// A display left of the primary offsets every target; thirds stay unrounded; engine snaps have no target.
TEST(WindowSnapGeometry, OffsetDisplayThirdsAndEngineSnaps) {
  const Rect left(-1000, 40, 1000, 700);
  const Rect any(-900, 100, 300, 200);
  EXPECT_EQ(G::rect(WindowSnap::topRight, any, left), Rect(-500, 390, 500, 350));
  const Rect last = *G::rect(WindowSnap::lastThird, any, left);
  EXPECT_DOUBLE_EQ(last.w, 1000.0 / 3);
  EXPECT_NEAR(last.maxX(), 0, 1e-9);
  for (WindowSnap s : {WindowSnap::restore, WindowSnap::nextDisplay, WindowSnap::previousDisplay})
    EXPECT_FALSE(G::rect(s, any, left).has_value()) << WindowSnaps::rawValue(s);
}

// Smaller stops at 280 x 180 about the old centre; larger grows by 8% and is pushed back inside.
TEST(WindowSnapGeometry, LargerAndSmaller) {
  EXPECT_EQ(G::rect(WindowSnap::smaller, Rect(100, 100, 300, 200), kVisible), Rect(110, 110, 280, 180));
  // Grows to 515.2 x 370 about (1200, 175), which sticks out right and below.
  EXPECT_EQ(G::rect(WindowSnap::larger, Rect(1000, 25, 400, 300), kVisible), Rect(924.8, 25, 515.2, 370));
  EXPECT_EQ(G::rect(WindowSnap::larger, kVisible, kVisible), kVisible);
  // On a small display the step is 32 points rather than 8%.
  EXPECT_EQ(G::resized(Rect(0, 0, 300, 200), Rect(0, 0, 390, 390), +1), Rect(0, 0, 332, 232));
  // A display smaller than the floors caps the size at the display.
  EXPECT_EQ(G::resized(Rect(0, 0, 200, 100), Rect(0, 0, 200, 100), -1), Rect(0, 0, 200, 100));
}

// Center and maximize height shrink an oversized window to the visible frame.
TEST(WindowSnapGeometry, CenterAndMaximizeHeight) {
  EXPECT_EQ(G::rect(WindowSnap::center, Rect(10, 10, 400, 300), kVisible), Rect(520, 312.5, 400, 300));
  EXPECT_EQ(G::rect(WindowSnap::center, Rect(-50, 0, 2000, 1000), kVisible), kVisible);
  EXPECT_EQ(G::rect(WindowSnap::maximizeHeight, Rect(200, 300, 500, 400), kVisible), Rect(200, 25, 500, 875));
  EXPECT_EQ(G::rect(WindowSnap::maximizeHeight, Rect(100, 300, 1600, 400), kVisible), kVisible);
  EXPECT_EQ(G::rect(WindowSnap::maximizeHeight, Rect(-100, 300, 500, 400), kVisible), Rect(0, 25, 500, 875));
}

// Fit limits the size first, then pushes the rectangle in from each side.
TEST(WindowSnapGeometry, Fit) {
  const Rect bounds(0, 0, 100, 100);
  EXPECT_EQ(G::fit(Rect(-30, -40, 500, 500), bounds), bounds);
  EXPECT_EQ(G::fit(Rect(-10, -10, 50, 50), bounds), Rect(0, 0, 50, 50));
  EXPECT_EQ(G::fit(Rect(80, 90, 50, 50), bounds), Rect(50, 50, 50, 50));
}

// Placing onto another display keeps the size where it fits and the centre's relative position.
TEST(WindowSnapGeometry, Placed) {
  const Rect wide(1440, 0, 1920, 1080);
  const Rect moved = G::placed(Rect(360, 200, 720, 400), kVisible, wide);
  EXPECT_EQ(moved.size(), Size(720, 400));
  EXPECT_DOUBLE_EQ(moved.midX(), 1440 + 0.5 * 1920);
  EXPECT_DOUBLE_EQ(moved.midY(), (400.0 - 25) / 875 * 1080);
  const Rect small(-800, 0, 800, 600);
  EXPECT_EQ(G::placed(kVisible, kVisible, small), small);
  // A degenerate old display counts as the window being in the middle.
  EXPECT_EQ(G::placed(Rect(0, 0, 100, 100), Rect(0, 0, 0, 0), Rect(0, 0, 1000, 500)), Rect(450, 200, 100, 100));
}

// Displays are taken left to right (ties bottom to top) whatever the system order, and moves wrap.
TEST(WindowSnapGeometry, DisplayMoveOrderAndWrap) {
  const auto display = [](Rect f) { return DisplayFrames{f, Rect(f.x, f.y, f.w, f.h - 25)}; };
  // System order: above, right, below; left-to-right order: below, above, right.
  const std::vector<DisplayFrames> displays{display({0, 900, 1440, 900}), display({1440, 0, 1920, 1080}),
                                            display({0, 0, 1440, 900})};
  const Rect window(100, 1000, 400, 300);
  const auto landsOn = [&](std::optional<Rect> r, std::size_t index) {
    return r && displays[index].visibleFrame.contains({r->midX(), r->midY()}) && r->size() == Size(400, 300);
  };
  EXPECT_TRUE(landsOn(G::displayMove(window, +1, displays, 0), 1));
  EXPECT_TRUE(landsOn(G::displayMove(window, -1, displays, 0), 2));
  EXPECT_TRUE(landsOn(G::displayMove(Rect(2000, 100, 400, 300), +1, displays, 1), 2));
  EXPECT_TRUE(landsOn(G::displayMove(Rect(100, 100, 400, 300), -1, displays, 2), 1));
}

// With one display or no known display of the window there is no move.
TEST(WindowSnapGeometry, DisplayMoveImpossible) {
  const std::vector<DisplayFrames> two{{Rect(0, 0, 1440, 900), kVisible}, {Rect(1440, 0, 1920, 1080), kVisible}};
  EXPECT_FALSE(G::displayMove(Rect(0, 0, 100, 100), +1, {two[0]}, 0));
  EXPECT_FALSE(G::displayMove(Rect(0, 0, 100, 100), +1, two, std::nullopt));
}

}  // namespace
}  // namespace vistrel
