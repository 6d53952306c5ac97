#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TrayPresenter.h"
#include "platform/sim/SimPlatform.h"
#include "recording/RecordingEngine.h"
#include "update/AppUpdate.h"
#include "update/BrandIcon.h"

using namespace vistrel;

namespace {

using Presentation = AppUpdate::Presentation;

class TrayPresenterFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    AppUpdate::resetForTesting();
    item = sim->makeStatusItem();
    TrayPresenter::shared().statusItem = item.get();
  }
  void TearDown() override {
    TrayPresenter::shared().statusItem = nullptr;
    RecordingEngine::shared().setRecordingForTesting(false);
    AppUpdate::resetForTesting();
  }
  sim::ScopedSimPlatform sim;
  std::unique_ptr<platform::StatusItem> item;
};

}  // namespace

// Every update presentation gives its badge and tooltip, on release and local builds.
TEST_F(TrayPresenterFlow, UpdatePresentations) {
  struct Row {
    Presentation presentation;
    UpdateBadge badge;
    std::string tooltip;
  };
  const std::vector<Row> rows = {
      {Presentation::optionalOffer("1.5.0"), UpdateBadge::optional,
       "Vistrel 1.5.0 is available \u2014 your choice to install"},
      {Presentation::optionalInstalling("1.5.0"), UpdateBadge::optional, "Vistrel is installing 1.5.0"},
      {Presentation::requiredInstalling("1.5.0"), UpdateBadge::required, "Vistrel is applying required update 1.5.0"},
      {Presentation::idle(), UpdateBadge::none, "Vistrel"},
  };
  auto* shown = sim->statusItem();
  for (const char* channel : {"release", "local"}) {
    sim->bundle().dictionary["VistrelBuildChannel"] = std::string(channel);
    const bool local = std::string(channel) == "local";
    for (const Row& row : rows) {
      AppUpdate::shared().presentation = row.presentation;
      TrayPresenter::shared().applyIcon();
      const std::string tooltip =
          local && row.presentation == Presentation::idle() ? "Vistrel \u2014 local build" : row.tooltip;
      EXPECT_EQ(shown->toolTip, tooltip);
      EXPECT_TRUE(shown->isTemplate);
      EXPECT_EQ(shown->image, BrandIcon::menuBarImage(row.badge, local)) << tooltip;
    }
  }
}

// While recording, the icon is the recording image with its tooltip, whatever the update state.
TEST_F(TrayPresenterFlow, RecordingIcon) {
  AppUpdate::shared().presentation = Presentation::requiredInstalling("1.5.0");
  RecordingEngine::shared().setRecordingForTesting(true);
  TrayPresenter::shared().applyIcon();
  auto* shown = sim->statusItem();
  EXPECT_FALSE(shown->isTemplate);
  EXPECT_EQ(shown->image, BrandIcon::menuBarRecordingImage());
  EXPECT_EQ(shown->toolTip, "Vistrel \u2014 recording (click to stop, right-click for menu)");

  RecordingEngine::shared().setRecordingForTesting(false);
  TrayPresenter::shared().applyIcon();
  EXPECT_TRUE(shown->isTemplate);
  EXPECT_EQ(shown->toolTip, "Vistrel is applying required update 1.5.0");
}

// Without a status item, or with one that has no button, the icon is left alone.
TEST_F(TrayPresenterFlow, NoStatusButton) {
  TrayPresenter::shared().statusItem = nullptr;
  TrayPresenter::shared().applyIcon();
  sim->trayAvailable = false;
  auto buttonless = sim->makeStatusItem();
  TrayPresenter::shared().statusItem = buttonless.get();
  TrayPresenter::shared().applyIcon();
  EXPECT_EQ(sim->statusItem()->imageChanges, 0);
  EXPECT_EQ(sim->statusItem()->toolTip, std::nullopt);
}
