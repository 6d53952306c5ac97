#pragma once
// Screen capture on KDE Plasma through org.kde.KWin.ScreenShot2: KWin writes
// raw pixels into a pipe we pass and answers with their width, height, stride
// and QImage format. Displays are the outputs WaylandScreens reports (same
// numbers), each taken as the area it covers (CaptureArea) at native
// resolution; windows are the ones KWin scripts list (KWinScripting), taken
// alone with their decoration (CaptureWindow).
//
// KWin refuses programs that no installed desktop file authorises
// (KWinDesktopEntry): access is what a one-pixel capture answers (asked
// until KWin first answers, then taken as granted for the run), and a
// refusal reads as a fault that says how to authorise this copy.
// Main thread only; the connection and the scripting client must outlive it.

#include <QVariantMap>

#include "platform/ScreenCapture.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/kde/KWinScripting.h"

namespace vistrel::wayland::kde {

class KWinScreenCapture : public platform::ScreenCapture {
 public:
  KWinScreenCapture(WaylandConnection& connection, KWinScripting& kwin);

  bool preflightAccess() const override;
  bool requestAccess() override { return preflightAccess(); }
  platform::CaptureResult<platform::ShareableContent> shareableContent() override;
  platform::CaptureResult<QImage> captureDisplay(std::uint32_t displayID,
                                                 const platform::CaptureConfiguration& configuration) override;
  platform::CaptureResult<QImage> captureWindow(std::uint32_t windowID,
                                                const platform::CaptureConfiguration& configuration) override;
  // KWin renders windows alone on request: there is nothing to prepare.
  void beginWindowPick() override {}
  void endWindowPick() override {}
  bool compositorRunning() const override { return true; }

 private:
  WaylandConnection& connection_;
  KWinScripting& kwin_;
  mutable bool authorised_ = false;
};

// One ScreenShot2 call: `method` with `arguments` before the options and the
// pipe; the image KWin wrote, or the fault. Waits at most `seconds`.
platform::CaptureResult<QImage> screenShot2(const QString& method, const QVariantList& arguments,
                                            const QVariantMap& options, double seconds);

}  // namespace vistrel::wayland::kde
