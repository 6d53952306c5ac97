#include <gtest/gtest.h>

#include <set>
#include <unordered_map>

#include "base/UtilityAction.h"

using namespace vistrel;

// The vocabulary has 34 actions with unique storage ids that read back to the same action.
TEST(UtilityAction, StorageIdsAreUniqueAndRoundTrip) {
  const auto& all = UtilityAction::allActions();
  ASSERT_EQ(all.size(), 34u);
  std::set<std::string> ids;
  for (const auto& a : all) {
    EXPECT_TRUE(ids.insert(a.storageID()).second) << a.storageID();
    EXPECT_EQ(UtilityAction::fromStorageID(a.storageID()), a);
  }
  EXPECT_EQ(all.front().storageID(), "window.leftHalf");
  EXPECT_EQ(all[22].storageID(), "window.previousDisplay");
  EXPECT_EQ(all[23].storageID(), "capture.screen");
  EXPECT_EQ(all[28].storageID(), "record.screen");
  EXPECT_EQ(all[30].storageID(), "record.stop");
  EXPECT_EQ(all[31].storageID(), "record.areaGif");
  EXPECT_EQ(all[32].storageID(), "settings");
  EXPECT_EQ(all[33].storageID(), "quit");
  EXPECT_EQ(UtilityAction::fromStorageID("window.LeftHalf"), std::nullopt);
  EXPECT_EQ(UtilityAction::fromStorageID("capture."), std::nullopt);
}

// Capturing and recording the screen are different actions and different dictionary keys.
TEST(UtilityAction, CaptureAndRecordScreenDiffer) {
  const auto capture = UtilityAction::capture(CaptureMode::screen);
  const auto record = UtilityAction::record(RecordMode::screen);
  EXPECT_NE(capture, record);
  std::unordered_map<UtilityAction, int> map{{capture, 1}, {record, 2}};
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at(capture), 1);
}

// Titles and menu symbols, including the fallbacks of Record Area and Stop Recording.
TEST(UtilityAction, TitlesAndSymbols) {
  EXPECT_EQ(UtilityAction::window(WindowSnap::lastTwoThirds).settingsTitle(), "Last Two Thirds");
  EXPECT_EQ(UtilityAction::capture(CaptureMode::recognizeTextOrQR).settingsTitle(), "Recognize Text/QR");
  EXPECT_EQ(UtilityAction::openSettings().settingsTitle(), "Settings\u2026");
  EXPECT_EQ(UtilityAction::record(RecordMode::area).symbolNames(),
            (std::vector<std::string_view>{"viewfinder", "viewfinder.rectangular", "rectangle.dashed", "record.circle"}));
  EXPECT_EQ(UtilityAction::record(RecordMode::stop).symbolNames(),
            (std::vector<std::string_view>{"stop.circle.fill", "stop.fill"}));
  EXPECT_TRUE(UtilityAction::quit().symbolNames().empty());
  EXPECT_EQ(UtilityAction::window(WindowSnap::maximize).symbolNames(),
            (std::vector<std::string_view>{"arrow.up.left.and.arrow.down.right"}));
}

// The three groups hold 23, 5 and 2 actions; stop, settings and quit belong to none.
TEST(UtilityAction, Groups) {
  EXPECT_EQ(ActionGroups::actions(ActionGroup::layout).size(), 23u);
  EXPECT_EQ(ActionGroups::actions(ActionGroup::capture).size(), 5u);
  EXPECT_EQ(ActionGroups::actions(ActionGroup::record),
            (std::vector{UtilityAction::record(RecordMode::screen), UtilityAction::record(RecordMode::area)}));
  EXPECT_EQ(ActionGroups::customizableActions().size(), 30u);
  EXPECT_EQ(UtilityAction::record(RecordMode::stop).group(), std::nullopt);
  EXPECT_EQ(ActionGroups::title(ActionGroup::capture), "Capture");
}

// Raw values of the sub-vocabularies are exact and case-sensitive.
TEST(UtilityAction, ModesFromRaw) {
  EXPECT_EQ(CaptureModes::fromRaw("recognizeTextOrQR"), CaptureMode::recognizeTextOrQR);
  EXPECT_EQ(CaptureModes::fromRaw("Screen"), std::nullopt);
  EXPECT_EQ(RecordModes::fromRaw("stop"), RecordMode::stop);
  EXPECT_EQ(RecordModes::fromRaw("stop "), std::nullopt);
  EXPECT_EQ(WindowSnaps::fromRaw("centerHalf"), WindowSnap::centerHalf);
  EXPECT_EQ(WindowSnaps::fromRaw("centerhalf"), std::nullopt);
}
