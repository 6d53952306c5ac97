#include "platform/sim/SimUpdater.h"

namespace vistrel::sim {

std::optional<std::string> SimUpdater::startUpdater() {
  ++starts;
  if (startFailure) return startFailure;
  driver.showUpdatePermissionRequest([this](platform::UpdatePermissionResponse response) { permission = response; });
  return std::nullopt;
}

void SimUpdater::checkForUpdates() {
  ++userChecks;
  driver.showUserInitiatedUpdateCheck([] {});
}

platform::UserUpdateChoice SimUpdater::offer(const platform::AppcastItem& item, bool userInitiated) {
  auto choice = platform::UserUpdateChoice::dismiss;
  driver.showUpdateFound(item, {.userInitiated = userInitiated},
                         [&choice](platform::UserUpdateChoice c) { choice = c; });
  return choice;
}

std::optional<platform::UserUpdateChoice> SimUpdater::download(std::uint64_t expected,
                                                               const std::vector<std::uint64_t>& pieces) {
  driver.showDownloadInitiated([] {});
  driver.showDownloadDidReceiveExpectedContentLength(expected);
  for (const std::uint64_t piece : pieces) driver.showDownloadDidReceiveData(piece);
  driver.showDownloadDidStartExtractingUpdate();
  driver.showExtractionReceivedProgress(1.0);
  std::optional<platform::UserUpdateChoice> choice;
  driver.showReadyToInstallAndRelaunch([&choice](platform::UserUpdateChoice c) { choice = c; });
  return choice;
}

std::unique_ptr<platform::Updater> SimUpdaters::make(platform::UpdateUserDriver& driver) {
  auto updater = std::make_unique<SimUpdater>(driver, startFailure);
  last = updater.get();
  ++made;
  return updater;
}

}  // namespace vistrel::sim
