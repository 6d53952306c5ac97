#pragma once
// The one rectangle of the product logic, with the semantics of CGRect:
// double fields, a possibly negative size, min/max/mid read off the
// standardized rectangle, and a null rectangle for empty intersections.

#include <limits>

namespace vistrel {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;

  Rect() = default;
  Rect(double x, double y, double width, double height) : x(x), y(y), w(width), h(height) {}
  Rect(Point origin, Size size) : x(origin.x), y(origin.y), w(size.width), h(size.height) {}

  // The null rectangle: the result of intersecting rectangles that do not meet.
  static Rect null() {
    const double inf = std::numeric_limits<double>::infinity();
    return {inf, inf, 0, 0};
  }
  bool isNull() const { return x == std::numeric_limits<double>::infinity() ||
                               y == std::numeric_limits<double>::infinity(); }
  bool isEmpty() const { return isNull() || w == 0 || h == 0; }

  Point origin() const { return {x, y}; }
  Size size() const { return {w, h}; }

  Rect standardized() const;
  Rect integral() const;
  Rect intersection(const Rect& other) const;
  Rect insetBy(double dx, double dy) const;
  Rect offsetBy(double dx, double dy) const { return isNull() ? *this : Rect{x + dx, y + dy, w, h}; }
  bool contains(Point p) const;
  bool intersects(const Rect& other) const { return !intersection(other).isNull(); }

  // Like CGRect, the accessors read the standardized rectangle.
  double width() const { return w < 0 ? -w : w; }
  double height() const { return h < 0 ? -h : h; }
  double minX() const { return w < 0 ? x + w : x; }
  double minY() const { return h < 0 ? y + h : y; }
  double maxX() const { return minX() + width(); }
  double maxY() const { return minY() + height(); }
  double midX() const { return minX() + width() / 2; }
  double midY() const { return minY() + height() / 2; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vistrel
