#pragma once
// The monitors of the X screen (RandR 1.5, or Xinerama's heads where RandR
// sees fewer), with the primary one found the way the product expects:
// RandR's primary flag, else the monitor at the root origin, else the first.

#include <xcb/xinerama.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/x11/Clients.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

struct Monitor {
  std::uint32_t id = 0;  // the monitor's first output (stable for the server's run), else its name atom
  std::string name;
  Rect frame;            // root coordinates
  bool primary = false;  // RandR's own flag
  friend bool operator==(const Monitor&, const Monitor&) = default;
};

// The whole root window as one monitor: the display when RandR cannot tell.
Monitor rootMonitor(const Connection& connection);

// The primary monitor first, the others in RandR's order. Without RandR 1.5,
// or with no active monitor, the root window is the one monitor. When
// Xinerama is active with more heads than RandR reports monitors (a nested
// server, a driver that joins its screens itself), the heads are the monitors.
Fetched<std::vector<Monitor>> readMonitors(Connection& connection, Deadline deadline);

// Xinerama's heads as monitors, in Xinerama's order; ids count from 1 by
// place in that order. Heads of no size, and copies of a head already listed
// (a cloned output), are left out.
std::vector<Monitor> monitorsFromHeads(std::span<const xcb_xinerama_screen_info_t> heads);

// The heads when there are more of them than RandR monitors, else the RandR
// monitors; the primary first either way (for heads, which have no primary
// flag: the one at the root origin, else Xinerama's first).
std::vector<Monitor> chooseMonitors(std::vector<Monitor> randr, std::vector<Monitor> heads);

// Reorders `monitors` so that the primary one comes first.
std::vector<Monitor> primaryFirst(std::vector<Monitor> monitors);

// The monitor holding most of `rect` (root coordinates); none when it
// touches no monitor.
const Monitor* monitorHolding(const std::vector<Monitor>& monitors, const Rect& rect);

}  // namespace vistrel::x11
