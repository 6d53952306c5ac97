#include "platform/x11/Monitors.h"

#include <xcb/randr.h>

#include <algorithm>

namespace vistrel::x11 {

namespace {

double overlapArea(const Rect& a, const Rect& b) {
  const Rect common = a.intersection(b);
  return common.isNull() ? 0 : common.width() * common.height();
}

}  // namespace

Monitor rootMonitor(const Connection& connection) {
  return {1, "screen", Rect(0, 0, connection.rootWidth(), connection.rootHeight()), true};
}

std::vector<Monitor> primaryFirst(std::vector<Monitor> monitors) {
  auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
  if (primary == monitors.end()) {
    primary = std::find_if(monitors.begin(), monitors.end(),
                           [](const Monitor& m) { return m.frame.x == 0 && m.frame.y == 0; });
  }
  if (primary != monitors.end()) std::rotate(monitors.begin(), primary, primary + 1);
  return monitors;
}

const Monitor* monitorHolding(const std::vector<Monitor>& monitors, const Rect& rect) {
  const Monitor* best = nullptr;
  double bestArea = 0;
  for (const Monitor& monitor : monitors) {
    const double area = overlapArea(monitor.frame, rect);
    if (area > bestArea) {
      best = &monitor;
      bestArea = area;
    }
  }
  return best;
}

Fetched<std::vector<Monitor>> readMonitors(Connection& connection, Deadline deadline) {
  if (!connection.hasMonitors()) return {std::vector<Monitor>{rootMonitor(connection)}};
  auto reply = connection.request<xcb_randr_get_monitors_reply_t>(
      xcb_randr_get_monitors(connection.raw(), connection.root(), 1)).get(deadline);
  if (!reply) {
    if (reply.error) connection.reportError("RandR GetMonitors", connection.root(), *reply.error);
    return {std::nullopt, faultOf(reply.status)};
  }

  std::vector<Monitor> monitors;
  std::vector<Pending<xcb_get_atom_name_reply_t>> names;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.value.get()); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    const xcb_randr_monitor_info_t& info = *it.data;
    if (info.width == 0 || info.height == 0) continue;
    Monitor monitor;
    monitor.id = info.nOutput > 0 ? *xcb_randr_monitor_info_outputs(it.data) : info.name;
    monitor.frame = Rect(info.x, info.y, info.width, info.height);
    monitor.primary = info.primary != 0;
    monitors.push_back(monitor);
    names.push_back(connection.request<xcb_get_atom_name_reply_t>(xcb_get_atom_name(connection.raw(), info.name)));
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    if (auto name = names[i].get(deadline)) {
      monitors[i].name.assign(xcb_get_atom_name_name(name.value.get()),
                              std::size_t(xcb_get_atom_name_name_length(name.value.get())));
    }
  }
  if (monitors.empty()) monitors.push_back(rootMonitor(connection));
  return {primaryFirst(std::move(monitors))};
}

}  // namespace vistrel::x11
