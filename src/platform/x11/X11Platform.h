#pragma once
// The X11 backend: windows, screens, keys, capture and synthetic input
// through the X protocol (Xlib/XCB); the rest is what every Linux desktop
// shares (platform/linux/DesktopPlatform.h).

#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace vistrel::x11 {

// Whether the X display named by $DISPLAY can be opened; an error message when not.
// Call before the QApplication is made: Qt aborts on a display it cannot open.
std::optional<std::string> checkDisplay();

// The real platform. Make it after the QApplication exists. None, with `error`
// set, when the backend's own connection to the display cannot be made.
std::unique_ptr<platform::Platform> makePlatform(std::string& error);

}  // namespace vistrel::x11
