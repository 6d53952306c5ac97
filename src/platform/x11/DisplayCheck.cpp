#include "platform/x11/X11Platform.h"

#include <cstdlib>

// Last: Xlib's macros (Status, Bool, None) break Qt headers included after it.
#include <X11/Xlib.h>

namespace vistrel::x11 {

std::optional<std::string> checkDisplay() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return std::string("vistrel: DISPLAY is not set (no X display to run on)");
  Display* display = XOpenDisplay(name);
  if (!display) {
    return "vistrel: cannot open the X display \"" + std::string(name) +
           "\" (is an X server running and DISPLAY set?)";
  }
  XCloseDisplay(display);
  return std::nullopt;
}

}  // namespace vistrel::x11
