#include <gtest/gtest.h>

#include "platform/HotKeys.h"
#include "platform/wayland/Compositor.h"
#include "platform/wayland/WaylandHotKeys.h"

namespace vistrel::wayland {
namespace {

// sway's socket wins over the desktop's name; KDE and GNOME are found in XDG_CURRENT_DESKTOP lists in any case;
// an unnamed desktop with screencopy is wlroots, without it other.
TEST(Compositor, Detection) {
  EXPECT_EQ(detectCompositor({"/run/sway-ipc.sock", "KDE", false}), CompositorKind::wlroots);
  EXPECT_EQ(detectCompositor({nullptr, "KDE", true}), CompositorKind::kwin);
  EXPECT_EQ(detectCompositor({"", "ubuntu:GNOME", false}), CompositorKind::gnome);
  EXPECT_EQ(detectCompositor({nullptr, "Hyprland", true}), CompositorKind::wlroots);
  EXPECT_EQ(detectCompositor({nullptr, nullptr, false}), CompositorKind::other);
}

// On wlroots the defaults become sway bindsym lines with sway's modifier names; other compositors take none.
TEST(Compositor, SwayBindingLines) {
  using namespace platform::carbon;
  const WaylandHotKeys sway(CompositorKind::wlroots);
  EXPECT_EQ(sway.configurationLine(123, controlKey | optionKey, "/usr/bin/vistrel --action window.leftHalf"),
            "bindsym Ctrl+Mod1+Left exec /usr/bin/vistrel --action window.leftHalf");
  EXPECT_EQ(sway.configurationLine(21, cmdKey | shiftKey, "v --action capture.area"),
            "bindsym Shift+Mod4+4 exec v --action capture.area");
  EXPECT_EQ(sway.configurationLine(0x7F00, controlKey, "v"), std::nullopt);
  EXPECT_EQ(WaylandHotKeys(CompositorKind::kwin).configurationLine(123, controlKey, "v"), std::nullopt);
  EXPECT_FALSE(sway.canGrabGlobalKeys());
}

}  // namespace
}  // namespace vistrel::wayland
