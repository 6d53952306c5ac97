#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/sim/SimPlatform.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"
#include "update/PreviewCard.h"
#include "update/UpdateCard.h"
#include "update/UpdateDriver.h"
#include "update/UpdateInstallPanel.h"
#include "update/UpdateNotifier.h"

namespace vistrel {
namespace {

using Presentation = AppUpdate::Presentation;

// Answers every card with `answer` and keeps what it was shown.
class ScriptedCards : public CardPresenter {
 public:
  int runModal(const UpdateCard& card) override {
    shown.push_back(card);
    return answer;
  }
  std::vector<UpdateCard> shown;
  int answer = 1;
};

class AppUpdateFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    AppUpdate::resetForTesting();
    setCardPresenter(cards);
    sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("1.4.0");
    sim->bundle().dictionary["VistrelReleaseDate"] = std::string("spring 2026");
    sim->bundle().dictionary["VistrelAuthor"] = std::string("Ann Example");
  }
  void TearDown() override {
    setCardPresenter(nullptr);
    AppUpdate::resetForTesting();
  }

  sim::ScopedSimPlatform sim;
  std::shared_ptr<ScriptedCards> cards = std::make_shared<ScriptedCards>();
};

// Every presentation gives its menu title and badge.
TEST_F(AppUpdateFlow, MenuTitleAndBadge) {
  struct Row {
    Presentation presentation;
    UpdateBadge badge;
    std::string menuTitle;
  };
  const std::vector<Row> rows = {
      {Presentation::optionalOffer("1.5.0"), UpdateBadge::optional, "Install 1.5.0\u2026"},
      {Presentation::optionalInstalling("1.5.0"), UpdateBadge::optional, "Installing 1.5.0\u2026"},
      {Presentation::requiredInstalling("1.5.0"), UpdateBadge::required, "Required update to 1.5.0\u2026"},
      {Presentation::idle(), UpdateBadge::none, "Check for Updates\u2026"},
  };
  auto& update = AppUpdate::shared();
  for (const Row& row : rows) {
    update.presentation = row.presentation;
    EXPECT_EQ(update.menuTitle(), row.menuTitle);
    EXPECT_EQ(AppUpdate::badge(row.presentation), row.badge) << row.menuTitle;
  }
}

// Without an updater a check explains why, with the build's facts and the product's page: an unsigned copy,
// a signed one whose updater did not start, and a package (asked at each check).
TEST_F(AppUpdateFlow, CheckWithoutAnUpdater) {
  AppUpdate::shared().checkForUpdates();
  ASSERT_EQ(cards->shown.size(), 1u);
  const UpdateCard& card = cards->shown[0];
  EXPECT_EQ(card.eyebrow, "Vistrel");
  EXPECT_EQ(card.title, "This copy does not update");
  EXPECT_EQ(card.message,
            "This is a developer build, not the signed release. Quit and open Vistrel from its installation folder "
            "(install from https://vistrel.app), then try Check for Updates again.");
  EXPECT_EQ(card.facts,
            (std::vector<CardFact>{{"Version", "1.4.0"}, {"Released", "spring 2026"}, {"Author", "Ann Example"}}));
  EXPECT_EQ(card.linkTitle, "Open vistrel.app");
  EXPECT_EQ(card.linkURL, "https://vistrel.app");
  EXPECT_EQ(card.primary, "OK");
  EXPECT_EQ(card.secondary, std::nullopt);
  EXPECT_EQ(card.tone, UpdateCard::Tone::neutral);

  sim->codeSignature().releaseSigned = true;
  sim->bundle().dictionary.erase("CFBundleShortVersionString");
  AppUpdate::shared().checkForUpdates();
  EXPECT_EQ(cards->shown[1].title, "Updates unavailable");
  EXPECT_EQ(cards->shown[1].message,
            "The updater could not start. Quit Vistrel and open the copy in its installation folder, or reinstall "
            "from https://vistrel.app.");
  EXPECT_EQ(cards->shown[1].facts[0], (CardFact{"Version", "\u2014"}));

  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("package");
  AppUpdate::shared().checkForUpdates();
  EXPECT_EQ(cards->shown[2].title, "Updated by your package manager");
  EXPECT_EQ(cards->shown[2].message,
            "This copy was installed from a package, so your package manager keeps it current. For a copy that "
            "updates itself, install the archive from https://vistrel.app.");
}

