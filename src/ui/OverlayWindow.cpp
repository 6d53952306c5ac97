#include "ui/OverlayWindow.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <cmath>
#include <variant>

#include "base/KeyCodes.h"
#include "platform/Platform.h"

namespace vistrel::overlay {

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
  // A full-screen window hides what lies under it, composited or not.
  const bool seeThrough =
      platform::current().floatingWindows().overlayStyle() == platform::OverlayStyle::aboveEverything;
  if (capture.compositorRunning() && seeThrough) return backdrops;
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

OverlayWindow::OverlayWindow(platform::Screen screen, Backdrop backdrop, ScreenSpace::GlobalSpace space)
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

void OverlayWindow::setVisible(bool visible) {
  auto& floating = platform::current().floatingWindows();
  if (visible && isHidden() && floating.overlayStyle() == platform::OverlayStyle::fullScreen) {
    // The window manager lists it: a name per screen tells the overlays apart.
    setWindowTitle(QString::fromStdString("Vistrel selection on " + screen_.name));
    create();
    // The compositor may configure the window again at the size it has (sway,
    // once it has moved it to its output) and then wait for a new frame before
    // it shows the window there; Qt 6.4 sends none for such a configure, so
    // sway shows the overlay only when its wait times out (200 ms later).
    // Every exposure paints anew.
    windowHandle()->installEventFilter(this);
    floating.placeOverlay(*windowHandle(), screen_);
    setWindowState(windowState() | Qt::WindowFullScreen);
  }
  QWidget::setVisible(visible);
}

bool OverlayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose) update();
  return QWidget::eventFilter(watched, event);
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

void OverlayWindow::reset(platform::Screen screen, Backdrop backdrop, ScreenSpace::GlobalSpace space) {
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

bool isCancelKey(const platform::KeyEvent& event) {
  using platform::KeyEvent;
  if (event.keyCode == KeyCode::escape) return true;
  return (event.modifierFlags & (KeyEvent::kCommand | KeyEvent::kControl)) && event.charactersIgnoringModifiers == ".";
}

}  // namespace vistrel::overlay
