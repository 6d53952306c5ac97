#include "capture/PinWindow.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace vistrel {

namespace {

constexpr int kCloseDiameter = 20;
constexpr int kCloseInset = 6;

}  // namespace

PinWindow::PinWindow(const QImage& image, QSize contentSize)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
  setFixedSize(contentSize);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Scaled once here rather than at every repaint: screenshots are large and
  // the close button repaints on every hover change.
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(contentSize) * ratio).toSize();
  image_ = image.size() == pixels ? image : image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  image_.setDevicePixelRatio(ratio);
}

QRect PinWindow::closeButtonRect() const {
  return {width() - kCloseInset - kCloseDiameter, kCloseInset, kCloseDiameter, kCloseDiameter};
}

void PinWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(rect(), image_);
  if (!hovered_) return;
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF button = closeButtonRect();
  painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
  painter.setBrush(QColor(0, 0, 0, 160));
  painter.drawEllipse(button.adjusted(0.5, 0.5, -0.5, -0.5));
  const QRectF cross = button.adjusted(6.5, 6.5, -6.5, -6.5);
  painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(cross.topLeft(), cross.bottomRight());
  painter.drawLine(cross.topRight(), cross.bottomLeft());
}

void PinWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void PinWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (hovered_ && closeButtonRect().contains(event->position().toPoint())) {
    pressedOnClose_ = true;
    return;
  }
  drag_ = Drag::pressed;
  lastGlobal_ = event->globalPosition().toPoint();
}

void PinWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  if (drag_ == Drag::pressed) {
    // The window manager moves it when it can: it knows snapping, edges and
    // other desktops. Otherwise we follow the pointer ourselves.
    const bool managed = windowHandle() && windowHandle()->startSystemMove();
    drag_ = managed ? Drag::byManager : Drag::byUs;
  }
  if (drag_ != Drag::byUs) return;
  const QPoint global = event->globalPosition().toPoint();
  move(pos() + (global - lastGlobal_));
  lastGlobal_ = global;
}

void PinWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool closing = pressedOnClose_ && closeButtonRect().contains(event->position().toPoint());
  pressedOnClose_ = false;
  drag_ = Drag::none;
  if (closing) close();
}

void PinWindow::enterEvent(QEnterEvent*) {
  hovered_ = true;
  update(closeButtonRect());
}

void PinWindow::leaveEvent(QEvent*) {
  hovered_ = false;
  update(closeButtonRect());
}

}  // namespace vistrel
