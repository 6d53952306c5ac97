#pragma once
// The platform layer: every facility of the operating system the product
// uses, behind one object. One backend is installed per process: x11 in the
// program, sim (a simulated desktop) in tests.

#include <functional>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "platform/Accessibility.h"
#include "platform/BundleInfo.h"
#include "platform/CodeSignature.h"
#include "platform/DisplayStream.h"
#include "platform/EventMonitors.h"
#include "platform/FloatingWindows.h"
#include "platform/HotKeys.h"
#include "platform/InputSynth.h"
#include "platform/LoginItems.h"
#include "platform/MovieWriter.h"
#include "platform/Notifications.h"
#include "platform/Pasteboard.h"
#include "platform/ReviewApp.h"
#include "platform/ScreenCapture.h"
#include "platform/Screens.h"
#include "platform/SoundCapture.h"
#include "platform/StatusItem.h"
#include "platform/TextRecognizer.h"
#include "platform/Updater.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

namespace vistrel::platform {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual Clock& clock() = 0;
  virtual UserDefaults& defaults() = 0;
  virtual const BundleInfo& bundle() const = 0;
  virtual Pasteboard& pasteboard() = 0;
  virtual Notifications& notifications() = 0;
  virtual LoginItems& loginItems() = 0;
  virtual Accessibility& accessibility() = 0;
  virtual Screens& screens() = 0;
  virtual Workspace& workspace() = 0;
  virtual HotKeys& hotKeys() = 0;
  virtual ReviewApp& reviewApp() = 0;
  virtual CodeSignature& codeSignature() = 0;
  virtual ScreenCapture& screenCapture() = 0;
  virtual EventMonitors& eventMonitors() = 0;
  virtual TextRecognizer& textRecognizer() = 0;
  virtual InputSynth& inputSynth() = 0;
  virtual FloatingWindows& floatingWindows() = 0;

  // A stream of display frames for one recording, not started yet.
  virtual std::unique_ptr<DisplayStream> makeDisplayStream() = 0;
  // A writer for a new movie file at `path` (an animated GIF when it ends in ".gif"); a fault
  // when no file can be made there.
  virtual CaptureResult<std::unique_ptr<MovieWriter>> makeMovieWriter(const std::string& path) = 0;

  // A reader of the sound server for one recording, not started; none where
  // this platform records no sound.
  virtual std::unique_ptr<SoundCapture> makeSoundCapture() { return nullptr; }

  // A new square item in the status area.
  virtual std::unique_ptr<StatusItem> makeStatusItem() = 0;
  // An updater that reports to `driver` (which must outlive it); not started yet.
  virtual std::unique_ptr<Updater> makeUpdater(UpdateUserDriver& driver) = 0;
  // `handler` runs on the main thread when the system asks the program to end
  // (SIGINT, SIGTERM, the session logging out).
  virtual void setTerminationRequestHandler(std::function<void()> handler) = 0;
};

// The installed backend. Installing does not transfer ownership; the caller
// keeps the platform alive while it is installed. Using it before one is
// installed is a programming error and aborts.
Platform& current();
void install(Platform* platform);
bool isInstalled();

}  // namespace vistrel::platform
