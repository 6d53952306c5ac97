#include "platform/linux/QtEventMonitors.h"

#include <QWindow>

namespace vistrel::desktop {

bool QtEventMonitors::grabInput(QWindow& window) {
  if (!window.setKeyboardGrabEnabled(true)) return false;
  if (!window.setMouseGrabEnabled(true)) {
    window.setKeyboardGrabEnabled(false);  // all or nothing
    return false;
  }
  return true;
}

bool QtEventMonitors::grabKeyboard(QWindow& window) { return window.setKeyboardGrabEnabled(true); }

void QtEventMonitors::releaseInput(QWindow& window) {
  window.setMouseGrabEnabled(false);
  window.setKeyboardGrabEnabled(false);
}

}  // namespace vistrel::desktop
