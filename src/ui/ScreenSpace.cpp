#include "ui/ScreenSpace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/Platform.h"

namespace vistrel {

namespace ScreenSpace {

namespace {

std::vector<platform::Screen> screens() { return platform::current().screens().screens(); }
std::optional<platform::Screen> mainScreen() { return platform::current().screens().mainScreen(); }

}  // namespace

double primaryTop() {
  for (const auto& screen : screens())
    if (std::abs(screen.frame.minX()) <= 0.5 && std::abs(screen.frame.minY()) <= 0.5) return screen.frame.maxY();
  if (const auto main = mainScreen()) return main->frame.maxY();
  return 0;
}

Rect flipped(const Rect& rect, double top) { return Rect(rect.x, top - rect.minY() - rect.height(), rect.w, rect.h); }

Point flipped(Point point, double top) { return {point.x, top - point.y}; }

std::optional<platform::Screen> screenWithMostOf(const Rect& rect) {
  const auto all = screens();
  std::optional<platform::Screen> best;
  double bestArea = 0;
  for (const auto& screen : all) {
    const Rect overlap = screen.frame.intersection(rect);
    const double a = overlap.isNull() ? 0 : overlap.width() * overlap.height();
    if (!best || a > bestArea) {
      best = screen;
      bestArea = a;
    }
  }
  if (best && bestArea > 1) return best;
  const Point centre{rect.midX(), rect.midY()};
  for (const auto& screen : all)
    if (screen.frame.contains(centre)) return screen;
  return mainScreen();
}

std::optional<platform::Screen> screenAtCentreOf(const Rect& rect) {
  const Point centre{rect.midX(), rect.midY()};
  for (const auto& screen : screens()) {
    if (screen.frame.contains(centre)) return screen;
  }
  return std::nullopt;
}

std::optional<platform::Screen> screenUnderMouse() {
  auto& displays = platform::current().screens();
  const Point mouse = displays.mouseLocation();
  for (const auto& screen : displays.screens()) {
    if (screen.frame.contains(mouse)) return screen;
  }
  return displays.mainScreen();
}

Rect pixelRect(const Rect& points, const Rect& screenFrame, double pictureWidth, double pictureHeight) {
  const double sx = pictureWidth / std::max(screenFrame.width(), 1.0);
  const double sy = pictureHeight / std::max(screenFrame.height(), 1.0);
  return Rect(sx * (points.minX() - screenFrame.minX()),
              pictureHeight - sy * (points.minY() - screenFrame.minY()) - sy * points.height(), sx * points.width(),
              sy * points.height())
      .integral()
      .intersection(Rect(0, 0, pictureWidth, pictureHeight));
}

GlobalSpace::GlobalSpace(const std::vector<platform::Screen>& all) {
  if (all.empty()) return;
  left_ = std::numeric_limits<double>::infinity();
  top_ = -std::numeric_limits<double>::infinity();
  for (const auto& screen : all) {
    left_ = std::min(left_, screen.frame.minX());
    top_ = std::max(top_, screen.frame.maxY());
  }
}

QPointF GlobalSpace::toGlobal(Point appKit) const { return {appKit.x - left_, top_ - appKit.y}; }

Point GlobalSpace::fromGlobal(QPointF global) const { return {global.x() + left_, top_ - global.y()}; }

QRectF GlobalSpace::toGlobal(const Rect& appKit) const {
  return {appKit.minX() - left_, top_ - appKit.maxY(), appKit.width(), appKit.height()};
}

QRectF localRect(const Rect& appKit, const Rect& screenFrame) {
  return {appKit.minX() - screenFrame.minX(), screenFrame.maxY() - appKit.maxY(), appKit.width(), appKit.height()};
}

QRectF viewRect(const Rect& bottomUp, double height) {
  return {bottomUp.minX(), height - bottomUp.maxY(), bottomUp.width(), bottomUp.height()};
}

}  // namespace ScreenSpace

namespace EditorDisplayMath {

PixelScale pixelScaleForEditor(double imageWidth, double imageHeight, const std::vector<Rect>& screens) {
  std::optional<PixelScale> best;
  double bestScore = std::numeric_limits<double>::infinity();
  for (const Rect& frame : screens) {
    if (!(frame.width() > 40 && frame.height() > 40)) continue;
    const double sx = imageWidth / frame.width();
    const double sy = imageHeight / frame.height();
    // Equal scales on both axes matter most, whole-number scales next.
    const double score =
        2000 * std::abs(sx - sy) + (std::abs(sx - std::round(sx)) + std::abs(sy - std::round(sy)));
    if (score < bestScore) {
      bestScore = score;
      best = PixelScale{sx, sy};
    }
  }
  if (best) return *best;
  const double s = std::max(std::round(std::max(imageWidth, imageHeight) / 1512), 1.0);
  return {s, s};
}

}  // namespace EditorDisplayMath

}  // namespace vistrel
