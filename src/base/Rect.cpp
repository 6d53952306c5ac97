#include "base/Rect.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

Rect Rect::standardized() const {
  if (isNull()) return *this;
  return {minX(), minY(), width(), height()};
}

Rect Rect::integral() const {
  if (isNull()) return *this;
  const double x0 = std::floor(minX());
  const double y0 = std::floor(minY());
  return {x0, y0, std::ceil(maxX()) - x0, std::ceil(maxY()) - y0};
}

Rect Rect::intersection(const Rect& other) const {
  if (isNull() || other.isNull()) return null();
  const double x0 = std::max(minX(), other.minX());
  const double y0 = std::max(minY(), other.minY());
  const double x1 = std::min(maxX(), other.maxX());
  const double y1 = std::min(maxY(), other.maxY());
  if (x1 < x0 || y1 < y0) return null();
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::insetBy(double dx, double dy) const {
  if (isNull()) return *this;
  const Rect s = standardized();
  const double width = s.w - 2 * dx;
  const double height = s.h - 2 * dy;
  if (width < 0 || height < 0) return null();
  return {s.x + dx, s.y + dy, width, height};
}

bool Rect::contains(Point p) const {
  if (isEmpty()) return false;
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

}  // namespace vistrel