// Only a signed copy outside a package starts an updater; a failed start drops it; a started one announces a
// finished update, checks in the background, and turns automatic checks on.
TEST_F(AppUpdateFlow, Start) {
  auto& update = AppUpdate::shared();
  update.start();
  sim->codeSignature().releaseSigned = true;
  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("package");
  update.start();
  EXPECT_EQ(sim->updaters().made, 0);

  sim->bundle().dictionary["VistrelBuildChannel"] = std::string("release");
  sim->updaters().startFailure = "no installation folder";
  update.start();
  EXPECT_EQ(sim->updaters().made, 1);
  EXPECT_EQ(update.updater, nullptr);
  EXPECT_EQ(update.driver, nullptr);
  EXPECT_FALSE(sim->defaults().value(UpdateNotifier::kLastRunVersionKey));

  sim->updaters().startFailure.reset();
  update.start();
  update.start();
  ASSERT_EQ(sim->updaters().made, 2);
  auto* updater = sim->updaters().last;
  EXPECT_EQ(updater->backgroundChecks, 1);
  ASSERT_TRUE(updater->permission);
  EXPECT_TRUE(updater->permission->automaticUpdateChecks);
  EXPECT_FALSE(updater->permission->sendSystemProfile);
  EXPECT_EQ(sim->defaults().value(UpdateNotifier::kLastRunVersionKey), platform::UserDefaults::Value(std::string("1.4.0")));

  update.checkForUpdates();
  EXPECT_EQ(updater->userChecks, 1);
  EXPECT_TRUE(update.wantsPrompt);
  EXPECT_TRUE(cards->shown.empty());
}

class UpdaterFlow : public AppUpdateFlow {
 protected:
  void SetUp() override {
    AppUpdateFlow::SetUp();
    sim->codeSignature().releaseSigned = true;
    sim->bundle().dictionary["VistrelBuildChannel"] = std::string("release");
    AppUpdate::shared().onPresentationChange = [this] { presented.push_back(AppUpdate::shared().presentation); };
    AppUpdate::shared().start();
    updater = sim->updaters().last;
  }
  void TearDown() override {
    UpdateInstallPanel::dismiss();
    AppUpdateFlow::TearDown();
  }

  static platform::AppcastItem offer(const std::string& version, const std::string& description) {
    return {.title = "Vistrel " + version, .versionString = version, .displayVersionString = version,
            .itemDescription = description, .fileURL = "https://vistrel.app/vistrel.tar.xz",
            .contentLength = 1000, .edSignature = ""};
  }

  double progress() const { return UpdateInstallPanel::model()->progress().value_or(-1); }

  // The presentations the icon was asked to show, in order.
  std::vector<Presentation> presented;
  sim::SimUpdater* updater = nullptr;
};

// Current 1.4.0 and a marker for 1.4.5: installed without a card, with the required panel and progress from
// "Preparing download…" to "Restarting Vistrel…"; the version is noted for the next start.
TEST_F(UpdaterFlow, ForcedUpdate) {
  auto& update = AppUpdate::shared();
  EXPECT_EQ(updater->offer(offer("1.5.0", "Vistrel-Force-Below: 1.4.5\n\n- Faster capture"), false),
            platform::UserUpdateChoice::install);
  EXPECT_TRUE(cards->shown.empty());
  EXPECT_EQ(update.presentation, Presentation::requiredInstalling("1.5.0"));
  EXPECT_EQ(presented.back(), Presentation::requiredInstalling("1.5.0"));
  auto* model = UpdateInstallPanel::model();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->kind(), UpdateInstallPanel::Kind::required);
  EXPECT_EQ(model->phase(), "Preparing download\u2026");

  updater->driver.showDownloadInitiated([] {});
  EXPECT_EQ(model->phase(), "Downloading update\u2026");
  EXPECT_EQ(progress(), 0.0);
  updater->driver.showDownloadDidReceiveExpectedContentLength(1000);
  updater->driver.showDownloadDidReceiveData(300);
  updater->driver.showDownloadDidReceiveData(200);
  EXPECT_DOUBLE_EQ(progress(), 0.425);
  updater->driver.showDownloadDidReceiveData(900);
  EXPECT_DOUBLE_EQ(progress(), 0.80);
  updater->driver.showDownloadDidStartExtractingUpdate();
  EXPECT_EQ(model->phase(), "Installing update\u2026");
  EXPECT_DOUBLE_EQ(progress(), 0.82);
  updater->driver.showExtractionReceivedProgress(1.0);
  EXPECT_DOUBLE_EQ(progress(), 0.95);
  std::optional<platform::UserUpdateChoice> choice;
  updater->driver.showReadyToInstallAndRelaunch([&](platform::UserUpdateChoice c) { choice = c; });
  EXPECT_EQ(choice, platform::UserUpdateChoice::install);
  EXPECT_EQ(model->phase(), "Restarting Vistrel\u2026");
  EXPECT_DOUBLE_EQ(progress(), 1.0);
  EXPECT_EQ(sim->defaults().value(UpdateNotifier::kPendingSuccessVersionKey), platform::UserDefaults::Value(std::string("1.5.0")));

  // Installation dismissed: the panel closes and nothing is pending on the icon.
  updater->driver.dismissUpdateInstallation();
  EXPECT_EQ(UpdateInstallPanel::model(), nullptr);
  EXPECT_EQ(update.presentation, Presentation::idle());
  EXPECT_EQ(update.availableVersion, std::nullopt);
}

