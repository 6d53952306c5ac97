#include "platform/wayland/WaylandPlatform.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QtGlobal>
#include <wayland-client.h>

#include <cstdlib>

#include "platform/linux/DesktopPlatform.h"
#include "base/MessageBoxAlertPresenter.h"
#include "platform/linux/portal/PipeWireDisplayStream.h"
#include "platform/linux/portal/PortalGlobalShortcuts.h"
#include "platform/linux/portal/PortalRequest.h"
#include "platform/linux/portal/PortalScreenCapture.h"
#include "platform/linux/portal/PortalScreenCast.h"
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
#include "platform/wayland/gnome/GnomeAccessibility.h"
#include "platform/wayland/gnome/ShellWindowControl.h"
#include "platform/wayland/kde/KWinAccessibility.h"
#include "platform/wayland/kde/KWinDesktopEntry.h"
#include "platform/wayland/kde/KWinFakeInputSynth.h"
#include "platform/wayland/kde/KWinScreenCapture.h"
#include "platform/wayland/kde/KWinScreens.h"
#include "platform/wayland/kde/KWinScripting.h"

namespace vistrel::wayland {

namespace {

// The facilities whose road differs by compositor, chosen once from its kind.
// A kind without its own road here gets what the wlroots protocols give where
// the compositor offers them, and an honest "cannot" where not.
struct CompositorRoads {
  std::unique_ptr<kde::KWinScripting> kwin;          // KDE Plasma only
  std::unique_ptr<gnome::ShellWindowControl> shell;  // GNOME only
  // The two above outlive the facilities below, which use them.
  std::unique_ptr<platform::Accessibility> accessibility;
  std::unique_ptr<platform::Screens> screens;
  std::unique_ptr<platform::ScreenCapture> screenCapture;
  std::unique_ptr<platform::HotKeys> hotKeys;
  std::unique_ptr<platform::InputSynth> inputSynth;
};

bool portalOffers(const char* interface) {
  return portal::portalProperty(QDBusConnection::sessionBus(), interface, "version").toUInt() > 0;
}

bool busHasOwner(const char* name) {
  const auto* bus = QDBusConnection::sessionBus().interface();
  return bus && bus->isServiceRegistered(name);
}

// Keys through the GlobalShortcuts portal where the session offers it (KDE
// Plasma, GNOME 48 and later); elsewhere the desktop binds `vistrel --action`.
std::unique_ptr<platform::HotKeys> hotKeysFor(CompositorKind compositor) {
  if (compositor != CompositorKind::wlroots && portal::PortalGlobalShortcuts::available())
    return std::make_unique<portal::PortalGlobalShortcuts>();
  return std::make_unique<WaylandHotKeys>(compositor);
}

CompositorRoads roadsFor(CompositorKind compositor, WaylandConnection& connection, SwayIpc* sway,
                         const platform::BundleInfo& bundle) {
  CompositorRoads roads;
  roads.hotKeys = hotKeysFor(compositor);
  roads.screens = std::make_unique<WaylandScreens>(connection, sway);
  if (compositor == CompositorKind::kwin && kde::KWinScripting::kwinRunning()) {
    roads.kwin = std::make_unique<kde::KWinScripting>();
    roads.accessibility = std::make_unique<kde::KWinAccessibility>(*roads.kwin);
    roads.screens = std::make_unique<kde::KWinScreens>(connection, *roads.kwin);
    // KWin answers ScreenShot2 only to a program its desktop file names: the
    // archive's copy writes its own, a build folder's copy logs how. Unnamed,
    // the portal asks the user instead, where it runs.
    const bool authorised = kde::authoriseScreenshots(QCoreApplication::applicationFilePath(),
                                                      bundle.infoString("VistrelBuildChannel") == "release");
    if (authorised || !portalOffers("org.freedesktop.portal.Screenshot"))
      roads.screenCapture = std::make_unique<kde::KWinScreenCapture>(connection, *roads.kwin);
    else
      roads.screenCapture = std::make_unique<portal::PortalScreenCapture>(QDBusConnection::sessionBus(), *roads.screens);
    // The wheel for scrolling capture: KWin's fake input, which KWin offers
    // when the connection is made to a program whose desktop file names it.
    auto wheel = std::make_unique<kde::KWinFakeInputSynth>(connection);
    if (!wheel->available()) {
      qInfo("vistrel kde: KWin offers this copy no fake input (a desktop file naming it with "
            "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input takes effect at its next start); "
            "scrolling capture cannot turn the wheel");
    }
    roads.inputSynth = std::move(wheel);
    return roads;
  }
  roads.inputSynth = std::make_unique<VirtualPointerInputSynth>(connection);
  if (compositor == CompositorKind::gnome && busHasOwner("org.gnome.Shell")) {
    // No client moves windows or reads the screen on GNOME: our Shell
    // extension moves them, the Screenshot portal takes the pictures.
    roads.shell = std::make_unique<gnome::ShellWindowControl>(QDBusConnection::sessionBus());
    roads.accessibility = std::make_unique<gnome::GnomeAccessibility>(QDBusConnection::sessionBus(),
                                                                      std::make_shared<MessageBoxAlertPresenter>());
    auto* shell = roads.shell.get();
    roads.screenCapture = std::make_unique<portal::PortalScreenCapture>(
        QDBusConnection::sessionBus(), *roads.screens,
        [shell] { return gnome::captureWindows(shell->windows(1).value_or(std::vector<gnome::ShellWindow>{})); });
    return roads;
  }
  if (sway)
    roads.accessibility = std::make_unique<SwayAccessibility>(*sway);
  else
    roads.accessibility = std::make_unique<UnavailableAccessibility>();
  if (connection.screencopy() || !portalOffers("org.freedesktop.portal.Screenshot"))
    roads.screenCapture = std::make_unique<WaylandScreenCapture>(connection, sway);
  else
    roads.screenCapture = std::make_unique<portal::PortalScreenCapture>(QDBusConnection::sessionBus(), *roads.screens);
  return roads;
}

class WaylandPlatform : public desktop::DesktopPlatform {
 public:
  WaylandPlatform(std::unique_ptr<WaylandConnection> connection, CompositorKind compositor,
                  std::unique_ptr<SwayIpc> sway)
      : connection_(std::move(connection)),
        compositor_(compositor),
        sway_(std::move(sway)),
        roads_(roadsFor(compositor_, *connection_, sway_.get(), bundle())),
        workspace_(sway_.get()),
        reviewApp_(sway_.get(), clock()),
        pasteboard_(*connection_),
        floatingWindows_(sway_.get()) {
    // Other programs read what we put on the clipboard at any time.
    connection_->dispatchInEventLoop();
    qInfo("vistrel wayland: compositor %s, window access %s, screencopy %s", rawValue(compositor_).data(),
          roads_.kwin    ? "KWin scripts"
          : roads_.shell ? "the Shell extension"
          : sway_        ? "sway IPC"
                         : "none", connection_->screencopy() ? "yes" : "no");
  }

