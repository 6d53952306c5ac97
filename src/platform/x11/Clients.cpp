#include "platform/x11/Clients.h"

#include <xcb/res.h>

#include <algorithm>
#include <limits>

namespace vistrel::x11 {

namespace {

// Long enough for any list or title; the server sends only what there is.
constexpr std::uint32_t kWholeValue = std::numeric_limits<std::uint32_t>::max() / 4;

Fetched<Property> rootProperty(Connection& connection, xcb_atom_t property, Deadline deadline) {
  auto reply = requestProperty(connection, connection.root(), property).get(deadline);
  if (!reply) return {std::nullopt, faultOf(reply.status)};
  return {propertyFromReply(reply.value.get())};
}

// A window request's failure; an X error means the window is gone, and is logged.
template <class T>
Fault failureOf(Connection& connection, const char* what, xcb_window_t window, const Reply<T>& reply) {
  if (reply.status == ReplyStatus::xError && reply.error) connection.reportError(what, window, *reply.error);
  return faultOf(reply.status);
}

// The decorations of a manager that announces none (_NET_FRAME_EXTENTS):
// how far the top-level window holding the client (the manager's frame)
// reaches beyond it. None when the client is itself top-level or the tree
// cannot be read in time.
std::optional<Extents> measuredFrame(Connection& connection, xcb_window_t window, const Rect& client,
                                     Deadline deadline) {
  xcb_window_t frame = window;
  // Frames nest a level or two; the bound only guards against a tree that changes while it is walked.
  for (int depth = 0; depth < 8; ++depth) {
    auto tree = connection.request<xcb_query_tree_reply_t>(xcb_query_tree(connection.raw(), frame)).get(deadline);
    if (!tree) return std::nullopt;
    if (tree.value->parent == connection.root() || tree.value->parent == XCB_WINDOW_NONE) break;
    frame = tree.value->parent;
  }
  if (frame == window) return std::nullopt;
  auto geometry = connection.request<xcb_get_geometry_reply_t>(xcb_get_geometry(connection.raw(), frame));
  auto origin = connection.request<xcb_translate_coordinates_reply_t>(
      xcb_translate_coordinates(connection.raw(), frame, connection.root(), 0, 0));
  const auto geometryReply = geometry.get(deadline);
  const auto originReply = origin.get(deadline);
  if (!geometryReply || !originReply) return std::nullopt;
  const double border = geometryReply.value->border_width;
  const Rect outer(originReply.value->dst_x - border, originReply.value->dst_y - border,
                   geometryReply.value->width + 2 * border, geometryReply.value->height + 2 * border);
  const Extents extents{client.minX() - outer.minX(), outer.maxX() - client.maxX(), client.minY() - outer.minY(),
                        outer.maxY() - client.maxY()};
  if (extents.left < 0 || extents.right < 0 || extents.top < 0 || extents.bottom < 0) return std::nullopt;
  return extents;
}

}  // namespace

Pending<xcb_get_property_reply_t> requestProperty(Connection& connection, xcb_window_t window, xcb_atom_t property,
                                                  xcb_atom_t type) {
  return connection.request<xcb_get_property_reply_t>(
      xcb_get_property(connection.raw(), 0, window, property, type, 0, kWholeValue));
}

Fault faultOf(ReplyStatus status) {
  switch (status) {
    case ReplyStatus::ok: return Fault::none;
    case ReplyStatus::xError: return Fault::vanished;
    case ReplyStatus::timedOut: return Fault::timedOut;
    case ReplyStatus::disconnected: return Fault::disconnected;
  }
  return Fault::disconnected;
}

bool WindowFacts::hasState(xcb_atom_t state) const {
  return std::find(states.begin(), states.end(), state) != states.end();
}

Fetched<std::vector<xcb_window_t>> stackingClients(Connection& connection, Deadline deadline) {
  auto property = rootProperty(connection, connection.atoms().netClientListStacking, deadline);
  if (!property.value) return {std::nullopt, property.fault};
  auto clients = items32(*property.value, XCB_ATOM_WINDOW);
  if (!clients.empty()) return {std::move(clients)};
  // xfwm4 4.18 leaves the stacking list empty while it manages a single
  // window; the client list still names it, and one window has no order.
  auto listed = rootProperty(connection, connection.atoms().netClientList, deadline);
  if (!listed.value) return {std::nullopt, listed.fault};
  return {items32(*listed.value, XCB_ATOM_WINDOW)};
}

Fetched<xcb_window_t> activeWindow(Connection& connection, Deadline deadline) {
  auto property = rootProperty(connection, connection.atoms().netActiveWindow, deadline);
  if (!property.value) return {std::nullopt, property.fault};
  return {item32(*property.value, XCB_ATOM_WINDOW).value_or(XCB_WINDOW_NONE)};
}

Fetched<std::vector<xcb_atom_t>> supportedHints(Connection& connection, Deadline deadline) {
  auto property = rootProperty(connection, connection.atoms().netSupported, deadline);
  if (!property.value) return {std::nullopt, property.fault};
  return {items32(*property.value, XCB_ATOM_ATOM)};
}

Fetched<WindowFacts> readWindow(Connection& connection, xcb_window_t window, Deadline deadline) {
  const Atoms& atoms = connection.atoms();
  xcb_connection_t* raw = connection.raw();
  auto clients = requestProperty(connection, connection.root(), atoms.netClientList);
  auto geometry = connection.request<xcb_get_geometry_reply_t>(xcb_get_geometry(raw, window));
  auto origin = connection.request<xcb_translate_coordinates_reply_t>(
      xcb_translate_coordinates(raw, window, connection.root(), 0, 0));
  auto attributes = connection.request<xcb_get_window_attributes_reply_t>(xcb_get_window_attributes(raw, window));
  auto frame = requestProperty(connection, window, atoms.netFrameExtents);
  auto shadow = requestProperty(connection, window, atoms.gtkFrameExtents);
  auto states = requestProperty(connection, window, atoms.netWmState);
  auto types = requestProperty(connection, window, atoms.netWmWindowType);
  auto transient = requestProperty(connection, window, XCB_ATOM_WM_TRANSIENT_FOR);
  auto netName = requestProperty(connection, window, atoms.netWmName);
  auto name = requestProperty(connection, window, XCB_ATOM_WM_NAME);
  auto windowClass = requestProperty(connection, window, XCB_ATOM_WM_CLASS);

  auto clientsReply = clients.get(deadline);
  if (!clientsReply) return {std::nullopt, faultOf(clientsReply.status)};
  const auto managed = items32(propertyFromReply(clientsReply.value.get()), XCB_ATOM_WINDOW);
  if (std::find(managed.begin(), managed.end(), window) == managed.end()) return {std::nullopt, Fault::vanished};

  auto geometryReply = geometry.get(deadline);
  if (!geometryReply) return {std::nullopt, failureOf(connection, "GetGeometry", window, geometryReply)};
  auto originReply = origin.get(deadline);
  if (!originReply) return {std::nullopt, failureOf(connection, "TranslateCoordinates", window, originReply)};
  auto attributesReply = attributes.get(deadline);
  if (!attributesReply) return {std::nullopt, failureOf(connection, "GetWindowAttributes", window, attributesReply)};

  WindowFacts facts;
  const double border = geometryReply.value->border_width;
  facts.border = border;
  facts.client = Rect(originReply.value->dst_x - border, originReply.value->dst_y - border,
                      geometryReply.value->width + 2 * border, geometryReply.value->height + 2 * border);
  facts.viewable = attributesReply.value->map_state == XCB_MAP_STATE_VIEWABLE;

  // Properties: a window that vanished since the first replies fails here too.
  Fault fault = Fault::none;
  const auto property = [&](Pending<xcb_get_property_reply_t>& pending, const char* what) {
    auto reply = pending.get(deadline);
    if (!reply) {
      if (fault == Fault::none) fault = failureOf(connection, what, window, reply);
      return Property{};
    }
    return propertyFromReply(reply.value.get());
  };
  const auto frameItems = items32(property(frame, "GetProperty(_NET_FRAME_EXTENTS)"), XCB_ATOM_CARDINAL);
  facts.frame = extentsFromItems(frameItems);
  facts.shadow = extentsFromItems(items32(property(shadow, "GetProperty(_GTK_FRAME_EXTENTS)"), XCB_ATOM_CARDINAL));
  facts.states = items32(property(states, "GetProperty(_NET_WM_STATE)"), XCB_ATOM_ATOM);
  facts.types = items32(property(types, "GetProperty(_NET_WM_WINDOW_TYPE)"), XCB_ATOM_ATOM);
  facts.transient = item32(property(transient, "GetProperty(WM_TRANSIENT_FOR)"), XCB_ATOM_WINDOW).has_value();
  facts.title = text(property(netName, "GetProperty(_NET_WM_NAME)"), atoms.utf8String);
  if (!facts.title) facts.title = text(property(name, "GetProperty(WM_NAME)"), atoms.utf8String);
  facts.windowClass = x11::windowClass(property(windowClass, "GetProperty(WM_CLASS)"));
  if (fault != Fault::none) return {std::nullopt, fault};
  if (frameItems.empty()) facts.frame = measuredFrame(connection, window, facts.client, deadline).value_or(Extents{});
  return {std::move(facts)};
}

std::vector<std::int32_t> ownerPids(Connection& connection, std::span<const xcb_window_t> windows,
                                    Deadline deadline) {
  std::vector<Pending<xcb_get_property_reply_t>> declared;
  declared.reserve(windows.size());
  for (const xcb_window_t window : windows) {
    declared.push_back(requestProperty(connection, window, connection.atoms().netWmPid, XCB_ATOM_CARDINAL));
  }
  std::vector<std::int32_t> pids(windows.size(), 0);
  std::vector<std::size_t> undeclared;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    auto reply = declared[i].get(deadline);
    if (!reply) {
      failureOf(connection, "GetProperty(_NET_WM_PID)", windows[i], reply);
      continue;
    }
    const auto pid = item32(propertyFromReply(reply.value.get()), XCB_ATOM_CARDINAL);
    if (pid && *pid > 0 && *pid <= std::uint32_t(std::numeric_limits<std::int32_t>::max())) {
      pids[i] = std::int32_t(*pid);
    } else {
      undeclared.push_back(i);
    }
  }
  if (undeclared.empty()) return pids;

