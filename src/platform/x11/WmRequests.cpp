#include "platform/x11/WmRequests.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace vistrel::x11::wm {

namespace {

constexpr std::uint32_t kSourcePager = 2;
constexpr std::uint32_t kStateRemove = 0;
constexpr std::uint32_t kStateAdd = 1;

std::int32_t coordinate(double value) { return std::int32_t(std::lround(std::clamp(value, -32768.0, 32767.0))); }
std::uint32_t extent(double value) { return std::uint32_t(std::lround(std::clamp(value, 1.0, 32767.0))); }

}  // namespace

void sendToRoot(Connection& connection, xcb_window_t window, xcb_atom_t type, std::array<std::uint32_t, 5> data) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  std::copy(data.begin(), data.end(), event.data.data32);
  xcb_send_event(connection.raw(), 0, connection.root(),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
}

void moveResize(Connection& connection, xcb_window_t window, std::optional<Point> reference,
                std::optional<Size> clientSize, bool managerHandlesMoveResize) {
  if (!reference && !clientSize) return;
  const std::int32_t x = reference ? coordinate(reference->x) : 0;
  const std::int32_t y = reference ? coordinate(reference->y) : 0;
  const std::uint32_t width = clientSize ? extent(clientSize->width) : 0;
  const std::uint32_t height = clientSize ? extent(clientSize->height) : 0;
  if (managerHandlesMoveResize) {
    std::uint32_t flags = XCB_GRAVITY_NORTH_WEST | kSourcePager << 12;
    if (reference) flags |= 1u << 8 | 1u << 9;
    if (clientSize) flags |= 1u << 10 | 1u << 11;
    sendToRoot(connection, window, connection.atoms().netMoveresizeWindow,
               {flags, std::uint32_t(x), std::uint32_t(y), width, height});
    return;
  }
  // A ConfigureRequest: a window manager places its frame by the client's
  // gravity (NorthWest unless the client says otherwise); without one the
  // window itself goes there.
  std::uint16_t mask = 0;
  std::array<std::uint32_t, 4> values{};
  std::size_t count = 0;
  if (reference) {
    mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
    values[count++] = std::uint32_t(x);
    values[count++] = std::uint32_t(y);
  }
  if (clientSize) {
    mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    values[count++] = width;
    values[count++] = height;
  }
  xcb_configure_window(connection.raw(), window, mask, values.data());
}

void unmaximize(Connection& connection, xcb_window_t window) {
  const Atoms& atoms = connection.atoms();
  sendToRoot(connection, window, atoms.netWmState,
             {kStateRemove, atoms.netWmStateMaximizedVert, atoms.netWmStateMaximizedHorz, kSourcePager, 0});
}

void setMaximized(Connection& connection, xcb_window_t window, bool vertically, bool maximized) {
  const Atoms& atoms = connection.atoms();
  sendToRoot(connection, window, atoms.netWmState,
             {maximized ? kStateAdd : kStateRemove,
              vertically ? atoms.netWmStateMaximizedVert : atoms.netWmStateMaximizedHorz, 0, kSourcePager, 0});
}

void setFullScreen(Connection& connection, xcb_window_t window, bool fullScreen) {
  const Atoms& atoms = connection.atoms();
  sendToRoot(connection, window, atoms.netWmState,
             {fullScreen ? kStateAdd : kStateRemove, atoms.netWmStateFullscreen, 0, kSourcePager, 0});
}

void activateAndRaise(Connection& connection, xcb_window_t window, xcb_window_t currentlyActive,
                      bool managerHandlesRestack) {
  const Atoms& atoms = connection.atoms();
  sendToRoot(connection, window, atoms.netActiveWindow, {kSourcePager, XCB_CURRENT_TIME, currentlyActive, 0, 0});
  if (managerHandlesRestack) {
    sendToRoot(connection, window, atoms.netRestackWindow, {kSourcePager, XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE, 0, 0});
  } else {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(connection.raw(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  }
}

void close(Connection& connection, xcb_window_t window) {
  sendToRoot(connection, window, connection.atoms().netCloseWindow, {XCB_CURRENT_TIME, kSourcePager, 0, 0, 0});
}

}  // namespace vistrel::x11::wm
