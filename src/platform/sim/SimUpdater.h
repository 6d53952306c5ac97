#pragma once
// The simulated update framework: it counts what the product asks of it, and
// a test plays the feed's side by calling the user driver the way the real
// updater does (`offer`, `download`, or any callback directly).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Updater.h"

namespace vistrel::sim {

class SimUpdater : public platform::Updater {
 public:
  SimUpdater(platform::UpdateUserDriver& driver, std::optional<std::string> startFailure)
      : driver(driver), startFailure(std::move(startFailure)) {}

  std::optional<std::string> startUpdater() override;
  void checkForUpdatesInBackground() override { ++backgroundChecks; }
  void checkForUpdates() override;

  // Test controls. Offers `item` and returns the driver's choice.
  platform::UserUpdateChoice offer(const platform::AppcastItem& item, bool userInitiated);
  // Downloads `received` bytes in the given pieces of an archive of `expected`
  // bytes (0: unknown), extracts it, and asks whether to install now.
  std::optional<platform::UserUpdateChoice> download(std::uint64_t expected, const std::vector<std::uint64_t>& pieces);

  platform::UpdateUserDriver& driver;
  std::optional<std::string> startFailure;
  int starts = 0;
  int backgroundChecks = 0;
  int userChecks = 0;
  std::optional<platform::UpdatePermissionResponse> permission;
};

// Makes the updaters the product asks for and keeps the last one in view.
class SimUpdaters {
 public:
  std::unique_ptr<platform::Updater> make(platform::UpdateUserDriver& driver);
  // How the next updater's start ends: none succeeds.
  std::optional<std::string> startFailure;
  SimUpdater* last = nullptr;  // owned by whoever asked for it
  int made = 0;
};

}  // namespace vistrel::sim
