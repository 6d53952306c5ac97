// The displays of a real X server: RandR's one monitor, with the space a dock reserves taken off.

#include <gtest/gtest.h>

#include "Desktop.h"
#include "platform/x11/X11Screens.h"

namespace vistrel::e2e {
namespace {

// One 1920x1080 screen whose visible frame loses the strut of a dock, in AppKit space, and regains it.
TEST(Screens, VisibleFrameLeavesOutADockStrut) {
  Requests requests;
  x11::X11Screens screens(requests.connection());
  const Rect whole(0, 0, 1920, 1080);

  const auto before = screens.screens();
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].frame, whole);
  EXPECT_EQ(before[0].visibleFrame, whole);
  EXPECT_EQ(before[0].scale, 1.0);
  EXPECT_FALSE(before[0].name.empty());

  const xcb_window_t dock = requests.createBottomDock(40);
  // AppKit space is y up: a bottom strut raises the visible frame's bottom edge.
  const Rect aboveDock(0, 40, 1920, 1040);
  EXPECT_TRUE(waitUntil(5, [&] {
    const auto now = screens.screens();
    return now.size() == 1 && now[0].visibleFrame == aboveDock;
  })) << screens.screens()[0].visibleFrame.y;
  EXPECT_EQ(runTool("xprop", {"-root", "-notype", "_NET_WORKAREA"}).value_or(""),
            "_NET_WORKAREA = 0, 0, 1920, 1040\n");
  const auto main = screens.mainScreen();
  ASSERT_TRUE(main);
  EXPECT_EQ(main->displayID, before[0].displayID);
  EXPECT_EQ(main->visibleFrame, aboveDock);

  requests.destroy(dock);
  EXPECT_TRUE(waitUntil(5, [&] { return screens.screens()[0].visibleFrame == whole; }));
}

// A manager that publishes no work area and lists none of its docks (i3): the strut of a panel it holds in a frame
// of its own still leaves the top of the screen out.
TEST(Screens, WithoutWorkAreaUnlistedPanelStrutsCount) {
  Requests requests;
  x11::X11Screens screens(requests.connection());
  const xcb_window_t root = requests.connection().root();
  const auto workarea = propertyText(root, "_NET_WORKAREA");
  ASSERT_TRUE(workarea);
  const xcb_window_t panel = requests.createUnlistedTopPanel(30);
  requests.deleteProperty(root, "_NET_WORKAREA");
  ASSERT_TRUE(waitUntil(5, [&] { return !propertyText(root, "_NET_WORKAREA"); }));

  EXPECT_EQ(screens.screens()[0].visibleFrame, Rect(0, 0, 1920, 1050));  // AppKit space: the top edge comes down
  requests.destroy(panel);
  EXPECT_TRUE(waitUntil(5, [&] { return screens.screens()[0].visibleFrame == Rect(0, 0, 1920, 1080); }));
  // The window manager's own value, as it was.
  ASSERT_TRUE(runTool("xprop", {"-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA",
                                QString::fromStdString(*workarea)}));
  EXPECT_EQ(propertyText(root, "_NET_WORKAREA"), workarea);
}

}  // namespace
}  // namespace vistrel::e2e