// The marker applies only while current is below both it and the offered version.
TEST_F(UpdaterFlow, ForcedRule) {
  sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("1.4.5");
  EXPECT_EQ(updater->offer(offer("1.5.0", "Vistrel-Force-Below: 1.4.5\n- Faster capture"), false),
            platform::UserUpdateChoice::dismiss);
  EXPECT_EQ(AppUpdate::shared().menuTitle(), "Install 1.5.0\u2026");
  sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("1.6.0");
  EXPECT_EQ(updater->offer(offer("1.5.0", "Vistrel-Force-Below: 2.0"), false), platform::UserUpdateChoice::dismiss);
  sim->bundle().dictionary.erase("CFBundleShortVersionString");
  EXPECT_EQ(updater->offer(offer("0.1", "Vistrel-Force-Below: 0.0.1"), false), platform::UserUpdateChoice::install);
  EXPECT_TRUE(cards->shown.empty());
}

// A background offer only badges the icon; the user's check shows the card with the highlights and the
// changelog; "Not Now" keeps the badge, "Install" downloads with the optional panel, and a dismissed
// installation returns to the offer.
TEST_F(UpdaterFlow, OptionalOffer) {
  auto& update = AppUpdate::shared();
  const auto item = offer("1.5.0",
                          "## 1.5.0\n- Faster capture\n* **New:** pinned windows\n"
                          "Full changelog: https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0).");
  EXPECT_EQ(updater->offer(item, false), platform::UserUpdateChoice::dismiss);
  EXPECT_TRUE(cards->shown.empty());
  EXPECT_EQ(update.badge(update.presentation), UpdateBadge::optional);
  EXPECT_EQ(presented.back(), Presentation::optionalOffer("1.5.0"));

  update.checkForUpdates();
  cards->answer = 0;
  EXPECT_EQ(updater->offer(item, true), platform::UserUpdateChoice::dismiss);
  ASSERT_EQ(cards->shown.size(), 1u);
  const UpdateCard& card = cards->shown[0];
  EXPECT_EQ(card.eyebrow, "Update available");
  EXPECT_EQ(card.title, "Vistrel 1.5.0");
  EXPECT_EQ(card.message, "You're in control \u2014 review what's new, then install when it suits you.");
  EXPECT_EQ(card.noteItems, (std::vector<std::string>{"Faster capture", "New: pinned windows"}));
  EXPECT_EQ(card.linkTitle, "View full changelog on GitHub");
  EXPECT_EQ(card.linkURL, "https://github.com/vistrel/vistrel/compare/v1.4.0...v1.5.0");
  EXPECT_EQ(card.primary, "Install");
  EXPECT_EQ(card.secondary, "Not Now");
  EXPECT_EQ(card.tone, UpdateCard::Tone::optionalUpdate);
  EXPECT_EQ(update.menuTitle(), "Install 1.5.0\u2026");
  EXPECT_FALSE(update.wantsPrompt);

  // The menu item again: the check's result comes back as not user-initiated, and still shows the card.
  update.checkForUpdates();
  cards->answer = 1;
  EXPECT_EQ(updater->offer(item, false), platform::UserUpdateChoice::install);
  EXPECT_EQ(cards->shown.size(), 2u);
  EXPECT_EQ(updater->download(0, {400}), platform::UserUpdateChoice::install);
  EXPECT_EQ(update.presentation, Presentation::optionalInstalling("1.5.0"));
  EXPECT_EQ(UpdateInstallPanel::model()->kind(), UpdateInstallPanel::Kind::optional);
  EXPECT_EQ(UpdateInstallPanel::model()->headline(), "Installing Vistrel 1.5.0");
  updater->driver.showDownloadInitiated([] {});
  updater->driver.showDownloadDidReceiveData(10);
  EXPECT_EQ(UpdateInstallPanel::model()->progress(), std::nullopt);  // size unknown
  updater->driver.dismissUpdateInstallation();
  EXPECT_EQ(update.presentation, Presentation::optionalOffer("1.5.0"));
  EXPECT_EQ(UpdateInstallPanel::model(), nullptr);
}

