#include "layout/WindowSnapGeometry.h"

#include <algorithm>
#include <numeric>

namespace vistrel::WindowSnapGeometry {

std::optional<Rect> rect(WindowSnap snap, const Rect& current, const Rect& visible) {
  const double x0 = visible.minX();
  const double y0 = visible.minY();
  const double w = visible.width();
  const double h = visible.height();
  const double third = w / 3;
  const double twoThirds = (w + w) / 3;

  switch (snap) {
    case WindowSnap::leftHalf: return Rect(x0, y0, w / 2, h);
    case WindowSnap::rightHalf: return Rect(x0 + w / 2, y0, w / 2, h);
    case WindowSnap::centerHalf: return Rect(x0 + w * 0.25, y0, w / 2, h);
    case WindowSnap::topHalf: return Rect(x0, y0 + h / 2, w, h / 2);
    case WindowSnap::bottomHalf: return Rect(x0, y0, w, h / 2);
    case WindowSnap::topLeft: return Rect(x0, y0 + h / 2, w / 2, h / 2);
    case WindowSnap::topRight: return Rect(x0 + w / 2, y0 + h / 2, w / 2, h / 2);
    case WindowSnap::bottomLeft: return Rect(x0, y0, w / 2, h / 2);
    case WindowSnap::bottomRight: return Rect(x0 + w / 2, y0, w / 2, h / 2);
    case WindowSnap::firstThird: return Rect(x0, y0, third, h);
    case WindowSnap::centerThird: return Rect(x0 + third, y0, third, h);
    case WindowSnap::lastThird: return Rect(x0 + twoThirds, y0, third, h);
    case WindowSnap::firstTwoThirds: return Rect(x0, y0, twoThirds, h);
    case WindowSnap::lastTwoThirds: return Rect(x0 + third, y0, twoThirds, h);
    case WindowSnap::maximize: return Rect(x0, y0, w, h);
    // Below 32 points in either direction the inset is negative; it is passed
    // on as computed and the settle sequence makes of it what the window allows.
    case WindowSnap::almostMaximize: return Rect(x0 + 16, y0 + 16, w - 32, h - 32);
    case WindowSnap::maximizeHeight: return fit(Rect(current.minX(), y0, current.width(), h), visible);
    case WindowSnap::larger: return resized(current, visible, +1);
    case WindowSnap::smaller: return resized(current, visible, -1);
    case WindowSnap::center: {
      const double cw = std::min(current.width(), w);
      const double ch = std::min(current.height(), h);
      return Rect(visible.midX() - cw / 2, visible.midY() - ch / 2, cw, ch);
    }
    case WindowSnap::restore:
    case WindowSnap::nextDisplay:
    case WindowSnap::previousDisplay: return std::nullopt;
  }
  return std::nullopt;
}

Rect fit(const Rect& r, const Rect& bounds) {
  Rect result(r.x, r.y, std::min(r.width(), bounds.width()), std::min(r.height(), bounds.height()));
  if (result.minX() < bounds.minX()) result.x = bounds.minX();
  if (result.minY() < bounds.minY()) result.y = bounds.minY();
  if (result.maxX() > bounds.maxX()) result.x = bounds.maxX() - result.width();
  if (result.maxY() > bounds.maxY()) result.y = bounds.maxY() - result.height();
  return result;
}

Rect placed(const Rect& current, const Rect& from, const Rect& onto) {
  const double fx = from.width() > 0 ? (current.midX() - from.minX()) / from.width() : 0.5;
  const double fy = from.height() > 0 ? (current.midY() - from.minY()) / from.height() : 0.5;
  const double w = std::min(current.width(), onto.width());
  const double h = std::min(current.height(), onto.height());
  return fit(Rect(onto.minX() + fx * onto.width() - w / 2, onto.minY() + fy * onto.height() - h / 2, w, h), onto);
}

Rect resized(const Rect& current, const Rect& visible, int delta) {
  const double stepX = std::max(visible.width() * 0.08, 32.0);
  const double stepY = std::max(visible.height() * 0.08, 32.0);
  const double w = std::min(std::max(current.width() + delta * stepX, 280.0), visible.width());
  const double h = std::min(std::max(current.height() + delta * stepY, 180.0), visible.height());
  return fit(Rect(current.midX() - w / 2, current.midY() - h / 2, w, h), visible);
}

std::optional<Rect> displayMove(const Rect& current, int delta, const std::vector<DisplayFrames>& displays,
                                std::optional<std::size_t> windowDisplay) {
  const std::size_t n = displays.size();
  if (n < 2 || !windowDisplay || *windowDisplay >= n) return std::nullopt;

  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const Rect& fa = displays[a].frame;
    const Rect& fb = displays[b].frame;
    if (fa.minX() != fb.minX()) return fa.minX() < fb.minX();
    return fa.minY() < fb.minY();
  });

  const auto i = std::size_t(std::find(order.begin(), order.end(), *windowDisplay) - order.begin());
  const auto count = static_cast<long long>(n);
  const auto next = std::size_t(((static_cast<long long>(i) + delta) % count + count) % count);
  return placed(current, displays[order[i]].visibleFrame, displays[order[next]].visibleFrame);
}

}  // namespace vistrel::WindowSnapGeometry
