#pragma once
// The window manager's managed clients, read fresh from the server on every
// call (the settle loop polls 70-80 ms apart and must see each change), and
// the programs that own them.

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/x11/Connection.h"
#include "platform/x11/FrameGeometry.h"
#include "platform/x11/Property.h"

namespace vistrel::x11 {

// Why a read gave nothing.
enum class Fault {
  none,
  vanished,      // the window is gone or no longer managed
  timedOut,      // the server did not answer in time
  disconnected,  // the connection is broken
};
Fault faultOf(ReplyStatus status);

template <class T>
struct Fetched {
  std::optional<T> value;
  Fault fault = Fault::none;  // set exactly when value is absent
};

// A GetProperty request for the whole value of `property`.
Pending<xcb_get_property_reply_t> requestProperty(Connection& connection, xcb_window_t window, xcb_atom_t property,
                                                  xcb_atom_t type = XCB_ATOM_ANY);

// _NET_CLIENT_LIST_STACKING, bottom to top; _NET_CLIENT_LIST where that is empty.
Fetched<std::vector<xcb_window_t>> stackingClients(Connection& connection, Deadline deadline);
// _NET_ACTIVE_WINDOW; XCB_WINDOW_NONE when no window is active.
Fetched<xcb_window_t> activeWindow(Connection& connection, Deadline deadline);

// The hints the running window manager handles (_NET_SUPPORTED); empty
// when there is no EWMH window manager.
Fetched<std::vector<xcb_atom_t>> supportedHints(Connection& connection, Deadline deadline);

// Everything the backend reads of one client window, in one round trip.
struct WindowFacts {
  Rect client;  // root coordinates, border included
  double border = 0;  // the client's own X border, which a size request leaves out
  Extents frame;
  Extents shadow;
  bool viewable = false;
  std::vector<xcb_atom_t> states;
  std::vector<xcb_atom_t> types;  // most preferred first
  bool transient = false;
  std::optional<std::string> title;  // _NET_WM_NAME, else WM_NAME
  std::optional<WindowClass> windowClass;

  Rect outer() const { return outerFrame(client, frame, shadow); }
  bool hasState(xcb_atom_t state) const;
};
// Fails with vanished when the window is destroyed or not in _NET_CLIENT_LIST.
Fetched<WindowFacts> readWindow(Connection& connection, xcb_window_t window, Deadline deadline);

// The process owning each window: _NET_WM_PID; else the X client's process
// through X-Resource; else a synthetic negative id standing for the X client
// itself. 0 for a window that vanished or whose owner could not be read in time.
std::vector<std::int32_t> ownerPids(Connection& connection, std::span<const xcb_window_t> windows,
                                    Deadline deadline);

// The managed windows `pid` owns, topmost first.
Fetched<std::vector<xcb_window_t>> windowsOf(Connection& connection, std::int32_t pid, Deadline deadline);

// The owner standing for an X client whose process is unknown: the client's
// resource base, negated. An application element of such an id holds the
// windows whose ids carry that base.
std::int32_t syntheticPid(std::uint32_t clientBase);

}  // namespace vistrel::x11
