#include "update/UpdateDriver.h"

#include "update/AppUpdate.h"
#include "update/UpdateInstallPanel.h"
#include "update/UpdateNotifier.h"

namespace vistrel {

namespace {

constexpr double kExtractionStart = 0.82;
constexpr double kExtractionSpan = 0.13;

void setPanel(const char* phase, double progress) {
  if (auto* model = UpdateInstallPanel::model()) {
    model->setPhase(phase);
    model->setProgress(progress);
  }
}

}  // namespace

bool UpdateDriver::takeWantsPrompt() {
  auto& update = AppUpdate::shared();
  const bool asked = update.wantsPrompt;
  update.wantsPrompt = false;
  return asked;
}

void UpdateDriver::showUpdatePermissionRequest(std::function<void(platform::UpdatePermissionResponse)> reply) {
  reply({.automaticUpdateChecks = true, .sendSystemProfile = false});
}

void UpdateDriver::showUpdateFound(const platform::AppcastItem& item, platform::UserUpdateState state,
                                   std::function<void(platform::UserUpdateChoice)> reply) {
  const bool userAsked = state.userInitiated || takeWantsPrompt();
  const bool install = AppUpdate::shared().noteOffer(item, userAsked);
  quietInstall = install && !userAsked;
  reply(install ? platform::UserUpdateChoice::install : platform::UserUpdateChoice::dismiss);
}

void UpdateDriver::showUpdateNotFound(const platform::UpdaterError&, std::function<void()> acknowledgement) {
  AppUpdate::shared().noteNoUpdate(takeWantsPrompt());
  acknowledgement();
}

void UpdateDriver::showUpdaterError(const platform::UpdaterError& error, std::function<void()> acknowledgement) {
  AppUpdate::shared().noteFailure(error, takeWantsPrompt());
  acknowledgement();
}

void UpdateDriver::showDownloadInitiated(std::function<void()>) { AppUpdate::shared().showDownload(quietInstall); }

void UpdateDriver::showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength) {
  AppUpdate::shared().receiveExpectedLength(expectedContentLength);
}

void UpdateDriver::showDownloadDidReceiveData(std::uint64_t length) { AppUpdate::shared().receiveData(length); }

void UpdateDriver::showDownloadDidStartExtractingUpdate() { setPanel("Installing update\u2026", kExtractionStart); }

void UpdateDriver::showExtractionReceivedProgress(double progress) {
  setPanel("Installing update\u2026", kExtractionStart + kExtractionSpan * progress);
}

void UpdateDriver::showReadyToInstallAndRelaunch(std::function<void(platform::UserUpdateChoice)> reply) {
  if (const auto& version = AppUpdate::shared().availableVersion) UpdateNotifier::markPendingSuccess(*version);
  setPanel("Restarting Vistrel\u2026", 1.0);
  reply(platform::UserUpdateChoice::install);
}

void UpdateDriver::showInstallingUpdate(bool, std::function<void()>) {
  setPanel("Installing update\u2026", kExtractionStart);
}

void UpdateDriver::showUpdateInstalledAndRelaunched(bool, std::function<void()> acknowledgement) {
  acknowledgement();
}

void UpdateDriver::dismissUpdateInstallation() {
  quietInstall = false;
  AppUpdate::shared().dismissProgress();
}

void UpdateDriver::showUpdateInFocus() {
  // No program is activated on X11; bringing the install panel forward is what the user sees.
  UpdateInstallPanel::raise();
}

}  // namespace vistrel
