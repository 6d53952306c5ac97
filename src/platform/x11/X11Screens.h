#pragma once
// The displays: RandR monitors, or Xinerama's heads where those split the
// root into more (readMonitors), each with the part docks and panels leave
// free, in AppKit space. One pixel is one point (scale 1): X11 has no
// per-monitor scale the window manager and clients agree on.

#include <optional>
#include <vector>

#include "platform/Screens.h"
#include "platform/x11/Connection.h"
#include "platform/x11/Monitors.h"

namespace vistrel::x11 {

class X11Screens : public platform::Screens {
 public:
  explicit X11Screens(Connection& connection);

  std::vector<platform::Screen> screens() const override;
  // The monitor holding most of the active window, else the primary.
  std::optional<platform::Screen> mainScreen() const override;
  // The pointer on this X screen; the primary monitor's top-left corner when
  // the server does not answer or the pointer is on another X screen.
  Point mouseLocation() const override;

 private:
  std::vector<Monitor> monitors(Deadline deadline) const;
  std::vector<platform::Screen> screensOf(const std::vector<Monitor>& monitors, Deadline deadline) const;

  Connection& connection_;
};

// The part of the monitor holding most of `rect` that docks and panels leave
// free, all in root coordinates; none when no monitor holds any of it.
std::optional<Rect> freeAreaHolding(Connection& connection, const Rect& rect, Deadline deadline);

}  // namespace vistrel::x11
