#include "platform/wayland/WaylandFloatingWindows.h"

#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QWindow>

#include <unistd.h>

namespace vistrel::wayland {

namespace {

constexpr double kIpcSeconds = 0.5;

// A title as a quoted sway criteria value: a regular expression matching it exactly.
std::string exactTitle(const QString& title) {
  QString pattern = QRegularExpression::escape(title);
  pattern.replace('"', "\\\"");
  return "\"^" + pattern.toStdString() + "$\"";
}

}  // namespace

void WaylandFloatingWindows::keepOnAllDesktops(QWindow& window) {
  if (!sway_) return;
  // sway learns of the window when it is mapped: the commands wait for the first exposure.
  QPointer<QWindow> target(&window);
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection = QObject::connect(&window, &QWindow::visibleChanged, &window, [this, target, connection](bool shown) {
    if (!shown || !target) return;
    QObject::disconnect(*connection);
    const std::string criteria = "[pid=" + std::to_string(::getpid()) + " title=" + exactTitle(target->title()) + "] ";
    const auto reply = sway_->command(criteria + "floating enable, sticky enable", deadlineAfter(kIpcSeconds));
    if (!reply.value) qWarning("vistrel wayland: a pinned window stays on one workspace: %s", reply.error.c_str());
  });
}

void WaylandFloatingWindows::placeOverlay(QWindow& window, const platform::Screen& screen) {
  for (QScreen* candidate : QGuiApplication::screens()) {
    if (candidate->name().toStdString() == screen.name) {
      window.setScreen(candidate);
      return;
    }
  }
}

}  // namespace vistrel::wayland
