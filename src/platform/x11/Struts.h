#pragma once
// The space docks and panels reserve at the edges of the root window
// (_NET_WM_STRUT_PARTIAL, else _NET_WM_STRUT), and what it leaves of a monitor.

#include <cstdint>
#include <optional>
#include <span>

#include "base/Rect.h"

namespace vistrel::x11 {

// Widths are measured from the root window's edges; each edge's strut covers
// the range from start to end (inclusive) along that edge.
struct Strut {
  double left = 0, right = 0, top = 0, bottom = 0;
  double leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
  double topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;
  friend bool operator==(const Strut&, const Strut&) = default;
};

// From the items of _NET_WM_STRUT_PARTIAL (12) when the window has them, else
// of _NET_WM_STRUT (4, covering whole edges). None when neither is well formed.
std::optional<Strut> strutFromItems(std::span<const std::uint32_t> partial, std::span<const std::uint32_t> plain,
                                    Size root);

// The rectangle of desktop `desktop` in _NET_WORKAREA's items (x, y, width, height per desktop).
std::optional<Rect> workareaFromItems(std::span<const std::uint32_t> items, std::uint32_t desktop);

// A monitor (root coordinates) without the reserved edges that reach into it,
// clipped to the window manager's work area when the two overlap.
Rect visibleArea(const Rect& monitor, Size root, std::span<const Strut> struts, const std::optional<Rect>& workarea);

}  // namespace vistrel::x11
