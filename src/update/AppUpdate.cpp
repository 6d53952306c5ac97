#include "update/AppUpdate.h"

#include <memory>

#include "platform/Platform.h"
#include "recording/RecordingEngine.h"
#include "update/ProductWebPage.h"
#include "update/ReleaseInfo.h"
#include "update/UpdateCard.h"

namespace vistrel {

namespace {

using Kind = AppUpdate::Presentation::Kind;

std::unique_ptr<AppUpdate>& instance() {
  static std::unique_ptr<AppUpdate> update;
  return update;
}

// The same test as the build identity's, read here because the shell depends on this library.
bool isLocalBuild() { return platform::current().bundle().infoString("VistrelBuildChannel") == "local"; }

std::vector<CardFact> releaseFacts() {
  return {{"Version", ReleaseInfo::version()},
          {"Released", ReleaseInfo::releaseDateDisplay()},
          {"Author", ReleaseInfo::author()}};
}

}  // namespace

AppUpdate& AppUpdate::shared() {
  auto& update = instance();
  if (!update) update.reset(new AppUpdate());
  return *update;
}

void AppUpdate::resetForTesting() { instance().reset(); }

bool AppUpdate::isDeveloperIDSigned() const { return platform::current().codeSignature().isReleaseSigned(); }

UpdateBadge AppUpdate::badge(const Presentation& presentation) {
  switch (presentation.kind) {
    case Kind::optionalOffer:
    case Kind::optionalInstalling: return UpdateBadge::optional;
    case Kind::requiredInstalling: return UpdateBadge::required;
    case Kind::idle: return UpdateBadge::none;
  }
  return UpdateBadge::none;
}

void AppUpdate::applyIcon() {
  if (!statusItem || !statusItem->hasButton()) return;
  if (RecordingEngine::shared().isRecording()) {
    statusItem->setImage(BrandIcon::menuBarRecordingImage(), false);
    statusItem->setToolTip("Vistrel \u2014 recording (click to stop, right-click for menu)");
    return;
  }
  const bool local = isLocalBuild();
  statusItem->setImage(BrandIcon::menuBarImage(badge(presentation), local), true);
  const std::string& v = presentation.version;
  switch (presentation.kind) {
    case Kind::optionalOffer:
      statusItem->setToolTip("Vistrel " + v + " is available \u2014 your choice to install");
      return;
    case Kind::optionalInstalling: statusItem->setToolTip("Vistrel is installing " + v); return;
    case Kind::requiredInstalling: statusItem->setToolTip("Vistrel is applying required update " + v); return;
    case Kind::idle: statusItem->setToolTip(local ? "Vistrel \u2014 local build" : "Vistrel"); return;
  }
}

std::string AppUpdate::menuTitle() const {
  const std::string& v = presentation.version;
  switch (presentation.kind) {
    case Kind::optionalOffer: return "Install " + v + "\u2026";
    case Kind::optionalInstalling: return "Installing " + v + "\u2026";
    case Kind::requiredInstalling: return "Required update to " + v + "\u2026";
    case Kind::idle: return "Check for Updates\u2026";
  }
  return "Check for Updates\u2026";
}

void AppUpdate::checkForUpdates() {
  const std::string page = kProductWebPage;
  UpdateCard card;
  card.eyebrow = "Vistrel";
  card.facts = releaseFacts();
  card.linkTitle = std::string("Open ") + kProductWebDomain;
  card.linkURL = page;
  card.primary = "OK";
  card.tone = UpdateCard::Tone::neutral;
  if (isDeveloperIDSigned()) {
    card.title = "Updates unavailable";
    card.message =
        "The updater could not start. Quit Vistrel and open the copy in /Applications, or reinstall from " + page + ".";
  } else {
    card.title = "This copy does not update";
    card.message =
        "This is a developer build, not the notarized app. Quit and open Vistrel from /Applications "
        "(install from " +
        page + "), then try Check for Updates again.";
  }
  UpdateCard::show(card);
}

}  // namespace vistrel
