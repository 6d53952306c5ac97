#pragma once
// Every-desktop windows on X11 through EWMH: _NET_WM_DESKTOP 0xFFFFFFFF (what
// a window manager with desktops honours) and _NET_WM_STATE_STICKY (for those
// that list it). Main thread only.

#include "platform/FloatingWindows.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class X11FloatingWindows : public platform::FloatingWindows {
 public:
  explicit X11FloatingWindows(Connection& connection) : connection_(connection) {}

  // Before the window is shown, both go in as properties the window manager
  // reads when it takes the window on; Qt merges its own states into
  // _NET_WM_STATE at show time and keeps ours. A window already shown gets
  // the requests a pager would send instead.
  void keepOnAllDesktops(QWindow& window) override;

 private:
  Connection& connection_;
};

}  // namespace vistrel::x11
