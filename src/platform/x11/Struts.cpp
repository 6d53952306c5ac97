#include "platform/x11/Struts.h"

#include <algorithm>

namespace vistrel::x11 {

namespace {

bool overlaps(const Rect& a, const Rect& b) {
  const Rect common = a.intersection(b);
  return !common.isNull() && common.width() > 0 && common.height() > 0;
}

}  // namespace

std::optional<Strut> strutFromItems(std::span<const std::uint32_t> partial, std::span<const std::uint32_t> plain,
                                    Size root) {
  const auto value = [](std::uint32_t item) { return double(item); };
  if (partial.size() == 12) {
    return Strut{value(partial[0]), value(partial[1]), value(partial[2]),  value(partial[3]),
                 value(partial[4]), value(partial[5]), value(partial[6]),  value(partial[7]),
                 value(partial[8]), value(partial[9]), value(partial[10]), value(partial[11])};
  }
  if (plain.size() == 4) {
    const double lastY = std::max(root.height - 1, 0.0);
    const double lastX = std::max(root.width - 1, 0.0);
    return Strut{value(plain[0]), value(plain[1]), value(plain[2]), value(plain[3]), 0, lastY, 0, lastY,
                 0, lastX, 0, lastX};
  }
  return std::nullopt;
}

std::optional<Rect> workareaFromItems(std::span<const std::uint32_t> items, std::uint32_t desktop) {
  const std::size_t first = std::size_t(desktop) * 4;
  if (first + 4 > items.size()) return std::nullopt;
  const Rect area(items[first], items[first + 1], items[first + 2], items[first + 3]);
  if (area.w <= 0 || area.h <= 0) return std::nullopt;
  return area;
}

Rect visibleArea(const Rect& monitor, Size root, std::span<const Strut> struts, const std::optional<Rect>& workarea) {
  double minX = monitor.minX(), maxX = monitor.maxX(), minY = monitor.minY(), maxY = monitor.maxY();
  for (const Strut& s : struts) {
    if (s.left > 0 && overlaps(monitor, Rect(0, s.leftStartY, s.left, s.leftEndY - s.leftStartY + 1))) {
      minX = std::max(minX, s.left);
    }
    if (s.right > 0 &&
        overlaps(monitor, Rect(root.width - s.right, s.rightStartY, s.right, s.rightEndY - s.rightStartY + 1))) {
      maxX = std::min(maxX, root.width - s.right);
    }
    if (s.top > 0 && overlaps(monitor, Rect(s.topStartX, 0, s.topEndX - s.topStartX + 1, s.top))) {
      minY = std::max(minY, s.top);
    }
    if (s.bottom > 0 &&
        overlaps(monitor, Rect(s.bottomStartX, root.height - s.bottom, s.bottomEndX - s.bottomStartX + 1, s.bottom))) {
      maxY = std::min(maxY, root.height - s.bottom);
    }
  }
  Rect visible(minX, minY, std::max(maxX - minX, 0.0), std::max(maxY - minY, 0.0));
  if (workarea && overlaps(visible, *workarea)) visible = visible.intersection(*workarea);
  return visible;
}

}  // namespace vistrel::x11
