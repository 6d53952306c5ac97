#include "ui/ScreenSpace.h"

#include <QGuiApplication>
#include <QScreen>

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

namespace {

// How Qt scales `screen`, whose unscaled global coordinates are `unscaled`:
// as the QScreen holding its centre, else as the primary QScreen; not at all
// without screens.
QtScale qtScaleOf(const platform::Screen& screen, const QRectF& unscaled) {
  const double scale = screen.scale > 0 ? screen.scale : 1;
  for (const QScreen* qtScreen : QGuiApplication::screens()) {
    const QRect logical = qtScreen->geometry();
    const double ratio = qtScreen->devicePixelRatio() / scale;
    if (QRectF(logical.topLeft(), QSizeF(logical.size()) * ratio).contains(unscaled.center())) {
      return {logical.topLeft(), ratio};
    }
  }
  if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    return {primary->geometry().topLeft(), primary->devicePixelRatio() / scale};
  }
  return {};
}

double distance(const QRectF& rect, QPointF point) {
  const double dx = std::max({rect.left() - point.x(), 0.0, point.x() - rect.right()});
  const double dy = std::max({rect.top() - point.y(), 0.0, point.y() - rect.bottom()});
  return std::hypot(dx, dy);
}

QPointF scaledDown(QPointF unscaled, const QtScale& scale) {
  return scale.origin + (unscaled - scale.origin) / scale.ratio;
}

QPointF scaledUp(QPointF global, const QtScale& scale) { return scale.origin + (global - scale.origin) * scale.ratio; }

QRectF scaledDown(const QRectF& unscaled, const QtScale& scale) {
  return {scaledDown(unscaled.topLeft(), scale), unscaled.size() / scale.ratio};
}

// The screen whose `rect` holds `point`, else the nearest; none without screens.
template <class Mapped>
const Mapped* holding(const std::vector<Mapped>& screens, QPointF point, QRectF Mapped::*rect) {
  const Mapped* nearest = nullptr;
  double best = std::numeric_limits<double>::infinity();
  for (const Mapped& screen : screens) {
    const double d = distance(screen.*rect, point);
    if (d == 0) return &screen;
    if (d < best) {
      best = d;
      nearest = &screen;
    }
  }
  return nearest;
}

}  // namespace

GlobalSpace::GlobalSpace(const std::vector<platform::Screen>& screens) : GlobalSpace(screens, {}) {
  for (std::size_t i = 0; i < screens_.size(); ++i) {
    Mapped& mapped = screens_[i];
    mapped.scale = qtScaleOf(screens[i], mapped.unscaled);
    mapped.logical = scaledDown(mapped.unscaled, mapped.scale);
  }
}

GlobalSpace::GlobalSpace(const std::vector<platform::Screen>& screens, std::vector<QtScale> scales) {
  if (screens.empty()) return;
  left_ = std::numeric_limits<double>::infinity();
  top_ = -std::numeric_limits<double>::infinity();
  for (const auto& screen : screens) {
    left_ = std::min(left_, screen.frame.minX());
    top_ = std::max(top_, screen.frame.maxY());
  }
  for (std::size_t i = 0; i < screens.size(); ++i) {
    Mapped mapped;
    mapped.frame = screens[i].frame;
    mapped.unscaled = QRectF(unscaledOf({mapped.frame.minX(), mapped.frame.maxY()}),
                           QSizeF(mapped.frame.width(), mapped.frame.height()));
    if (i < scales.size()) mapped.scale = scales[i];
    mapped.logical = scaledDown(mapped.unscaled, mapped.scale);
    screens_.push_back(mapped);
  }
}

const GlobalSpace::Mapped* GlobalSpace::holdingUnscaled(QPointF unscaled) const {
  return holding(screens_, unscaled, &Mapped::unscaled);
}

const GlobalSpace::Mapped* GlobalSpace::holdingGlobal(QPointF global) const {
  return holding(screens_, global, &Mapped::logical);
}

QPointF GlobalSpace::toGlobal(Point appKit) const {
  const QPointF unscaled = unscaledOf(appKit);
  const Mapped* screen = holdingUnscaled(unscaled);
  return screen ? scaledDown(unscaled, screen->scale) : unscaled;
}

Point GlobalSpace::fromGlobal(QPointF global) const { return fromUnscaled(toUnscaled(global)); }

QPointF GlobalSpace::toUnscaled(QPointF global) const {
  const Mapped* screen = holdingGlobal(global);
  return screen ? scaledUp(global, screen->scale) : global;
}

Point GlobalSpace::fromUnscaled(QPointF unscaled) const {
  return {std::round(unscaled.x()) + left_, top_ - std::round(unscaled.y())};
}

QRectF GlobalSpace::toGlobal(const Rect& appKit) const {
  const QRectF unscaled(unscaledOf({appKit.minX(), appKit.maxY()}), QSizeF(appKit.width(), appKit.height()));
  const Mapped* screen = holdingUnscaled(unscaled.center());
  return screen ? scaledDown(unscaled, screen->scale) : unscaled;
}

QRectF GlobalSpace::toLocal(const Rect& appKit, const Rect& screenFrame) const {
  const double ratio = ratioAt({screenFrame.midX(), screenFrame.midY()});
  return {(appKit.minX() - screenFrame.minX()) / ratio, (screenFrame.maxY() - appKit.maxY()) / ratio,
          appKit.width() / ratio, appKit.height() / ratio};
}

double GlobalSpace::ratioAt(Point appKit) const {
  const Mapped* screen = holdingUnscaled(unscaledOf(appKit));
  return screen ? screen->scale.ratio : 1;
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
