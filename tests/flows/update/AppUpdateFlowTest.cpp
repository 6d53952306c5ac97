#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/sim/SimPlatform.h"
#include "recording/RecordingEngine.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"
#include "update/PreviewCard.h"
#include "update/UpdateCard.h"

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
    RecordingEngine::shared().setRecordingForTesting(false);
    AppUpdate::resetForTesting();
  }

  sim::ScopedSimPlatform sim;
  std::shared_ptr<ScriptedCards> cards = std::make_shared<ScriptedCards>();
};

// Every presentation gives its badge, tooltip and menu title, on release and local builds.
TEST_F(AppUpdateFlow, IconTooltipAndMenuTitle) {
  struct Row {
    Presentation presentation;
    UpdateBadge badge;
    std::string tooltip;
    std::string menuTitle;
  };
  const std::vector<Row> rows = {
      {Presentation::optionalOffer("1.5.0"), UpdateBadge::optional,
       "Vistrel 1.5.0 is available \u2014 your choice to install", "Install 1.5.0\u2026"},
      {Presentation::optionalInstalling("1.5.0"), UpdateBadge::optional, "Vistrel is installing 1.5.0",
       "Installing 1.5.0\u2026"},
      {Presentation::requiredInstalling("1.5.0"), UpdateBadge::required, "Vistrel is applying required update 1.5.0",
       "Required update to 1.5.0\u2026"},
      {Presentation::idle(), UpdateBadge::none, "Vistrel", "Check for Updates\u2026"},
  };
  auto item = sim->makeStatusItem();
  auto& update = AppUpdate::shared();
  update.statusItem = item.get();
  auto* shown = sim->statusItem();
  for (const char* channel : {"release", "local"}) {
    sim->bundle().dictionary["VistrelBuildChannel"] = std::string(channel);
    const bool local = std::string(channel) == "local";
    for (const Row& row : rows) {
      update.presentation = row.presentation;
      update.applyIcon();
      const std::string tooltip =
          local && row.presentation == Presentation::idle() ? "Vistrel \u2014 local build" : row.tooltip;
      EXPECT_EQ(shown->toolTip, tooltip);
      EXPECT_TRUE(shown->isTemplate);
      EXPECT_EQ(shown->image, BrandIcon::menuBarImage(row.badge, local)) << tooltip;
      EXPECT_EQ(update.menuTitle(), row.menuTitle);
    }
  }
}

// While recording, the icon is the recording image with its tooltip, whatever the update state.
TEST_F(AppUpdateFlow, RecordingIcon) {
  auto item = sim->makeStatusItem();
  auto& update = AppUpdate::shared();
  update.statusItem = item.get();
  update.presentation = Presentation::requiredInstalling("1.5.0");
  RecordingEngine::shared().setRecordingForTesting(true);
  update.applyIcon();
  auto* shown = sim->statusItem();
  EXPECT_FALSE(shown->isTemplate);
  EXPECT_EQ(shown->image, BrandIcon::menuBarRecordingImage());
  EXPECT_EQ(shown->toolTip, "Vistrel \u2014 recording (click to stop, right-click for menu)");
  EXPECT_EQ(update.menuTitle(), "Required update to 1.5.0\u2026");

  RecordingEngine::shared().setRecordingForTesting(false);
  update.applyIcon();
  EXPECT_TRUE(shown->isTemplate);
  EXPECT_EQ(shown->toolTip, "Vistrel is applying required update 1.5.0");
}

// Without a status item, or with one that has no button, the icon is left alone.
TEST_F(AppUpdateFlow, NoStatusButton) {
  AppUpdate::shared().applyIcon();
  sim->caps.hasTray = false;
  auto item = sim->makeStatusItem();
  AppUpdate::shared().statusItem = item.get();
  AppUpdate::shared().applyIcon();
  EXPECT_EQ(sim->statusItem()->imageChanges, 0);
  EXPECT_EQ(sim->statusItem()->toolTip, std::nullopt);
}

// An unsigned copy's check explains that it does not update, with the build's facts and the product's page.
TEST_F(AppUpdateFlow, CheckOnAnUnsignedCopy) {
  EXPECT_TRUE(cards->shown.empty());
  AppUpdate::shared().checkForUpdates();
  ASSERT_EQ(cards->shown.size(), 1u);
  const UpdateCard& card = cards->shown[0];
  EXPECT_EQ(card.eyebrow, "Vistrel");
  EXPECT_EQ(card.title, "This copy does not update");
  EXPECT_EQ(card.message,
            "This is a developer build, not the notarized app. Quit and open Vistrel from /Applications (install from "
            "https://vistrel.app), then try Check for Updates again.");
  EXPECT_EQ(card.facts,
            (std::vector<CardFact>{{"Version", "1.4.0"}, {"Released", "spring 2026"}, {"Author", "Ann Example"}}));
  EXPECT_TRUE(card.noteItems.empty());
  EXPECT_EQ(card.notes, std::nullopt);
  EXPECT_EQ(card.linkTitle, "Open vistrel.app");
  EXPECT_EQ(card.linkURL, "https://vistrel.app");
  EXPECT_EQ(card.primary, "OK");
  EXPECT_EQ(card.secondary, std::nullopt);
  EXPECT_EQ(card.tone, UpdateCard::Tone::neutral);
}

// A signed copy without a running updater says updates are unavailable; the test is asked at each check.
TEST_F(AppUpdateFlow, CheckOnASignedCopy) {
  sim->codeSignature().releaseSigned = true;
  sim->bundle().dictionary.erase("CFBundleShortVersionString");
  AppUpdate::shared().checkForUpdates();
  ASSERT_EQ(cards->shown.size(), 1u);
  EXPECT_EQ(cards->shown[0].title, "Updates unavailable");
  EXPECT_EQ(cards->shown[0].message,
            "The updater could not start. Quit Vistrel and open the copy in /Applications, or reinstall from "
            "https://vistrel.app.");
  EXPECT_EQ(cards->shown[0].facts[0], (CardFact{"Version", "\u2014"}));

  sim->codeSignature().releaseSigned = false;
  AppUpdate::shared().checkForUpdates();
  ASSERT_EQ(cards->shown.size(), 2u);
  EXPECT_EQ(cards->shown[1].title, "This copy does not update");
}

// The preview card is the neutral development notice with one "OK" button, and show answers what the user chose.
TEST_F(AppUpdateFlow, PreviewCardAndAnswers) {
  showPreviewCard();
  ASSERT_EQ(cards->shown.size(), 1u);
  const UpdateCard card = cards->shown[0];
  EXPECT_EQ(card.eyebrow, "Development");
  EXPECT_EQ(card.title, "This copy does not update itself");
  EXPECT_EQ(card.message, "Update notices are part of the notarized Vistrel from vistrel.app.");
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
