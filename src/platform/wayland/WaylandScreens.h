#pragma once
// The displays: the compositor's outputs (wl_output with xdg-output's logical
// geometry), one point per logical pixel, the scale being device pixels per
// logical pixel. Display numbers are the outputs' registry names.
//
// What the compositor alone cannot say comes from sway's IPC where it runs:
// the visible frame (the workspace area, less what panels reserve) and the
// output the user works on. Without sway the visible frame is the whole
// output and the main screen is the primary.
//
// Wayland does not tell a client where the pointer is unless it is over the
// client's own surface: mouseLocation() is the centre of the main screen, so
// "the display under the mouse" is the one the user works on.

#include <optional>
#include <vector>

#include "platform/Screens.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wayland {

// The screens of these outputs, the primary first (LayoutSpace's rule);
// `workspaces` (sway's, may be empty) give the visible frames.
std::vector<platform::Screen> screensOf(const std::vector<const Output*>& outputs,
                                        const std::vector<SwayWorkspace>& workspaces);

class WaylandScreens : public platform::Screens {
 public:
  // `sway` may be null (another compositor); both must outlive this object.
  WaylandScreens(WaylandConnection& connection, SwayIpc* sway);

  std::vector<platform::Screen> screens() const override;
  std::optional<platform::Screen> mainScreen() const override;
  Point mouseLocation() const override;

 private:
  WaylandConnection& connection_;
  SwayIpc* sway_;
};

}  // namespace vistrel::wayland
