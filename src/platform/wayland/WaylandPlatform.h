#pragma once
// The Wayland backend: screens, capture, synthetic input and the clipboard
// through the compositor's protocols (wlroots: screencopy, virtual pointer,
// data control), window access through what the compositor kind offers
// (sway's IPC); the rest is what every Linux desktop shares
// (platform/linux/DesktopPlatform.h). Qt runs on its wayland platform.

#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace vistrel::wayland {

// Whether the compositor named by $WAYLAND_DISPLAY answers; an error message
// when not. Call before the QApplication is made: Qt aborts on a display it
// cannot open.
std::optional<std::string> checkDisplay();

// The real platform. Make it after the QApplication exists. None, with
// `error` set, when the backend's own connection to the compositor cannot be made.
std::unique_ptr<platform::Platform> makePlatform(std::string& error);

}  // namespace vistrel::wayland
