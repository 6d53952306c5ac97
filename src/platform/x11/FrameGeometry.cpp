#include "platform/x11/FrameGeometry.h"

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

}  // namespace vistrel::x11
