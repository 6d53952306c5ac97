#include "update/FloatingPanel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace vistrel {

namespace {

constexpr double kCornerRadius = 16;

}  // namespace

FloatingPanel::FloatingPanel(int width)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), width_(width) {
  // The corners outside the rounded background stay clear where a compositor runs.
  setAttribute(Qt::WA_TranslucentBackground);
  setFocusPolicy(Qt::StrongFocus);
  setFixedWidth(width);
}

void FloatingPanel::fitHeight() {
  int height = sizeHint().height();
  if (layout() && layout()->hasHeightForWidth()) height = layout()->totalHeightForWidth(width_);
  setFixedHeight(height);
}

void FloatingPanel::present() {
  fitHeight();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  show();
  raise();
  activateWindow();
  setFocus(Qt::ActiveWindowFocusReason);
}

QColor FloatingPanel::textColor() { return QColor::fromRgbF(0.11, 0.11, 0.13); }
QColor FloatingPanel::secondaryTextColor() { return QColor::fromRgbF(0.40, 0.40, 0.44); }

QLabel* FloatingPanel::label(const QString& text, int pixelSize, QFont::Weight weight, const QColor& color) {
  auto* l = new QLabel(text);
  QFont font = l->font();
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  l->setFont(font);
  l->setWordWrap(true);
  l->setTextFormat(Qt::PlainText);
  QPalette palette = l->palette();
  palette.setColor(QPalette::WindowText, color);
  l->setPalette(palette);
  return l;
}

void FloatingPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.14), 1));
  p.setBrush(QColor::fromRgbF(0.975, 0.975, 0.98));
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
}

void FloatingPanel::mousePressEvent(QMouseEvent* event) {
  // A press on the background (not on a control) moves the panel, through the window manager.
  if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

}  // namespace vistrel
