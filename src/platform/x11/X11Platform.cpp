#include "platform/x11/X11Platform.h"

#include "platform/linux/DesktopPlatform.h"
#include "platform/x11/Connection.h"
#include "platform/x11/DisplayLoss.h"
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

class X11Platform : public desktop::DesktopPlatform {
 public:
  explicit X11Platform(std::unique_ptr<Connection> connection)
      : connection_(std::move(connection)),
        accessibility_(*connection_),
        screens_(*connection_),
        workspace_(*connection_),
        reviewApp_(*connection_, clock()),
        screenCapture_(*connection_) {
    if (!hotKeys_) qFatal("vistrel: the x11 backend needs Qt's xcb platform (QT_QPA_PLATFORM=xcb)");
  }

  platform::HotKeys& hotKeys() override { return *hotKeys_; }
  platform::Accessibility& accessibility() override { return accessibility_; }
  platform::Screens& screens() override { return screens_; }
  platform::Workspace& workspace() override { return workspace_; }
  platform::ReviewApp& reviewApp() override { return reviewApp_; }
  platform::ScreenCapture& screenCapture() override { return screenCapture_; }
  platform::EventMonitors& eventMonitors() override { return eventMonitors_; }
  platform::InputSynth& inputSynth() override { return inputSynth_; }
  platform::FloatingWindows& floatingWindows() override { return floatingWindows_; }
  std::unique_ptr<platform::DisplayStream> makeDisplayStream() override { return std::make_unique<X11DisplayStream>(); }

 private:
  // Our own connection for window access, apart from Qt's; it outlives everything that uses it.
  std::unique_ptr<Connection> connection_;
  X11Accessibility accessibility_;
  X11Screens screens_;
  X11Workspace workspace_;
  X11ReviewApp reviewApp_;
  X11ScreenCapture screenCapture_;
  X11EventMonitors eventMonitors_;
  XTestInputSynth inputSynth_{*connection_};
  X11FloatingWindows floatingWindows_{*connection_};
  std::unique_ptr<X11HotKeys> hotKeys_ = X11HotKeys::forApplication();
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
