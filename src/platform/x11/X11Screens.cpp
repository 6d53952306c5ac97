#include "platform/x11/X11Screens.h"

#include <algorithm>

#include "platform/x11/Clients.h"
#include "platform/x11/DesktopSpaces.h"
#include "platform/x11/Struts.h"

namespace vistrel::x11 {

namespace {

// Screens are read on a user's action; a local server answers at once.
constexpr double kReadSeconds = 1.0;

struct Reserved {
  std::vector<Strut> struts;
  std::optional<Rect> workarea;
};

// Windows that may be docks the window manager does not list as clients:
// the root's children and, where a manager put a dock into a frame of its
// own, their children; only those that are shown.
std::vector<xcb_window_t> shownTopLevels(Connection& connection, Deadline deadline) {
  xcb_connection_t* raw = connection.raw();
  std::vector<xcb_window_t> windows;
  std::vector<xcb_window_t> level{connection.root()};
  for (int depth = 0; depth < 2; ++depth) {
    std::vector<Pending<xcb_query_tree_reply_t>> trees;
    for (const xcb_window_t window : level)
      trees.push_back(connection.request<xcb_query_tree_reply_t>(xcb_query_tree(raw, window)));
    std::vector<xcb_window_t> children;
    for (auto& tree : trees) {
      const auto reply = tree.get(deadline);
      if (!reply) continue;
      const xcb_window_t* first = xcb_query_tree_children(reply.value.get());
      children.insert(children.end(), first, first + xcb_query_tree_children_length(reply.value.get()));
    }
    std::vector<Pending<xcb_get_window_attributes_reply_t>> attributes;
    for (const xcb_window_t window : children) {
      attributes.push_back(
          connection.request<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes(raw, window)));
    }
    level.clear();
    for (std::size_t i = 0; i < children.size(); ++i) {
      const auto reply = attributes[i].get(deadline);
      if (reply && reply.value->map_state == XCB_MAP_STATE_VIEWABLE) level.push_back(children[i]);
    }
    windows.insert(windows.end(), level.begin(), level.end());
  }
  return windows;
}

// What the clients reserve and the window manager's work area. Parts that
// cannot be read count as reserving nothing. A manager that publishes no
// work area (a tiling one, often) may keep its docks off the client list
// too; then the struts of every shown top-level window count.
Reserved readReserved(Connection& connection, Deadline deadline) {
  const Atoms& atoms = connection.atoms();
  auto clients = requestProperty(connection, connection.root(), atoms.netClientList);
  auto workarea = requestProperty(connection, connection.root(), atoms.netWorkarea);
  auto desktop = requestProperty(connection, connection.root(), atoms.netCurrentDesktop);

  Reserved reserved;
  const auto desktopReply = desktop.get(deadline);
  const auto current = desktopReply ? item32(propertyFromReply(desktopReply.value.get()), XCB_ATOM_CARDINAL) : std::nullopt;
  if (auto reply = workarea.get(deadline)) {
    reserved.workarea =
        workareaFromItems(items32(propertyFromReply(reply.value.get()), XCB_ATOM_CARDINAL), current.value_or(0));
  }
  auto clientsReply = clients.get(deadline);
  std::vector<xcb_window_t> windows;
  if (clientsReply) windows = items32(propertyFromReply(clientsReply.value.get()), XCB_ATOM_WINDOW);
  if (!reserved.workarea) {
    for (const xcb_window_t window : shownTopLevels(connection, deadline))
      if (std::find(windows.begin(), windows.end(), window) == windows.end()) windows.push_back(window);
  }

  std::vector<std::pair<Pending<xcb_get_property_reply_t>, Pending<xcb_get_property_reply_t>>> requests;
  requests.reserve(windows.size());
  for (const xcb_window_t window : windows) {
    requests.emplace_back(requestProperty(connection, window, atoms.netWmStrutPartial, XCB_ATOM_CARDINAL),
                          requestProperty(connection, window, atoms.netWmStrut, XCB_ATOM_CARDINAL));
  }
  const Size root(connection.rootWidth(), connection.rootHeight());
  for (auto& [partial, plain] : requests) {
    const auto partialReply = partial.get(deadline);
    const auto plainReply = plain.get(deadline);
    const auto partialItems = items32(propertyFromReply(partialReply.value.get()), XCB_ATOM_CARDINAL);
    const auto plainItems = items32(propertyFromReply(plainReply.value.get()), XCB_ATOM_CARDINAL);
    if (auto strut = strutFromItems(partialItems, plainItems, root)) reserved.struts.push_back(*strut);
  }
  return reserved;
}

}  // namespace

std::optional<Rect> freeAreaHolding(Connection& connection, const Rect& rect, Deadline deadline) {
  auto monitors = readMonitors(connection, deadline);
  const std::vector<Monitor> all = monitors.value ? std::move(*monitors.value) : std::vector{rootMonitor(connection)};
  const Monitor* holding = monitorHolding(all, rect);
  if (!holding) return std::nullopt;
  const Reserved reserved = readReserved(connection, deadline);
  return visibleArea(holding->frame, Size(connection.rootWidth(), connection.rootHeight()), reserved.struts,
                     reserved.workarea);
}

X11Screens::X11Screens(Connection& connection) : connection_(connection) {}

std::vector<Monitor> X11Screens::monitors(Deadline deadline) const {
  auto monitors = readMonitors(connection_, deadline);
  if (monitors.value) return std::move(*monitors.value);
  // Without an answer the whole root window stands in, so that layout still has a display.
  return {rootMonitor(connection_)};
}

std::vector<platform::Screen> X11Screens::screensOf(const std::vector<Monitor>& monitors, Deadline deadline) const {
  const Reserved reserved = readReserved(connection_, deadline);
  const Size root(connection_.rootWidth(), connection_.rootHeight());
  const Rect primary = monitors.front().frame;
  std::vector<platform::Screen> screens;
  for (const Monitor& monitor : monitors) {
    const Rect visible = visibleArea(monitor.frame, root, reserved.struts, reserved.workarea);
    screens.push_back({monitor.id, rootToAppKit(monitor.frame, primary), rootToAppKit(visible, primary), 1.0,
                       monitor.name});
  }
  return screens;
}

std::vector<platform::Screen> X11Screens::screens() const {
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kReadSeconds);
  return screensOf(monitors(deadline), deadline);
}

std::optional<platform::Screen> X11Screens::mainScreen() const {
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kReadSeconds);
  const auto all = monitors(deadline);
  const auto screens = screensOf(all, deadline);
  if (screens.empty()) return std::nullopt;
  const auto active = activeWindow(connection_, deadline);
  if (active.value && *active.value != XCB_WINDOW_NONE) {
    const auto facts = readWindow(connection_, *active.value, deadline);
    if (facts.value) {
      if (const Monitor* holding = monitorHolding(all, facts.value->outer())) {
        return screens[std::size_t(holding - all.data())];
      }
    }
  }
  return screens.front();
}

Point X11Screens::mouseLocation() const {
  connection_.drainEvents();
  const Deadline deadline = deadlineAfter(kReadSeconds);
  auto pointer =
      connection_.request<xcb_query_pointer_reply_t>(xcb_query_pointer(connection_.raw(), connection_.root()));
  const Rect primary = monitors(deadline).front().frame;
  const auto reply = pointer.get(deadline);
  const bool here = reply && reply.value->same_screen;
  const Point root = here ? Point{double(reply.value->root_x), double(reply.value->root_y)} : primary.origin();
  return rootToAppKit(Rect(root, Size()), primary).origin();
}

}  // namespace vistrel::x11
