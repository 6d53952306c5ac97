#include "update/AppUpdate.h"

#include <algorithm>
#include <cstdio>

#include "base/ProductWebPage.h"
#include "platform/Platform.h"
#include "update/ReleaseInfo.h"
#include "update/ReleaseNotesFormat.h"
#include "update/UpdateCard.h"
#include "update/UpdateDriver.h"
#include "update/UpdateInstallPanel.h"
#include "update/UpdateNotice.h"
#include "update/UpdateNotifier.h"

namespace vistrel {

namespace {

using Kind = AppUpdate::Presentation::Kind;

// Downloading fills the bar from 5 % to 80 %.
constexpr double kDownloadStart = 0.05;
constexpr double kDownloadSpan = 0.75;

std::unique_ptr<AppUpdate>& instance() {
  static std::unique_ptr<AppUpdate> update;
  return update;
}

std::optional<std::string> buildChannel() {
  return platform::current().bundle().infoString("VistrelBuildChannel");
}

std::vector<CardFact> releaseFacts() {
  return {{"Version", ReleaseInfo::version()},
          {"Released", ReleaseInfo::releaseDateDisplay()},
          {"Author", ReleaseInfo::author()}};
}

// Why a copy without an updater does not update, as a card.
UpdateCard noUpdaterCard(bool signedRelease) {
  const std::string page = kProductWebPage;
  UpdateCard card;
  card.eyebrow = "Vistrel";
  card.facts = releaseFacts();
  card.linkTitle = std::string("Open ") + kProductWebDomain;
  card.linkURL = page;
  card.primary = "OK";
  card.tone = UpdateCard::Tone::neutral;
  if (AppUpdate::isPackageManaged()) {
    card.title = "Updated by your package manager";
    card.message =
        "This copy was installed from a package, so your package manager keeps it current. For a copy that updates "
        "itself, install the archive from " +
        page + ".";
  } else if (signedRelease) {
    card.title = "Updates unavailable";
    card.message =
        "The updater could not start. Quit Vistrel and open the copy in its installation folder, or reinstall from " +
        page + ".";
  } else {
    card.title = "This copy does not update";
    card.message =
        "This is a developer build, not the signed release. Quit and open Vistrel from its installation folder "
        "(install from " +
        page + "), then try Check for Updates again.";
  }
  return card;
}

}  // namespace

AppUpdate::AppUpdate() = default;
AppUpdate::~AppUpdate() = default;

AppUpdate& AppUpdate::shared() {
  auto& update = instance();
  if (!update) update.reset(new AppUpdate());
  return *update;
}

void AppUpdate::resetForTesting() { instance().reset(); }

bool AppUpdate::isDeveloperIDSigned() const { return platform::current().codeSignature().isReleaseSigned(); }

bool AppUpdate::isPackageManaged() { return buildChannel() == "package"; }

UpdateBadge AppUpdate::badge(const Presentation& presentation) {
  switch (presentation.kind) {
    case Kind::optionalOffer:
    case Kind::optionalInstalling: return UpdateBadge::optional;
    case Kind::requiredInstalling: return UpdateBadge::required;
    case Kind::idle: return UpdateBadge::none;
  }
  return UpdateBadge::none;
}

void AppUpdate::start() {
  if (updater || isPackageManaged() || !isDeveloperIDSigned()) return;
  driver = std::make_unique<UpdateDriver>();
  updater = platform::current().makeUpdater(*driver);
  if (const auto error = updater->startUpdater()) {
    // Not shown now: a later "Check for Updates…" explains that updates are unavailable.
    std::fprintf(stderr, "vistrel: the updater could not start: %s\n", error->c_str());
    updater.reset();
    driver.reset();
    return;
  }
  UpdateNotifier::deliverSuccessIfNeeded();
  updater->checkForUpdatesInBackground();
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
  if (updater) {
    wantsPrompt = true;
    updater->checkForUpdates();
    return;
  }
  UpdateCard::show(noUpdaterCard(isDeveloperIDSigned()));
}

bool AppUpdate::noteOffer(const platform::AppcastItem& item, bool userAsked) {
  const auto notice = UpdateNotice::parse(item.itemDescription);
  const std::string offered = item.displayVersionString;
  const std::string current = platform::current().bundle().infoString("CFBundleShortVersionString").value_or("0");
  const bool required = notice.forceBelow && UpdateNotice::isOlder(current, *notice.forceBelow) &&
                        UpdateNotice::isOlder(current, offered);
  availableVersion = offered;
  if (required) {
    wantsPrompt = false;
    presentation = Presentation::requiredInstalling(offered);
    presentationChanged();
    UpdateInstallPanel::present(UpdateInstallPanel::Kind::required, offered, "Preparing download\u2026");
    return true;
  }
  presentation = Presentation::optionalOffer(offered);
  presentationChanged();
  if (userAsked || wantsPrompt) {
    wantsPrompt = false;
    return confirmInstall(offered, notice.notes);
  }
  return false;
}

bool AppUpdate::confirmInstall(const std::string& version, const std::string& notes) {
  const FormattedReleaseNotes formatted = ReleaseNotesFormat::format(notes);
  UpdateCard card;
  card.eyebrow = "Update available";
  card.title = "Vistrel " + version;
  card.message = "You're in control \u2014 review what's new, then install when it suits you.";
  card.noteItems = formatted.highlights;
  if (formatted.changelogURL) {
    card.linkTitle = "View full changelog on GitHub";
    card.linkURL = formatted.changelogURL;
  }
  card.primary = "Install";
  card.secondary = "Not Now";
  card.tone = UpdateCard::Tone::optionalUpdate;
  if (UpdateCard::show(card)) return true;
  presentation = Presentation::optionalOffer(version);
  presentationChanged();
  return false;
}

void AppUpdate::noteNoUpdate(bool userAsked) {
  availableVersion.reset();
  presentation = Presentation::idle();
  presentationChanged();
  if (!userAsked) return;
  UpdateCard card;
  card.eyebrow = "Updates";
  card.title = "You're on the latest release";
  card.message = "Nothing newer is on the update feed.";
  card.facts = releaseFacts();
  card.primary = "OK";
  card.tone = UpdateCard::Tone::upToDate;
  UpdateCard::show(card);
}

void AppUpdate::noteFailure(const platform::UpdaterError& error, bool userAsked) {
  if (!userAsked) return;
  UpdateCard card;
  card.eyebrow = "Updates";
  card.title = "Couldn't check for updates";
  card.message = error.localizedDescription;
  card.primary = "OK";
  card.tone = UpdateCard::Tone::neutral;
  UpdateCard::show(card);
}

void AppUpdate::showDownload(bool quiet) {
  receivedBytes = 0;
  expectedBytes = 0;
  const std::string version = availableVersion.value_or("");
  presentation = quiet ? Presentation::requiredInstalling(version) : Presentation::optionalInstalling(version);
  if (auto* model = UpdateInstallPanel::model()) {
    model->setPhase("Downloading update\u2026");
  } else {
    UpdateInstallPanel::present(quiet ? UpdateInstallPanel::Kind::required : UpdateInstallPanel::Kind::optional,
                                version, "Downloading update\u2026");
  }
  UpdateInstallPanel::setProgress(0.0);
  presentationChanged();
}

void AppUpdate::receiveExpectedLength(std::uint64_t length) {
  expectedBytes = length;
  refreshProgress();
}

void AppUpdate::receiveData(std::uint64_t length) {
  receivedBytes += length;
  refreshProgress();
}

void AppUpdate::refreshProgress() {
  if (expectedBytes == 0) {
    UpdateInstallPanel::setProgress(std::nullopt);
    return;
  }
  const double share = std::min(double(receivedBytes) / double(expectedBytes), 1.0);
  UpdateInstallPanel::setProgress(share * kDownloadSpan + kDownloadStart);
}

void AppUpdate::dismissProgress() {
  UpdateInstallPanel::dismiss();
  if (presentation.kind == Kind::requiredInstalling) {
    presentation = Presentation::idle();
    availableVersion.reset();
  } else if (presentation.kind == Kind::optionalInstalling) {
    presentation = Presentation::optionalOffer(availableVersion.value_or(""));
  }
  presentationChanged();
}

}  // namespace vistrel
