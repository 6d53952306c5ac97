#include "platform/x11/TrayStatusItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "platform/x11/SessionBus.h"

namespace vistrel::x11 {

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
}

void TrayStatusItem::setImage(const QImage& image, bool isTemplate) {
  QIcon icon(QPixmap::fromImage(image));
  icon.setIsMask(isTemplate);
  icon_.setIcon(icon);
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

}  // namespace vistrel::x11
