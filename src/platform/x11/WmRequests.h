#pragma once
// Requests to the window manager (EWMH client messages to the root window),
// sent as a pager would (source indication 2) so that focus-stealing rules do
// not drop them. They are asynchronous: sending succeeds at once, and the
// window manager applies them later, in the order sent.

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>

#include "base/Rect.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11::wm {

// Sends one EWMH client message about `window` to the root window (no flush).
void sendToRoot(Connection& connection, xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data);

// Moves the window's frame so its top-left lands on `reference` (NorthWest
// gravity) and/or resizes the client to `clientSize`; what is absent stays.
// Falls back to a ConfigureWindow request when the window manager does not
// handle _NET_MOVERESIZE_WINDOW.
void moveResize(Connection& connection, xcb_window_t window, std::optional<Point> reference,
                std::optional<Size> clientSize, bool managerHandlesMoveResize);
// Leaves the maximized state in both directions.
void unmaximize(Connection& connection, xcb_window_t window);
// Enters or leaves the maximized state in one direction.
void setMaximized(Connection& connection, xcb_window_t window, bool vertically, bool maximized);
void setFullScreen(Connection& connection, xcb_window_t window, bool fullScreen);
// Activates the window and raises it above its siblings.
void activateAndRaise(Connection& connection, xcb_window_t window, xcb_window_t currentlyActive,
                      bool managerHandlesRestack);
// Asks the window manager to close the window (the program may ask to save).
void close(Connection& connection, xcb_window_t window);

}  // namespace vistrel::x11::wm
