#include "platform/x11/X11EventMonitors.h"

#include <QWindow>

namespace vistrel::x11 {

bool X11EventMonitors::grabInput(QWindow& window) {
  if (!window.setKeyboardGrabEnabled(true)) return false;
  if (!window.setMouseGrabEnabled(true)) {
    window.setKeyboardGrabEnabled(false);  // all or nothing
    return false;
  }
  return true;
}

bool X11EventMonitors::grabKeyboard(QWindow& window) { return window.setKeyboardGrabEnabled(true); }

void X11EventMonitors::releaseInput(QWindow& window) {
  window.setMouseGrabEnabled(false);
  window.setKeyboardGrabEnabled(false);
}

}  // namespace vistrel::x11
