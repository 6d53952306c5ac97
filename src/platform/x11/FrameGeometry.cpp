#include "platform/x11/FrameGeometry.h"

#include <cmath>

namespace vistrel::x11 {

namespace {

// No decoration or shadow is wider than a screen; larger values are garbage.
constexpr std::uint32_t kMaxExtent = 1u << 15;

}  // namespace

Extents extentsFromItems(std::span<const std::uint32_t> items) {
  if (items.size() != 4) return {};
  for (const std::uint32_t item : items) {
    if (item > kMaxExtent) return {};
  }
  return {double(items[0]), double(items[1]), double(items[2]), double(items[3])};
}

Rect outerFrame(const Rect& client, const Extents& frame, const Extents& shadow) {
  return {client.x - frame.left + shadow.left, client.y - frame.top + shadow.top,
          client.w + frame.left + frame.right - shadow.left - shadow.right,
          client.h + frame.top + frame.bottom - shadow.top - shadow.bottom};
}

Point northWestReference(Point outerTopLeft, const Extents& shadow) {
  return {outerTopLeft.x - shadow.left, outerTopLeft.y - shadow.top};
}

Size clientSizeFor(Size outer, const Extents& frame, const Extents& shadow) {
  return {outer.width - frame.left - frame.right + shadow.left + shadow.right,
          outer.height - frame.top - frame.bottom + shadow.top + shadow.bottom};
}

Rect outerFrameInPicture(const Rect& topLevel, const Rect& outer) {
  const Rect picture(0, 0, topLevel.width(), topLevel.height());
  const Rect part = outer.intersection(topLevel);
  if (part.isEmpty()) return picture;
  return part.offsetBy(-topLevel.minX(), -topLevel.minY());
}

Axis heldInside(const Rect& asked, const Rect& now, const Extents& shadow, const Rect& area) {
  const auto held = [](double askedMin, double askedMax, double nowMin, double nowMax, double shadowMin,
                       double shadowMax, double areaMin, double areaMax) {
    const bool outMin = askedMin < areaMin - 0.5 && askedMin + shadowMin >= areaMin - 0.5;
    const bool outMax = askedMax > areaMax + 0.5 && askedMax - shadowMax <= areaMax + 0.5;
    return (outMin && std::abs(nowMin - areaMin) < 1) || (outMax && std::abs(nowMax - areaMax) < 1);
  };
  if (held(asked.minX(), asked.maxX(), now.minX(), now.maxX(), shadow.left, shadow.right, area.minX(), area.maxX()))
    return Axis::across;
  if (held(asked.minY(), asked.maxY(), now.minY(), now.maxY(), shadow.top, shadow.bottom, area.minY(), area.maxY()))
    return Axis::down;
  return Axis::none;
}

}  // namespace vistrel::x11
