#include "platform/x11/DesktopSpaces.h"

namespace vistrel::x11 {

Rect rootToAccessibility(const Rect& root, const Rect& primary) {
  return {root.x - primary.x, root.y - primary.y, root.w, root.h};
}

Point accessibilityToRoot(Point accessibility, const Rect& primary) {
  return {accessibility.x + primary.x, accessibility.y + primary.y};
}

Rect rootToAppKit(const Rect& root, const Rect& primary) {
  return {root.x - primary.x, primary.y + primary.h - (root.y + root.h), root.w, root.h};
}

}  // namespace vistrel::x11
