#pragma once
// The update framework: reads the update feed, downloads an update, checks
// its signature, installs it over this copy and relaunches. It never shows a
// window of its own: everything it has to say goes to the user driver, which
// the product implements. Main thread only; the driver is called there too.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vistrel::platform {

// One item of the update feed (an RSS appcast with the sparkle namespace).
struct AppcastItem {
  std::string title;
  // sparkle:version: what is compared with the bundle's "CFBundleVersion".
  std::string versionString;
  // sparkle:shortVersionString, else the version string: what the user reads.
  std::string displayVersionString;
  // The item's description: the release notes, maybe with a force marker.
  std::optional<std::string> itemDescription;
  // The enclosure: the archive's address, its length in bytes and its
  // Ed25519 signature (base64).
  std::string fileURL;
  std::uint64_t contentLength = 0;
  std::string edSignature;
  friend bool operator==(const AppcastItem&, const AppcastItem&) = default;
};

struct UserUpdateState {
  bool userInitiated = false;
};

// The answer to an offered update, and to the question whether to install now.
enum class UserUpdateChoice { install, dismiss };

struct UpdatePermissionResponse {
  bool automaticUpdateChecks = true;
  bool sendSystemProfile = false;
};

struct UpdaterError {
  std::string localizedDescription;
};

// How the updater speaks to the user. Every reply may be called at once,
// from inside the call that hands it over.
class UpdateUserDriver {
 public:
  virtual ~UpdateUserDriver() = default;

  // Asked once per user account, before the first scheduled check.
  virtual void showUpdatePermissionRequest(std::function<void(UpdatePermissionResponse)> reply) = 0;
  virtual void showUserInitiatedUpdateCheck(std::function<void()> cancellation) = 0;
  virtual void showUpdateFound(const AppcastItem& item, UserUpdateState state,
                               std::function<void(UserUpdateChoice)> reply) = 0;
  virtual void showUpdateNotFound(const UpdaterError& error, std::function<void()> acknowledgement) = 0;
  virtual void showUpdaterError(const UpdaterError& error, std::function<void()> acknowledgement) = 0;

  virtual void showDownloadInitiated(std::function<void()> cancellation) = 0;
  virtual void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength) = 0;
  virtual void showDownloadDidReceiveData(std::uint64_t length) = 0;
  virtual void showDownloadDidStartExtractingUpdate() = 0;
  // `progress` from 0 to 1.
  virtual void showExtractionReceivedProgress(double progress) = 0;
  virtual void showReadyToInstallAndRelaunch(std::function<void(UserUpdateChoice)> reply) = 0;
  virtual void showInstallingUpdate(bool applicationTerminated, std::function<void()> retryTerminatingApplication) = 0;
  virtual void showUpdateInstalledAndRelaunched(bool relaunched, std::function<void()> acknowledgement) = 0;
  // The download or installation under way ended without installing (declined, cancelled or failed).
  virtual void dismissUpdateInstallation() = 0;
  // The user asked to check while an update is already under way.
  virtual void showUpdateInFocus() = 0;
};

class Updater {
 public:
  virtual ~Updater() = default;
  // None when the updater runs; else why this copy cannot update itself.
  virtual std::optional<std::string> startUpdater() = 0;
  // A quiet check: its outcome arrives through the driver.
  virtual void checkForUpdatesInBackground() = 0;
  // A check the user asked for; the driver hears it was user-initiated.
  virtual void checkForUpdates() = 0;
};

}  // namespace vistrel::platform
