#pragma once
// The backend's coordinate spaces. The compositor's layout space (sway's
// rects, xdg-output's logical positions) has its origin at the layout's
// top-left, y down, in logical pixels. Accessibility space is layout space
// shifted so that the primary output's top-left is (0, 0); AppKit space has
// its origin at the primary output's bottom-left, y up. Logical pixels are
// points.
//
// Wayland has no primary output. The primary is the output at the layout's
// origin (where sway puts the first one), else the top-most of the left-most;
// Screens, capture and window access all use this rule.

#include <optional>
#include <vector>

#include "base/Rect.h"

namespace vistrel::wayland {

std::optional<std::size_t> primaryIndex(const std::vector<Rect>& outputs);

Rect layoutToAccessibility(const Rect& layout, const Rect& primary);
Point accessibilityToLayout(Point accessibility, const Rect& primary);
Rect layoutToAppKit(const Rect& layout, const Rect& primary);
// The accessibility point in layout space when it lies on one of the outputs.
std::optional<Point> layoutPointOnOutputs(Point accessibility, const std::vector<Rect>& outputs);

}  // namespace vistrel::wayland
