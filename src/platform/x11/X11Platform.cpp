#include "platform/x11/X11Platform.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "platform/x11/AutostartLoginItems.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/DBusNotifications.h"
#include "platform/x11/DisplayLoss.h"
#include "platform/x11/JsonUserDefaults.h"
#include "platform/x11/LibavMovieWriter.h"
#include "platform/x11/ModuleTextRecognizer.h"
#include "platform/x11/ProcessBundleInfo.h"
#include "platform/x11/QtClock.h"
#include "platform/x11/SessionBus.h"
#include "platform/x11/update/FeedUpdater.h"
#include "platform/x11/update/SodiumCodeSignature.h"
#include "platform/x11/TerminationSignals.h"
#include "platform/x11/TrayStatusItem.h"
#include "platform/x11/Connection.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11DisplayStream.h"
#include "platform/x11/X11EventMonitors.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11ReviewApp.h"
#include "platform/x11/X11ScreenCapture.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11Workspace.h"
#include "platform/x11/XTestInputSynth.h"

namespace vistrel::x11 {

namespace {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::string configHome() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
}

class X11Platform : public platform::Platform {
 public:
  explicit X11Platform(std::unique_ptr<Connection> connection)
      : connection_(std::move(connection)),
        accessibility_(*connection_),
        screens_(*connection_),
        workspace_(*connection_),
        reviewApp_(*connection_, clock_),
        screenCapture_(*connection_),
        defaults_(configHome() + "/vistrel"),
        loginItems_(configHome() + "/autostart", bundle_.bundlePath()),
        notifications_(sessionBusAddressWithoutAutolaunch()) {
    caps_.canMoveForeignWindows = true;
    // Asked only now: Qt's look for a tray host uses the session bus, which
    // must not be launched on demand (see SessionBus.h).
    caps_.hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    caps_.hasNotifications = notifications_.hasBus();
    if (!hotKeys_) qFatal("vistrel: the x11 backend needs Qt's xcb platform (QT_QPA_PLATFORM=xcb)");
  }

  const char* name() const override { return "x11"; }
  platform::Capabilities capabilities() const override { return caps_; }

  platform::Clock& clock() override { return clock_; }
  platform::UserDefaults& defaults() override { return defaults_; }
  const platform::BundleInfo& bundle() const override { return bundle_; }
  platform::Pasteboard& pasteboard() override { return pasteboard_; }
  platform::Notifications& notifications() override { return notifications_; }
  platform::LoginItems& loginItems() override { return loginItems_; }
  platform::HotKeys& hotKeys() override { return *hotKeys_; }
  platform::Accessibility& accessibility() override { return accessibility_; }
  platform::Screens& screens() override { return screens_; }
  platform::Workspace& workspace() override { return workspace_; }
  platform::ReviewApp& reviewApp() override { return reviewApp_; }
  platform::CodeSignature& codeSignature() override { return codeSignature_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::EventMonitors& eventMonitors() override { return eventMonitors_; }
  platform::TextRecognizer& textRecognizer() override { return textRecognizer_; }
  platform::InputSynth& inputSynth() override { return inputSynth_; }
  platform::FloatingWindows& floatingWindows() override { return floatingWindows_; }
  std::unique_ptr<platform::DisplayStream> makeDisplayStream() override { return std::make_unique<X11DisplayStream>(); }
  platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> makeMovieWriter(const std::string& path) override {
    // The file itself is made when writing starts; a name that is taken, or a folder that cannot be written, fails now.
    const QFileInfo file(QString::fromStdString(path));
    if (file.exists()) {
      return platform::CaptureFault{"The file \u201c" + file.fileName().toStdString() + "\u201d already exists."};
    }
    if (!QFileInfo(file.absolutePath()).isWritable()) {
      return platform::CaptureFault{"You don\u2019t have permission to save the file \u201c" +
                                    file.fileName().toStdString() + "\u201d in the folder \u201c" +
                                    QFileInfo(file.absolutePath()).fileName().toStdString() + "\u201d."};
    }
    return std::unique_ptr<platform::MovieWriter>(std::make_unique<LibavMovieWriter>(path));
  }

  std::unique_ptr<platform::StatusItem> makeStatusItem() override { return std::make_unique<TrayStatusItem>(); }
  std::unique_ptr<platform::Updater> makeUpdater(platform::UpdateUserDriver& driver) override {
    return std::make_unique<FeedUpdater>(driver,
                                         FeedUpdater::Host{bundle_, defaults_, workspace_, [] { QCoreApplication::quit(); }});
  }
  void setTerminationRequestHandler(std::function<void()> handler) override {
    termination_.setHandler(std::move(handler));
  }

 private:
  // Our own connection for window access, apart from Qt's; it outlives everything that uses it.
  std::unique_ptr<Connection> connection_;
  X11Accessibility accessibility_;
  X11Screens screens_;
  X11Workspace workspace_;
  X11ReviewApp reviewApp_;
  X11ScreenCapture screenCapture_;
  X11EventMonitors eventMonitors_;
  ModuleTextRecognizer textRecognizer_{ModuleTextRecognizer::defaultModulePath()};
  XTestInputSynth inputSynth_{*connection_};
  X11FloatingWindows floatingWindows_{*connection_};
  QtClock clock_;
  ProcessBundleInfo bundle_;
  SodiumCodeSignature codeSignature_{bundle_};
  JsonUserDefaults defaults_;
  AutostartLoginItems loginItems_;
  ClipboardPasteboard pasteboard_;
  DBusNotifications notifications_;
  TerminationSignals termination_;
  std::unique_ptr<X11HotKeys> hotKeys_ = X11HotKeys::forApplication();
  platform::Capabilities caps_;
};

}  // namespace

std::unique_ptr<platform::Platform> makePlatform(std::string& error) {
  auto connection = Connection::open(error);
  if (!connection) return nullptr;
  // Qt's connection to the same server breaks with ours; whichever is found first ends the program.
  connection->setLossHandler([] { DisplayLoss::leave(); });
  return std::make_unique<X11Platform>(std::move(connection));
}

}  // namespace vistrel::x11
