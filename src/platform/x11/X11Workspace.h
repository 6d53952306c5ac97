#pragma once
// Running programs as X clients: the frontmost one owns the active window.
// Names come from the program's windows (WM_CLASS) or from /proc; the rest is
// what every Linux desktop does (DesktopWorkspace.h).

#include <xcb/xcb.h>

#include <optional>

#include "platform/linux/DesktopWorkspace.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class X11Workspace : public desktop::DesktopWorkspace {
 public:
  explicit X11Workspace(Connection& connection);

  std::optional<platform::RunningApplication> frontmostApplication() const override;
  // Menus belong to windows on X11: the frontmost program.
  std::optional<platform::RunningApplication> menuBarOwningApplication() const override;
  std::optional<platform::RunningApplication> runningApplication(std::int32_t pid) const override;

 private:
  // `window`, when known, is one of the program's windows.
  std::optional<platform::RunningApplication> describe(std::int32_t pid, std::optional<xcb_window_t> window,
                                                       Deadline deadline) const;

  Connection& connection_;
};

}  // namespace vistrel::x11