// Nothing newer and failures show cards only when the user asked; nothing newer clears the badge.
TEST_F(UpdaterFlow, NoUpdateAndFailures) {
  auto& update = AppUpdate::shared();
  updater->offer(offer("1.5.0", ""), false);
  updater->driver.showUpdateNotFound({"newest"}, [] {});
  EXPECT_EQ(update.presentation, Presentation::idle());
  updater->driver.showUpdaterError({"The update feed could not be read: Connection refused"}, [] {});
  EXPECT_TRUE(cards->shown.empty());

  update.checkForUpdates();
  updater->driver.showUpdateNotFound({"newest"}, [] {});
  ASSERT_EQ(cards->shown.size(), 1u);
  EXPECT_EQ(cards->shown[0].eyebrow, "Updates");
  EXPECT_EQ(cards->shown[0].title, "You're on the latest release");
  EXPECT_EQ(cards->shown[0].message, "Nothing newer is on the update feed.");
  EXPECT_EQ(cards->shown[0].facts.size(), 3u);
  EXPECT_EQ(cards->shown[0].tone, UpdateCard::Tone::upToDate);

  update.checkForUpdates();
  updater->driver.showUpdaterError({"The update feed could not be read: Connection refused"}, [] {});
  ASSERT_EQ(cards->shown.size(), 2u);
  EXPECT_EQ(cards->shown[1].title, "Couldn't check for updates");
  EXPECT_EQ(cards->shown[1].message, "The update feed could not be read: Connection refused");
  EXPECT_TRUE(cards->shown[1].facts.empty());
  EXPECT_EQ(cards->shown[1].tone, UpdateCard::Tone::neutral);
}

// "Update complete" once after an update through the updater; after a manual upgrade too; never after a
// downgrade or on the next start.
TEST_F(AppUpdateFlow, UpdateCompleteNotice) {
  auto& defaults = sim->defaults();
  const auto& delivered = sim->notifications().delivered;
  defaults.set(UpdateNotifier::kLastRunVersionKey, std::string("1.3.0"));
  UpdateNotifier::markPendingSuccess("");
  UpdateNotifier::markPendingSuccess("1.4.0");
  UpdateNotifier::deliverSuccessIfNeeded();
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].identifier, "vistrel.update.success.1.4.0");
  EXPECT_EQ(delivered[0].title, "Update complete");
  EXPECT_EQ(delivered[0].body, "Vistrel is now on version 1.4.0.");
  EXPECT_TRUE(delivered[0].sound);
  UpdateNotifier::deliverSuccessIfNeeded();
  EXPECT_EQ(delivered.size(), 1u);

  sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("1.5.0");
  UpdateNotifier::deliverSuccessIfNeeded();
  EXPECT_EQ(delivered.size(), 2u);
  sim->bundle().dictionary["CFBundleShortVersionString"] = std::string("1.3.0");
  UpdateNotifier::markPendingSuccess("1.5.0");  // an install that failed
  UpdateNotifier::deliverSuccessIfNeeded();
  EXPECT_EQ(delivered.size(), 2u);
  EXPECT_FALSE(defaults.value(UpdateNotifier::kPendingSuccessVersionKey));
  EXPECT_EQ(UpdateNotifier::Delegate::shared().willPresent({}).alert, true);
}

// The preview card is the neutral development notice with one "OK" button, and show answers what the user chose.
TEST_F(AppUpdateFlow, PreviewCardAndAnswers) {
  showPreviewCard();
  ASSERT_EQ(cards->shown.size(), 1u);
  const UpdateCard card = cards->shown[0];
  EXPECT_EQ(card.eyebrow, "Development");
  EXPECT_EQ(card.title, "This copy does not update itself");
  EXPECT_EQ(card.message, "Update notices are part of the signed Vistrel from vistrel.app.");
  EXPECT_TRUE(card.facts.empty());
  EXPECT_EQ(card.linkURL, std::nullopt);
  EXPECT_EQ(card.primary, "OK");
  EXPECT_EQ(card.secondary, std::nullopt);
  EXPECT_EQ(card.tone, UpdateCard::Tone::neutral);

  EXPECT_TRUE(UpdateCard::show(card));
  cards->answer = 0;
  EXPECT_FALSE(UpdateCard::show(card));
}

}  // namespace
}  // namespace vistrel
