#include "capture/OverlayWindow.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>
#include <variant>

#include "app/log/LayoutLog.h"
#include "platform/Platform.h"

namespace vistrel::overlay {

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

QRectF flipped(const Rect& bottomUp, double height) {
  return {bottomUp.minX(), height - bottomUp.maxY(), bottomUp.width(), bottomUp.height()};
}

void dimAround(QPainter& painter, const QRectF& bounds, const QRectF& hole, const QColor& dim) {
  if (hole.isEmpty()) {
    painter.fillRect(bounds, dim);
    return;
  }
  const QRectF h = hole.intersected(bounds);
  painter.fillRect(QRectF(bounds.left(), bounds.top(), bounds.width(), h.top() - bounds.top()), dim);
  painter.fillRect(QRectF(bounds.left(), h.bottom(), bounds.width(), bounds.bottom() - h.bottom()), dim);
  painter.fillRect(QRectF(bounds.left(), h.top(), h.left() - bounds.left(), h.height()), dim);
  painter.fillRect(QRectF(h.right(), h.top(), bounds.right() - h.right(), h.height()), dim);
}

void paintHint(QPainter& painter, const QSizeF& bounds, const QString& text) {
  QFont font = QApplication::font();
  font.setPixelSize(15);
  font.setWeight(QFont::DemiBold);
  const QFontMetricsF metrics(font);
  const double w = metrics.horizontalAdvance(text);
  const double h = metrics.height();
  const double x = (bounds.width() - w) * 0.5;
  const double top = 48;
  QPainterPath pill;
  pill.addRoundedRect(QRectF(x - 14, top - 8, w + 28, h + 16), 10, 10);
  painter.fillPath(pill, QColor::fromRgbF(0, 0, 0, 0.55));
  painter.setFont(font);
  painter.setPen(QColor::fromRgbF(1, 1, 1, 0.92));
  painter.drawText(QRectF(x, top, w, h), Qt::AlignCenter | Qt::TextSingleLine, text);
}

std::vector<Backdrop> takeBackdrops(const std::vector<platform::Screen>& screens) {
  auto& capture = platform::current().screenCapture();
  std::vector<Backdrop> backdrops(screens.size());
  if (capture.compositorRunning()) return backdrops;
  for (std::size_t i = 0; i < screens.size(); ++i) {
    const auto& screen = screens[i];
    platform::CaptureConfiguration configuration;
    configuration.width = int(std::lround(screen.frame.width() * screen.scale));
    configuration.height = int(std::lround(screen.frame.height() * screen.scale));
    configuration.showsCursor = false;
    backdrops[i].translucent = false;
    auto picture = capture.captureDisplay(screen.displayID, configuration);
    if (auto* image = std::get_if<QImage>(&picture)) backdrops[i].picture = std::move(*image);
  }
  return backdrops;
}

OverlayWindow::OverlayWindow(platform::Screen screen, Backdrop backdrop, GlobalSpace space)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint),
      screen_(std::move(screen)),
      backdrop_(std::move(backdrop)),
      space_(space) {
  if (backdrop_.translucent) {
    setAttribute(Qt::WA_TranslucentBackground);
  } else {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  setFocusPolicy(Qt::StrongFocus);
  setGeometry(space_.toGlobal(screen_.frame).toAlignedRect());
}

void OverlayWindow::present() {
  show();
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

void OverlayWindow::dismiss() { hide(); }

bool OverlayWindow::fits(const platform::Screen& screen, const Backdrop& backdrop) const {
  return isHidden() && screen.frame == screen_.frame && screen.scale == screen_.scale &&
         backdrop.translucent == backdrop_.translucent;
}

void OverlayWindow::reset(platform::Screen screen, Backdrop backdrop, GlobalSpace space) {
  screen_ = std::move(screen);
  backdrop_ = std::move(backdrop);
  space_ = space;
  setGeometry(space_.toGlobal(screen_.frame).toAlignedRect());
}

Point OverlayWindow::screenPoint(const QMouseEvent& event) const {
  // Qt rounds the position of a pointer event on a scaled screen to whole
  // logical units, up to a ratio's worth of points off; the windowing system
  // may know the point.
  const QPointF unscaled = space_.toUnscaled(event.globalPosition());
  const auto exact = platform::current().eventMonitors().pointerEventPosition(event.timestamp(), unscaled);
  const double ratio = space_.ratioAt(space_.fromUnscaled(unscaled));
  if (exact && std::abs(exact->x() - unscaled.x()) <= ratio && std::abs(exact->y() - unscaled.y()) <= ratio) {
    return space_.fromUnscaled(*exact);
  }
  return space_.fromUnscaled(unscaled);
}

void OverlayWindow::paintBackdrop(QPainter& painter) {
  if (backdrop_.translucent) return;
  if (backdrop_.picture.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  // The picture has the screen's device pixels; drawn over the screen's own
  // rectangle, each lands on one device pixel, without resampling.
  painter.drawImage(localRect(screen_.frame), backdrop_.picture);
}

void InputGrab::start(QWindow* window, std::function<void()> onFailure) {
  release();
  state_ = std::make_shared<State>();
  state_->window = window;
  state_->onFailure = std::move(onFailure);
  attempt(state_, 0);
}

void InputGrab::release() {
  if (!state_) return;
  if (state_->held && state_->window) platform::current().eventMonitors().releaseInput(*state_->window);
  state_.reset();
}

void InputGrab::attempt(const std::weak_ptr<State>& weak, int step) {
  const auto state = weak.lock();
  if (!state) return;
  if (state->window && platform::current().eventMonitors().grabInput(*state->window)) {
    state->held = true;
    return;
  }
  if (step + 1 < kAttempts) {
    platform::current().clock().after(kRetrySeconds, [weak, step] { attempt(weak, step + 1); });
    return;
  }
  LayoutLog::write("capture-grab-failed");
  if (auto failed = std::exchange(state->onFailure, nullptr)) failed();
}

platform::KeyEvent keyEventFrom(const QKeyEvent& event) {
  using platform::KeyEvent;
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  const bool keypad = modifiers & Qt::KeypadModifier;
  KeyEvent key;
  switch (event.key()) {
    case Qt::Key_Escape: key.keyCode = 53; break;
    case Qt::Key_Return: key.keyCode = 36; break;
    case Qt::Key_Tab: key.keyCode = 48; break;
    case Qt::Key_Enter: key.keyCode = 76; break;
    case Qt::Key_Period: key.keyCode = keypad ? 65 : 47; break;
    default: key.keyCode = kNoKeyCode; break;
  }
  if (modifiers & Qt::ShiftModifier) key.modifierFlags |= KeyEvent::kShift;
  if (modifiers & Qt::ControlModifier) key.modifierFlags |= KeyEvent::kControl;
  if (modifiers & Qt::AltModifier) key.modifierFlags |= KeyEvent::kOption;
  if (modifiers & Qt::MetaModifier) key.modifierFlags |= KeyEvent::kCommand;
  if (keypad) key.modifierFlags |= KeyEvent::kNumericPad;
  // With Control held Qt's text is a control character; the key itself names
  // the character for every printable key.
  const int code = event.key();
  if (code >= 0x20 && code < 0x7F) {
    key.charactersIgnoringModifiers = QString(QChar(code)).toLower().toStdString();
  } else {
    key.charactersIgnoringModifiers = event.text().toStdString();
  }
  return key;
}

bool isCancelKey(const platform::KeyEvent& event) {
  using platform::KeyEvent;
  if (event.keyCode == 53) return true;
  return (event.modifierFlags & (KeyEvent::kCommand | KeyEvent::kControl)) && event.charactersIgnoringModifiers == ".";
}

}  // namespace vistrel::overlay
