// The displays from the compositor's outputs: the primary, AppKit frames
// across layouts, scales and visible frames from sway's workspaces.

#include <gtest/gtest.h>

#include "platform/wayland/LayoutSpace.h"
#include "platform/wayland/WaylandScreens.h"

namespace vistrel::wayland {
namespace {

Output output(std::uint32_t id, std::string name, Rect logical, Size mode, int transform = 0) {
  Output o;
  o.globalName = id;
  o.name = std::move(name);
  o.logical = logical;
  o.mode = mode;
  o.transform = transform;
  return o;
}

// The primary is the output at the layout's origin, else the top-most of the left-most.
TEST(LayoutSpace, PrimaryOutput) {
  EXPECT_EQ(primaryIndex({Rect(1920, 0, 1280, 1024), Rect(0, 0, 1920, 1080)}), 1u);
  EXPECT_EQ(primaryIndex({Rect(500, 300, 100, 100), Rect(100, 900, 100, 100), Rect(100, 200, 100, 100)}), 2u);
  EXPECT_EQ(primaryIndex({}), std::nullopt);
}

// An output left of the primary and taller, one above it, and one at scale 2 (in
// device pixels twice its logical size) land in AppKit space with the primary first.
TEST(WaylandScreens, FramesAcrossLayouts) {
  const Output left = output(7, "left", Rect(-1280, -200, 1280, 1280), Size{1280, 1280});
  const Output primary = output(3, "primary", Rect(0, 0, 1920, 1080), Size{3840, 2160});
  const Output above = output(9, "above", Rect(0, -768, 1024, 768), Size{768, 1024}, 1);  // turned 90 degrees
  const auto screens = screensOf({&left, &primary, &above}, {});
  ASSERT_EQ(screens.size(), 3u);
  EXPECT_EQ(screens[0].displayID, 3u);
  EXPECT_EQ(screens[0].frame, Rect(0, 0, 1920, 1080));
  EXPECT_EQ(screens[0].scale, 2.0);
  EXPECT_EQ(screens[1].name, "left");
  EXPECT_EQ(screens[1].frame, Rect(-1280, 0, 1280, 1280));
  EXPECT_EQ(screens[2].frame, Rect(0, 1080, 1024, 768));
  EXPECT_EQ(screens[2].scale, 1.0);
  EXPECT_EQ(screens[2].visibleFrame, screens[2].frame);

  // Accessibility space puts the primary's top-left at the origin.
  EXPECT_EQ(layoutToAccessibility(Rect(-1280, -200, 10, 10), Rect(0, 0, 1920, 1080)), Rect(-1280, -200, 10, 10));
  EXPECT_EQ(accessibilityToLayout(Point{5, 5}, Rect(100, 50, 10, 10)), (Point{105, 55}));
}

// A panel's reserved strip (the shown workspace's smaller area) is left out of
// the visible frame; workspaces of other outputs or not shown do not count.
TEST(WaylandScreens, VisibleFrameFromTheShownWorkspace) {
  const Output primary = output(1, "DP-1", Rect(0, 0, 1920, 1080), Size{1920, 1080});
  const auto screens = screensOf({&primary}, {{"2", "DP-1", Rect(0, 0, 100, 100), false, false},
                                              {"1", "DP-2", Rect(0, 0, 100, 100), true, false},
                                              {"3", "DP-1", Rect(0, 0, 1920, 1050), true, true}});
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_EQ(screens[0].visibleFrame, Rect(0, 30, 1920, 1050));
}

}  // namespace
}  // namespace vistrel::wayland
