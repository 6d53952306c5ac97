#pragma once
// The updater's user driver: every callback of the updater turned into the
// update controller's own notes, cards and progress panel, on the main thread,
// before it replies.

#include "platform/Updater.h"

namespace vistrel {

class UpdateDriver : public platform::UpdateUserDriver {
 public:
  // The update being downloaded is installed without the user having asked
  // (a forced update found by a background check).
  bool quietInstall = false;

  void showUpdatePermissionRequest(std::function<void(platform::UpdatePermissionResponse)> reply) override;
  void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override {}
  void showUpdateFound(const platform::AppcastItem& item, platform::UserUpdateState state,
                       std::function<void(platform::UserUpdateChoice)> reply) override;
  void showUpdateNotFound(const platform::UpdaterError& error, std::function<void()> acknowledgement) override;
  void showUpdaterError(const platform::UpdaterError& error, std::function<void()> acknowledgement) override;
  void showDownloadInitiated(std::function<void()> cancellation) override;
  void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength) override;
  void showDownloadDidReceiveData(std::uint64_t length) override;
  void showDownloadDidStartExtractingUpdate() override;
  void showExtractionReceivedProgress(double progress) override;
  void showReadyToInstallAndRelaunch(std::function<void(platform::UserUpdateChoice)> reply) override;
  void showInstallingUpdate(bool applicationTerminated, std::function<void()> retryTerminatingApplication) override;
  void showUpdateInstalledAndRelaunched(bool relaunched, std::function<void()> acknowledgement) override;
  void dismissUpdateInstallation() override;
  void showUpdateInFocus() override;

 private:
  // userAsked for a result that carries no state of its own: the user's wish, then cleared.
  bool takeWantsPrompt();
};

}  // namespace vistrel
