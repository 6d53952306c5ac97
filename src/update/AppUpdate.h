#pragma once
// The update controller: whether this copy may update itself (the release
// signature and the build channel), the updater it starts and the user driver
// it hands it, the offers it confirms or forces, the download progress, and
// the presentation the status item's icon and tooltip (drawn by the shell's
// tray presenter) and the updates menu item show. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Updater.h"
#include "update/BrandIcon.h"

namespace vistrel {

class UpdateDriver;

class AppUpdate {
 public:
  // What the icon, tooltip and menu item show.
  struct Presentation {
    enum class Kind { idle, optionalOffer, optionalInstalling, requiredInstalling };
    Kind kind = Kind::idle;
    std::string version;  // empty when idle

    static Presentation idle() { return {}; }
    static Presentation optionalOffer(std::string v) { return {Kind::optionalOffer, std::move(v)}; }
    static Presentation optionalInstalling(std::string v) { return {Kind::optionalInstalling, std::move(v)}; }
    static Presentation requiredInstalling(std::string v) { return {Kind::requiredInstalling, std::move(v)}; }
    friend bool operator==(const Presentation&, const Presentation&) = default;
  };

  static AppUpdate& shared();
  // Test-only: a fresh controller.
  static void resetForTesting();
  ~AppUpdate();

  // Once at launch: starts the updater of a signed, self-updating copy,
  // announces a finished update, and checks in the background.
  void start();
  // The title of the updates menu item.
  std::string menuTitle() const;
  // The user asked: the updater checks and the result is shown; without an
  // updater, a card explains why this copy does not update.
  void checkForUpdates();
  // The release-signature test, at each use.
  bool isDeveloperIDSigned() const;
  // Whether the package manager keeps this copy current (build channel "package").
  static bool isPackageManaged();

  static UpdateBadge badge(const Presentation& presentation);

  // What the driver reports. An offer answers whether to install now.
  bool noteOffer(const platform::AppcastItem& item, bool userAsked);
  void noteNoUpdate(bool userAsked);
  void noteFailure(const platform::UpdaterError& error, bool userAsked);
  void showDownload(bool quiet);
  void receiveExpectedLength(std::uint64_t length);
  void receiveData(std::uint64_t length);
  void dismissProgress();

  // The driver is declared before the updater, which reports to it, so that
  // the updater goes first.
  std::unique_ptr<UpdateDriver> driver;
  std::unique_ptr<platform::Updater> updater;
  // Runs after each change of the presentation; the launch sets it.
  std::function<void()> onPresentationChange;
  std::optional<std::string> availableVersion;
  bool wantsPrompt = false;
  std::uint64_t receivedBytes = 0;
  std::uint64_t expectedBytes = 0;
  Presentation presentation;

 private:
  AppUpdate();
  void presentationChanged() {
    if (onPresentationChange) onPresentationChange();
  }
  bool confirmInstall(const std::string& version, const std::string& notes);
  void refreshProgress();
};

}  // namespace vistrel
