#include "platform/wayland/WaylandEventMonitors.h"

#include <QWindow>

namespace vistrel::wayland {

bool WaylandEventMonitors::grabInput(QWindow& window) {
  if (!window.isExposed()) return false;
  if (window.isActive()) return true;
  window.requestActivate();
  return false;
}

}  // namespace vistrel::wayland
