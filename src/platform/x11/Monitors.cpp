#include "platform/x11/Monitors.h"

#include <xcb/randr.h>

#include <algorithm>
#include <optional>
#include <utility>

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

std::vector<Monitor> monitorsFromHeads(std::span<const xcb_xinerama_screen_info_t> heads) {
  std::vector<Monitor> monitors;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    const xcb_xinerama_screen_info_t& head = heads[i];
    if (head.width == 0 || head.height == 0) continue;
    const Rect frame(head.x_org, head.y_org, head.width, head.height);
    if (std::any_of(monitors.begin(), monitors.end(), [&](const Monitor& m) { return m.frame == frame; })) continue;
    monitors.push_back({std::uint32_t(i + 1), "xinerama-" + std::to_string(i), frame, false});
  }
  return monitors;
}

std::vector<Monitor> chooseMonitors(std::vector<Monitor> randr, std::vector<Monitor> heads) {
  return primaryFirst(heads.size() > randr.size() ? std::move(heads) : std::move(randr));
}

namespace {

Fetched<std::vector<Monitor>> randrMonitors(Connection& connection, Pending<xcb_randr_get_monitors_reply_t> request,
                                            Deadline deadline) {
  auto reply = request.get(deadline);
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

// The heads of an active Xinerama; none when it is inactive or does not answer.
std::vector<Monitor> xineramaHeads(Connection& connection, Pending<xcb_xinerama_is_active_reply_t> active,
                                   Pending<xcb_xinerama_query_screens_reply_t> screens, Deadline deadline) {
  const auto activeReply = active.get(deadline);
  if (activeReply.error) connection.reportError("Xinerama IsActive", connection.root(), *activeReply.error);
  if (!activeReply || activeReply.value->state == 0) return {};
  const auto reply = screens.get(deadline);
  if (!reply) {
    if (reply.error) connection.reportError("Xinerama QueryScreens", connection.root(), *reply.error);
    return {};
  }
  const xcb_xinerama_screen_info_t* heads = xcb_xinerama_query_screens_screen_info(reply.value.get());
  const int count = xcb_xinerama_query_screens_screen_info_length(reply.value.get());
  return monitorsFromHeads(std::span(heads, std::size_t(std::max(count, 0))));
}

}  // namespace

Fetched<std::vector<Monitor>> readMonitors(Connection& connection, Deadline deadline) {
  // Both extensions are asked before either answer is read: one round trip.
  std::optional<Pending<xcb_randr_get_monitors_reply_t>> randr;
  if (connection.hasMonitors()) {
    randr.emplace(connection.request<xcb_randr_get_monitors_reply_t>(
        xcb_randr_get_monitors(connection.raw(), connection.root(), 1)));
  }
  std::optional<Pending<xcb_xinerama_is_active_reply_t>> active;
  std::optional<Pending<xcb_xinerama_query_screens_reply_t>> screens;
  if (connection.hasXinerama()) {
    active.emplace(connection.request<xcb_xinerama_is_active_reply_t>(xcb_xinerama_is_active(connection.raw())));
    screens.emplace(
        connection.request<xcb_xinerama_query_screens_reply_t>(xcb_xinerama_query_screens(connection.raw())));
  }

  auto monitors = randr ? randrMonitors(connection, std::move(*randr), deadline)
                        : Fetched<std::vector<Monitor>>{std::vector<Monitor>{rootMonitor(connection)}};
  auto heads = active ? xineramaHeads(connection, std::move(*active), std::move(*screens), deadline)
                      : std::vector<Monitor>{};
  // RandR unanswered: heads that split the root still tell the displays apart.
  if (!monitors.value && heads.size() < 2) return monitors;
  return {chooseMonitors(monitors.value.value_or(std::vector<Monitor>{rootMonitor(connection)}), std::move(heads))};
}

}  // namespace vistrel::x11
