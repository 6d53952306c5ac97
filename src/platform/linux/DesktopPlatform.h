#pragma once
// The part of a real backend that every Linux desktop offers the same way,
// whatever its display server: the clock, settings, the bundle and its
// signature, the clipboard, notifications, autostart, text recognition, movie
// files, the tray icon, the updater and the system's requests to end. A
// backend derives from it and adds what its display server does its own way.
// Make it after the QApplication exists.

#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/linux/AutostartLoginItems.h"
#include "platform/linux/ClipboardPasteboard.h"
#include "platform/linux/DBusNotifications.h"
#include "platform/linux/JsonUserDefaults.h"
#include "platform/linux/ModuleTextRecognizer.h"
#include "platform/linux/ProcessBundleInfo.h"
#include "platform/linux/QtClock.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/update/SodiumCodeSignature.h"

namespace vistrel::desktop {

class DesktopPlatform : public platform::Platform {
 public:
  DesktopPlatform();

  Clock& clock() override { return clock_; }
  platform::UserDefaults& defaults() override { return defaults_; }
  const platform::BundleInfo& bundle() const override { return bundle_; }
  platform::Pasteboard& pasteboard() override { return pasteboard_; }
  platform::Notifications& notifications() override { return notifications_; }
  platform::LoginItems& loginItems() override { return loginItems_; }
  platform::CodeSignature& codeSignature() override { return codeSignature_; }
  platform::TextRecognizer& textRecognizer() override { return textRecognizer_; }

  // The file itself is made when writing starts; a name that is taken, or a
  // folder that cannot be written, fails now.
  platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> makeMovieWriter(const std::string& path) override;
  std::unique_ptr<platform::SoundCapture> makeSoundCapture() override;
  std::unique_ptr<platform::StatusItem> makeStatusItem() override;
  // Relaunches through the backend's workspace and quits the application.
  std::unique_ptr<platform::Updater> makeUpdater(platform::UpdateUserDriver& driver) override;
  void setTerminationRequestHandler(std::function<void()> handler) override;

 private:
  QtClock clock_;
  ProcessBundleInfo bundle_;
  SodiumCodeSignature codeSignature_{bundle_};
  JsonUserDefaults defaults_;
  AutostartLoginItems loginItems_;
  ClipboardPasteboard pasteboard_;
  // Made before anything else asks for the session bus (see SessionBus.h).
  DBusNotifications notifications_;
  ModuleTextRecognizer textRecognizer_{ModuleTextRecognizer::defaultModulePath()};
  TerminationSignals termination_;
};

}  // namespace vistrel::desktop
