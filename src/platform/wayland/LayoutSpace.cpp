#include "platform/wayland/LayoutSpace.h"

namespace vistrel::wayland {

std::optional<std::size_t> primaryIndex(const std::vector<Rect>& outputs) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const Rect& r = outputs[i];
    if (r.minX() == 0 && r.minY() == 0) return i;
    if (!best) {
      best = i;
      continue;
    }
    const Rect& b = outputs[*best];
    if (r.minX() < b.minX() || (r.minX() == b.minX() && r.minY() < b.minY())) best = i;
  }
  return best;
}

Rect layoutToAccessibility(const Rect& layout, const Rect& primary) {
  return layout.offsetBy(-primary.minX(), -primary.minY());
}

Point accessibilityToLayout(Point accessibility, const Rect& primary) {
  return {accessibility.x + primary.minX(), accessibility.y + primary.minY()};
}

std::optional<Point> layoutPointOnOutputs(Point accessibility, const std::vector<Rect>& outputs) {
  const auto primary = primaryIndex(outputs);
  if (!primary) return std::nullopt;
  const Point layout = accessibilityToLayout(accessibility, outputs[*primary]);
  for (const Rect& output : outputs) {
    if (output.contains(layout)) return layout;
  }
  return std::nullopt;
}

Rect layoutToAppKit(const Rect& layout, const Rect& primary) {
  return {layout.minX() - primary.minX(), primary.maxY() - layout.maxY(), layout.width(), layout.height()};
}

}  // namespace vistrel::wayland