  platform::HotKeys& hotKeys() override { return *roads_.hotKeys; }
  platform::Accessibility& accessibility() override { return *roads_.accessibility; }
  platform::Screens& screens() override { return *roads_.screens; }
  platform::Workspace& workspace() override { return workspace_; }
  platform::ReviewApp& reviewApp() override { return reviewApp_; }
  platform::ScreenCapture& screenCapture() override { return *roads_.screenCapture; }
  platform::EventMonitors& eventMonitors() override { return eventMonitors_; }
  platform::InputSynth& inputSynth() override { return *roads_.inputSynth; }
  platform::FloatingWindows& floatingWindows() override { return floatingWindows_; }
  platform::Pasteboard& pasteboard() override { return pasteboard_; }
  // Frames through screencopy where the compositor offers it (wlroots),
  // else through the ScreenCast portal and PipeWire (KDE Plasma, GNOME).
  std::unique_ptr<platform::DisplayStream> makeDisplayStream() override {
    if (connection_->screencopy() || !portalOffers("org.freedesktop.portal.ScreenCast"))
      return std::make_unique<WaylandDisplayStream>();
    return std::make_unique<portal::PipeWireDisplayStream>(
        std::make_unique<portal::PortalScreenCast>(QDBusConnection::sessionBus(), defaults()), *roads_.screens);
  }

 private:
  // Our own connection, apart from Qt's; it outlives everything that uses it.
  std::unique_ptr<WaylandConnection> connection_;
  CompositorKind compositor_;
  std::unique_ptr<SwayIpc> sway_;  // none outside sway
  CompositorRoads roads_;
  WaylandWorkspace workspace_;
  WaylandReviewApp reviewApp_;
  WaylandPasteboard pasteboard_;
  WaylandEventMonitors eventMonitors_;
  WaylandFloatingWindows floatingWindows_;
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
