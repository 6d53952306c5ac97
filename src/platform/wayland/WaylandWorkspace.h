#pragma once
// Running programs on Wayland: the frontmost one owns the focused window in
// sway's tree, and a program's name is its windows' app_id, else its command
// name from /proc. Without sway (another compositor) no client may learn
// which window has the focus: there is no frontmost program. The rest is what
// every Linux desktop does (DesktopWorkspace.h). Main thread only.

#include "platform/linux/DesktopWorkspace.h"
#include "platform/wayland/SwayIpc.h"

namespace vistrel::wayland {

class WaylandWorkspace : public desktop::DesktopWorkspace {
 public:
  // `sway` may be null; it must outlive this object.
  explicit WaylandWorkspace(SwayIpc* sway) : sway_(sway) {}

  std::optional<platform::RunningApplication> frontmostApplication() const override;
  // Menus belong to windows on Wayland: the frontmost program.
  std::optional<platform::RunningApplication> menuBarOwningApplication() const override;
  std::optional<platform::RunningApplication> runningApplication(std::int32_t pid) const override;

 private:
  // `tree`, when read, names the program's windows.
  std::optional<platform::RunningApplication> describe(std::int32_t pid, const SwayTree* tree) const;

  SwayIpc* sway_;
};

}  // namespace vistrel::wayland
