#include "platform/wayland/WaylandPlatform.h"

#include <QtGlobal>
#include <wayland-client.h>

#include <cstdlib>

#include "platform/linux/DesktopPlatform.h"
#include "platform/wayland/Compositor.h"
#include "platform/wayland/SwayAccessibility.h"
#include "platform/wayland/UnavailableAccessibility.h"
#include "platform/wayland/VirtualPointerInputSynth.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDisplayStream.h"
#include "platform/wayland/WaylandEventMonitors.h"
#include "platform/wayland/WaylandFloatingWindows.h"
#include "platform/wayland/WaylandHotKeys.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/wayland/WaylandReviewApp.h"
#include "platform/wayland/WaylandScreenCapture.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/WaylandWorkspace.h"

namespace vistrel::wayland {

namespace {

constexpr double kConnectSeconds = 2.0;

// The facilities whose road differs by compositor, chosen once from its kind.
// A kind without its own road here gets what the wlroots protocols give where
// the compositor offers them, and an honest "cannot" where not.
std::unique_ptr<platform::Accessibility> windowAccessFor(SwayIpc* sway) {
  if (sway) return std::make_unique<SwayAccessibility>(*sway);
  return std::make_unique<UnavailableAccessibility>();
}

class WaylandPlatform : public desktop::DesktopPlatform {
 public:
  WaylandPlatform(std::unique_ptr<WaylandConnection> connection, CompositorKind compositor,
                  std::unique_ptr<SwayIpc> sway)
      : connection_(std::move(connection)),
        compositor_(compositor),
        sway_(std::move(sway)),
        accessibility_(windowAccessFor(sway_.get())),
        screens_(*connection_, sway_.get()),
        workspace_(sway_.get()),
        reviewApp_(sway_.get(), clock()),
        screenCapture_(*connection_, sway_.get()),
        inputSynth_(*connection_),
        pasteboard_(*connection_),
        floatingWindows_(sway_.get()),
        hotKeys_(compositor_) {
    // Other programs read what we put on the clipboard at any time.
    connection_->dispatchInEventLoop();
    qInfo("vistrel wayland: compositor %s, window access %s, screencopy %s", rawValue(compositor_).data(),
          sway_ ? "sway IPC" : "none", connection_->screencopy() ? "yes" : "no");
  }

  platform::HotKeys& hotKeys() override { return hotKeys_; }
  platform::Accessibility& accessibility() override { return *accessibility_; }
  platform::Screens& screens() override { return screens_; }
  platform::Workspace& workspace() override { return workspace_; }
  platform::ReviewApp& reviewApp() override { return reviewApp_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::EventMonitors& eventMonitors() override { return eventMonitors_; }
  platform::InputSynth& inputSynth() override { return inputSynth_; }
  platform::FloatingWindows& floatingWindows() override { return floatingWindows_; }
  platform::Pasteboard& pasteboard() override { return pasteboard_; }
  std::unique_ptr<platform::DisplayStream> makeDisplayStream() override {
    return std::make_unique<WaylandDisplayStream>();
  }

 private:
  // Our own connection, apart from Qt's; it outlives everything that uses it.
  std::unique_ptr<WaylandConnection> connection_;
  CompositorKind compositor_;
  std::unique_ptr<SwayIpc> sway_;  // none outside sway
  std::unique_ptr<platform::Accessibility> accessibility_;
  WaylandScreens screens_;
  WaylandWorkspace workspace_;
  WaylandReviewApp reviewApp_;
  WaylandScreenCapture screenCapture_;
  VirtualPointerInputSynth inputSynth_;
  WaylandPasteboard pasteboard_;
  WaylandEventMonitors eventMonitors_;
  WaylandFloatingWindows floatingWindows_;
  WaylandHotKeys hotKeys_;
};

}  // namespace

std::optional<std::string> checkDisplay() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (!name || !*name) return std::string("vistrel: WAYLAND_DISPLAY is not set (no Wayland display to run on)");
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    return "vistrel: cannot open the Wayland display \"" + std::string(name) +
           "\" (is a compositor running, and XDG_RUNTIME_DIR set?)";
  }
  wl_display_disconnect(display);
  return std::nullopt;
}

std::unique_ptr<platform::Platform> makePlatform(std::string& error) {
  auto connection = WaylandConnection::connect(deadlineAfter(kConnectSeconds));
  if (!connection) {
    error = "vistrel: the Wayland compositor did not answer";
    return nullptr;
  }
  auto socket = SwayIpc::socketFromEnvironment();
  const CompositorKind compositor = detectCompositor(
      {socket ? socket->c_str() : nullptr, std::getenv("XDG_CURRENT_DESKTOP"), connection->screencopy() != nullptr});
  auto sway = socket ? std::make_unique<SwayIpc>(*socket) : nullptr;
  return std::make_unique<WaylandPlatform>(std::move(connection), compositor, std::move(sway));
}

}  // namespace vistrel::wayland
