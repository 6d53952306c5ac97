#pragma once
// The update controller: whether this copy may update itself (the release
// signature), what the status item's icon, tooltip and the updates menu item
// show, and the user's "Check for Updates…". Main thread only.
//
// This build has no updater yet: a signed copy has nothing to start, and a
// check always explains with a card why this copy does not update.

#include <string>

#include "platform/StatusItem.h"
#include "update/BrandIcon.h"

namespace vistrel {

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

  // Draws the icon and tooltip for the current update and recording state on
  // the status item; nothing without a status item or its button.
  void applyIcon();
  // The title of the updates menu item.
  std::string menuTitle() const;
  // The user asked: without an updater, a card explains why this copy does not update.
  void checkForUpdates();
  // The release-signature test, at each use.
  bool isDeveloperIDSigned() const;

  static UpdateBadge badge(const Presentation& presentation);

  // Not owned; the launch sets it and keeps the item for the whole run.
  platform::StatusItem* statusItem = nullptr;
  Presentation presentation;

 private:
  AppUpdate() = default;
};

}  // namespace vistrel
