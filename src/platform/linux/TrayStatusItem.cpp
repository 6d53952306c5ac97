#include "platform/linux/TrayStatusItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "platform/linux/SessionBus.h"

namespace vistrel::desktop {

std::optional<platform::StatusClick> statusClick(QSystemTrayIcon::ActivationReason reason,
                                                 Qt::KeyboardModifiers modifiers) {
  using Button = platform::StatusClick::Button;
  const bool control = modifiers.testFlag(Qt::ControlModifier);
  switch (reason) {
    case QSystemTrayIcon::Trigger: return platform::StatusClick{Button::left, control};
    case QSystemTrayIcon::Context: return platform::StatusClick{Button::right, control};
    case QSystemTrayIcon::MiddleClick: return platform::StatusClick{Button::middle, control};
    default: return std::nullopt;
  }
}

namespace {

// Qt looks for a tray host on the session bus, which must not be launched on
// demand for it (see SessionBus.h).
bool trayAvailable() {
  sessionBusAddressWithoutAutolaunch();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

constexpr int kTrayWatchMs = 1000;
constexpr int kPlacementRetries = 8;
constexpr int kPlacementRetryMs = 250;

// Black or white, against the mean brightness of the panel pixels at the edges
// of the icon's place (its middle is the icon itself).
std::optional<QColor> contrastingColor(const QRect& place) {
  if (place.isEmpty()) return std::nullopt;
  QScreen* screen = QGuiApplication::screenAt(place.center());
  if (!screen) return std::nullopt;
  const QRect local = place.translated(-screen->geometry().topLeft());
  const QImage behind = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
  if (behind.isNull()) return std::nullopt;
  double sum = 0;
  int count = 0;
  for (int x = 0; x < behind.width(); ++x)
    for (int y : {0, behind.height() - 1}) {
      sum += qGray(behind.pixel(x, y));
      ++count;
    }
  if (count == 0) return std::nullopt;
  return sum / count < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

QImage tinted(const QImage& mask, const QColor& color) {
  QImage out = mask.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&out);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(out.rect(), color);
  return out;
}

}  // namespace

TrayStatusItem::TrayStatusItem() : hasButton_(trayAvailable()) {
  // Until the product sets its image, the theme's program icon stands in, so
  // an icon that embeds in a late tray is not blank.
  icon_.setIcon(QIcon::fromTheme(QStringLiteral("vistrel"), QGuiApplication::windowIcon()));
  QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_, [this](QSystemTrayIcon::ActivationReason reason) {
    const auto click = statusClick(reason, QGuiApplication::keyboardModifiers());
    if (!click || !handler_) return;
    const auto handler = handler_;  // the handler may replace itself
    handler(*click);
  });
  icon_.show();
  if (!hasButton_) {
    trayWatch_ = new QTimer(&icon_);
    QObject::connect(trayWatch_, &QTimer::timeout, &icon_, [this] {
      if (!trayAvailable()) return;
      hasButton_ = true;
      trayWatch_->deleteLater();
      trayWatch_ = nullptr;
      if (appeared_) appeared_();
    });
    trayWatch_->start(kTrayWatchMs);
  }
}

void TrayStatusItem::setButtonAppearedHandler(std::function<void()> handler) { appeared_ = std::move(handler); }

void TrayStatusItem::setImage(const QImage& image, bool isTemplate) {
  if (isTemplate) {
    template_ = image;
    applyTemplate(kPlacementRetries);
    return;
  }
  template_.reset();
  icon_.setIcon(QIcon(QPixmap::fromImage(image)));
}

void TrayStatusItem::applyTemplate(int retriesLeft) {
  if (!template_) return;
  const auto color = contrastingColor(icon_.geometry());
  QIcon icon(QPixmap::fromImage(tinted(*template_, color.value_or(QGuiApplication::palette().color(QPalette::WindowText)))));
  icon.setIsMask(true);
  icon_.setIcon(icon);
  if (color || retriesLeft <= 0) return;
  const QImage pending = *template_;
  QTimer::singleShot(kPlacementRetryMs, &icon_, [this, pending, retriesLeft] {
    // A newer image has its own retries.
    if (template_ && template_->cacheKey() == pending.cacheKey()) applyTemplate(retriesLeft - 1);
  });
}

void TrayStatusItem::setToolTip(const std::string& text) { icon_.setToolTip(QString::fromStdString(text)); }

void TrayStatusItem::setClickHandler(std::function<void(platform::StatusClick)> handler) {
  handler_ = std::move(handler);
}

void TrayStatusItem::popUpMenu(QMenu& menu) {
  const QRect icon = icon_.geometry();
  const QPoint below = icon.isEmpty() ? QCursor::pos() : QPoint(icon.left(), icon.top() + icon.height() + 4);
  // Qt moves the menu back onto the screen when the tray sits at its bottom edge.
  menu.popup(below);
}

}  // namespace vistrel::desktop
