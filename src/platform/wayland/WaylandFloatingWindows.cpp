#include "platform/wayland/WaylandFloatingWindows.h"

#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <unistd.h>

namespace vistrel::wayland {

namespace {

constexpr double kIpcSeconds = 0.5;
// How often, and how many times, an overlay is looked for in sway's tree until it is mapped.
constexpr int kPlacementInterval = 10;
constexpr int kPlacementAttempts = 100;

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
    if (candidate->name().toStdString() == screen.name) window.setScreen(candidate);
  }
  if (!sway_ || QGuiApplication::screens().size() < 2) return;
  // Qt 6.4 asks for full screen on no output in particular, and sway maps a
  // new window on the focused workspace: once sway has mapped the overlay
  // (it is then in the tree), the IPC moves it to its output, full screen.
  const std::string commands = "[pid=" + std::to_string(::getpid()) + " title=" + exactTitle(window.title()) +
                               "] move container to output \"" + screen.name + "\", fullscreen enable";
  QPointer<QWindow> target(&window);
  auto* timer = new QTimer(&window);
  timer->setInterval(kPlacementInterval);
  QObject::connect(timer, &QTimer::timeout, timer, [this, target, timer, commands, attempts = 0]() mutable {
    const bool done =
        !target || !target->isVisible() || sway_->command(commands, deadlineAfter(kIpcSeconds)).value.has_value();
    if (!done && ++attempts < kPlacementAttempts) return;
    if (!done) qWarning("vistrel wayland: an overlay stays on the focused output: sway did not map it in time");
    timer->deleteLater();
  });
  timer->start();
}

}  // namespace vistrel::wayland
