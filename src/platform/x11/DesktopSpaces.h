#pragma once
// The backend's three coordinate spaces. X gives root coordinates (origin at
// the root window's top-left, y down). Accessibility space is root space
// shifted so that the primary monitor's top-left is (0, 0). AppKit space has
// its origin at the primary monitor's bottom-left, y up.

#include "base/Rect.h"

namespace vistrel::x11 {

// `primary` is the primary monitor's rectangle in root coordinates.
Rect rootToAccessibility(const Rect& root, const Rect& primary);
Point accessibilityToRoot(Point accessibility, const Rect& primary);
Rect rootToAppKit(const Rect& root, const Rect& primary);

}  // namespace vistrel::x11
