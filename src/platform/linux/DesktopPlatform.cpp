#include "platform/linux/DesktopPlatform.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/linux/LibavGifWriter.h"
#include "platform/linux/LibavMovieWriter.h"
#include "platform/linux/PulseSoundCapture.h"
#include "platform/linux/SessionBus.h"
#include "platform/linux/TrayStatusItem.h"
#include "platform/linux/update/FeedUpdater.h"

namespace vistrel::desktop {

namespace {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::string configHome() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
}

}  // namespace

DesktopPlatform::DesktopPlatform()
    : defaults_(configHome() + "/vistrel"),
      loginItems_(configHome() + "/autostart", bundle_.bundlePath()),
      notifications_(sessionBusAddressWithoutAutolaunch()) {}

platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> DesktopPlatform::makeMovieWriter(
    const std::string& path) {
  const QFileInfo file(QString::fromStdString(path));
  if (file.exists()) {
    return platform::CaptureFault{"The file \u201c" + file.fileName().toStdString() + "\u201d already exists."};
  }
  if (!QFileInfo(file.absolutePath()).isWritable()) {
    return platform::CaptureFault{"You don\u2019t have permission to save the file \u201c" +
                                  file.fileName().toStdString() + "\u201d in the folder \u201c" +
                                  QFileInfo(file.absolutePath()).fileName().toStdString() + "\u201d."};
  }
  if (file.suffix() == "gif") return std::unique_ptr<platform::MovieWriter>(std::make_unique<LibavGifWriter>(path));
  return std::unique_ptr<platform::MovieWriter>(std::make_unique<LibavMovieWriter>(path));
}

std::unique_ptr<platform::SoundCapture> DesktopPlatform::makeSoundCapture() {
  return std::make_unique<PulseSoundCapture>();
}

std::unique_ptr<platform::StatusItem> DesktopPlatform::makeStatusItem() { return std::make_unique<TrayStatusItem>(); }

std::unique_ptr<platform::Updater> DesktopPlatform::makeUpdater(platform::UpdateUserDriver& driver) {
  const FeedUpdater::Host host{bundle_, defaults_, workspace(), [] { QCoreApplication::quit(); }};
  return std::make_unique<FeedUpdater>(driver, host);
}

void DesktopPlatform::setTerminationRequestHandler(std::function<void()> handler) {
  termination_.setHandler(std::move(handler));
}

}  // namespace vistrel::desktop
