#include "unit/menu/MenuFixture.h"

#include "app/UtilitiesMenuBuilder.h"
#include "hotkeys/GlobalHotkey.h"

using namespace vistrel;

namespace {

using Kind = MenuRow::Kind;
using Modifier = GlobalHotkey::Modifier;

constexpr std::uint64_t kControl = 0x40000, kOption = 0x80000, kShift = 0x20000, kCommand = 0x100000;

class MenuBuilder : public vistrel::testing::MenuTest {
 protected:
  MenuModel build(const MenuState& state = {}) {
    auto& controller = MenuController::shared();
    controller.tagToAction.clear();
    controller.nextTag = 1;
    return UtilitiesMenuBuilder::makeMenu(controller, state);
  }
  std::vector<std::string> recordSection(const MenuModel& model) {
    auto all = titles(model);
    const auto from = std::find(all.begin(), all.end(), "Record");
    return {from, std::find(from, all.end(), "-")};
  }
};

}  // namespace

// The menu lists every row of the table in order; headers are disabled, actions carry consecutive tags.
TEST_F(MenuBuilder, RowsFollowTheTable) {
  const MenuModel model = build();
  const std::vector<std::string> expected = {
      "Layout", "Left Half", "Right Half", "Center Half", "Top Half", "Bottom Half", "-",
      "Top Left", "Top Right", "Bottom Left", "Bottom Right", "-",
      "First Third", "Center Third", "Last Third", "First Two Thirds", "Last Two Thirds", "-",
      "Maximize", "Almost Maximize", "Maximize Height", "Larger", "Smaller", "Center", "Restore", "-",
      "Next Display", "Previous Display", "-",
      "Capture", "Capture Screen", "Capture Window", "Capture Area", "Scrolling Capture", "Recognize Text/QR", "Timer",
      "-", "Record", "Record Screen", "Record Area", "Record Area as GIF", "-",
      "Launch at Startup", "Settings\u2026", "Check for Updates\u2026", "Quit"};
  EXPECT_EQ(titles(model), expected);

  std::vector<UtilityAction> expectedActions;
  for (const WindowSnap snap : WindowSnaps::allCases()) expectedActions.push_back(UtilityAction::window(snap));
  for (const CaptureMode mode : CaptureModes::allCases()) expectedActions.push_back(UtilityAction::capture(mode));
  expectedActions.insert(expectedActions.end(), {UtilityAction::record(RecordMode::screen),
                                                 UtilityAction::record(RecordMode::area),
                                                 UtilityAction::record(RecordMode::areaGif),
                                                 UtilityAction::openSettings(), UtilityAction::quit()});
  const auto& tags = MenuController::shared().tagToAction;
  int nextTag = 1;
  for (const MenuRow& r : model.rows) {
    EXPECT_EQ(r.enabled, r.kind != Kind::sectionHeader) << r.title;
    if (r.kind != Kind::action) {
      EXPECT_EQ(r.tag, 0) << r.title;
      continue;
    }
    ASSERT_EQ(r.tag, nextTag) << r.title;
    ASSERT_TRUE(tags.count(r.tag));
    EXPECT_EQ(tags.at(r.tag), expectedActions.at(std::size_t(nextTag - 1))) << r.title;
    ++nextTag;
  }
  EXPECT_EQ(nextTag - 1, int(expectedActions.size()));
  EXPECT_EQ(MenuController::shared().nextTag, nextTag);

  EXPECT_EQ(row(model, "Launch at Startup").kind, Kind::launchAtLogin);
  EXPECT_TRUE(row(model, "Launch at Startup").checkable);
  EXPECT_FALSE(row(model, "Launch at Startup").checked);
  EXPECT_EQ(row(model, "Check for Updates\u2026").kind, Kind::checkForUpdates);
}

// The state decides the record rows, the check mark, the repair entry and the update entry's title.
TEST_F(MenuBuilder, StateShapesTheMenu) {
  EXPECT_EQ(recordSection(build()), (std::vector<std::string>{"Record", "Record Screen", "Record Area", "Record Area as GIF"}));

  const MenuModel recording = build({.isRecording = true});
  EXPECT_EQ(recordSection(recording), (std::vector<std::string>{"Record", "Stop Recording"}));
  EXPECT_EQ(MenuController::shared().tagToAction.at(row(recording, "Stop Recording").tag),
            UtilityAction::record(RecordMode::stop));

  const MenuModel untrusted = build({.isProcessTrusted = false, .launchesAtLogin = true, .updatesTitle = "Update"});
  auto all = titles(untrusted);
  const auto launch = std::find(all.begin(), all.end(), "Launch at Startup");
  ASSERT_NE(launch, all.end());
  EXPECT_EQ(std::vector<std::string>(launch, all.end()),
            (std::vector<std::string>{"Launch at Startup", "Fix Split Screen\u2026", "Settings\u2026", "Update",
                                      "Quit"}));
  EXPECT_EQ(row(untrusted, "Fix Split Screen\u2026").kind, Kind::fixSplitScreen);
  EXPECT_TRUE(row(untrusted, "Launch at Startup").checked);
}

// Each action shows its effective shortcut: defaults, none, a moved one, and none for keys without an equivalent.
TEST_F(MenuBuilder, KeyEquivalentsFollowTheStore) {
  MenuModel model = build();
  EXPECT_EQ(row(model, "Left Half").keyEquivalent, "\uF702");
  EXPECT_EQ(row(model, "Left Half").modifierMask, kControl | kOption);
  EXPECT_EQ(row(model, "Maximize").keyEquivalent, "\r");
  EXPECT_EQ(row(model, "Almost Maximize").modifierMask, kControl | kOption | kShift);
  EXPECT_EQ(row(model, "Capture Screen").keyEquivalent, "1");
  EXPECT_EQ(row(model, "Capture Screen").modifierMask, kShift | kCommand);
  EXPECT_EQ(row(model, "Center Half").keyEquivalent, "");
  EXPECT_EQ(row(model, "Center Half").modifierMask, 0u);
  EXPECT_EQ(row(model, "Settings\u2026").keyEquivalent, ",");
  EXPECT_EQ(row(model, "Settings\u2026").modifierMask, kCommand);
  EXPECT_EQ(row(model, "Quit").keyEquivalent, "");

  auto& store = HotkeyStore::shared();
  store.set(std::nullopt, UtilityAction::window(WindowSnap::leftHalf));
  store.set(GlobalHotkey(4, {Modifier::control, Modifier::option}, "h"), UtilityAction::window(WindowSnap::center));
  constexpr std::uint16_t kF5 = 96;
  store.set(GlobalHotkey(kF5, {Modifier::control}), UtilityAction::capture(CaptureMode::area));
  model = build();
  EXPECT_EQ(row(model, "Left Half").keyEquivalent, "");
  EXPECT_EQ(row(model, "Center").keyEquivalent, "h");
  EXPECT_EQ(row(model, "Center").modifierMask, kControl | kOption);
  EXPECT_EQ(row(model, "Capture Area").keyEquivalent, "");
  EXPECT_EQ(row(model, "Capture Area").modifierMask, kControl);
}