  std::vector<std::optional<Pending<xcb_res_query_client_ids_reply_t>>> queries(windows.size());
  if (connection.hasResourceIds()) {
    for (const std::size_t i : undeclared) {
      const xcb_res_client_id_spec_t spec{connection.clientBase(windows[i]), XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
      queries[i].emplace(connection.request<xcb_res_query_client_ids_reply_t>(
          xcb_res_query_client_ids(connection.raw(), 1, &spec)));
    }
  }
  for (const std::size_t i : undeclared) {
    if (queries[i]) {
      auto reply = queries[i]->get(deadline);
      if (reply) {
        for (auto it = xcb_res_query_client_ids_ids_iterator(reply.value.get()); it.rem > 0;
             xcb_res_client_id_value_next(&it)) {
          if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
              xcb_res_client_id_value_value_length(it.data) >= 1) {
            const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
            if (pid > 0 && pid <= std::uint32_t(std::numeric_limits<std::int32_t>::max())) pids[i] = std::int32_t(pid);
          }
        }
      } else if (reply.status == ReplyStatus::xError) {
        failureOf(connection, "X-Resource QueryClientIds", windows[i], reply);
      } else {
        continue;  // no answer in time: the owner stays unknown
      }
    }
    // The client is remote, or the server cannot tell: the X client stands for its program.
    if (pids[i] == 0) pids[i] = syntheticPid(connection.clientBase(windows[i]));
  }
  return pids;
}

Fetched<std::vector<xcb_window_t>> windowsOf(Connection& connection, std::int32_t pid, Deadline deadline) {
  if (pid == 0) return {std::vector<xcb_window_t>{}};
  auto stacking = stackingClients(connection, deadline);
  if (!stacking.value) return stacking;
  const auto pids = ownerPids(connection, *stacking.value, deadline);
  std::vector<xcb_window_t> windows;
  for (std::size_t i = stacking.value->size(); i-- > 0;) {
    if (pids[i] == pid) windows.push_back((*stacking.value)[i]);
  }
  return {std::move(windows)};
}

std::int32_t syntheticPid(std::uint32_t clientBase) {
  // X ids have 29 bits, so every client base is a positive 32-bit number.
  return -std::int32_t(clientBase & 0x1fffffffu);
}

}  // namespace vistrel::x11
