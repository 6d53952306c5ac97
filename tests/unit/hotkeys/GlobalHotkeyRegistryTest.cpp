#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/LayoutLog.h"
#include "hotkeys/GlobalHotkeyRegistry.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

using M = GlobalHotkey::Modifier;
using platform::carbon::controlKey;
using platform::carbon::optionKey;

constexpr std::uint32_t kCtrlOpt = controlKey | optionKey;  // 6144
const UtilityAction kLeft = UtilityAction::window(WindowSnap::leftHalf);
const UtilityAction kRight = UtilityAction::window(WindowSnap::rightHalf);
const GlobalHotkey kLeftKey(123, {M::control, M::option});
const GlobalHotkey kRightKey(124, {M::control, M::option});

class GlobalHotkeyRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    logPath = dir.filePath("layout.log").toStdString();
    LayoutLog::setPathForTesting(logPath);
    GlobalHotkeyRegistry::resetSharedForTesting();
  }
  void TearDown() override {
    GlobalHotkeyRegistry::resetSharedForTesting();
    LayoutLog::setPathForTesting(LayoutLog::kPath);
  }

  GlobalHotkeyRegistry& registry() { return GlobalHotkeyRegistry::shared(); }
  sim::SimHotKeys& keys() { return sim->hotKeys(); }

  void registerBindings(const HotkeyBindings& bindings) {
    registry().registerDefaults(bindings, [this](const UtilityAction& action) { performed.push_back(action); });
  }
  // A press, then the main queue's turn.
  void press(std::uint32_t keyCode, std::uint32_t modifiers = kCtrlOpt) {
    keys().pressHotKey(keyCode, modifiers);
    sim->clock().runPending();
  }

  // The log's messages, without their timestamps.
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath);
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
  }

  sim::ScopedSimPlatform sim;
  QTemporaryDir dir;
  std::string logPath;
  std::vector<UtilityAction> performed;
};

// Bindings register as 'VSTL' with ids from 1 and one event handler; a press logs and acts on the main queue's turn.
TEST_F(GlobalHotkeyRegistryTest, RegistersAndDispatchesOnTheMainQueue) {
  registerBindings({{kLeft, kLeftKey}, {kRight, kRightKey}});
  registerBindings({{kLeft, kLeftKey}, {kRight, kRightKey}});

  ASSERT_EQ(keys().registrations().size(), 2u);
  std::set<std::uint32_t> ids;
  for (const auto& r : keys().registrations()) {
    EXPECT_EQ(r.id.signature, 0x5653544Cu);
    EXPECT_EQ(r.modifiers, kCtrlOpt);
    ids.insert(r.id.id);
  }
  EXPECT_EQ(ids, (std::set<std::uint32_t>{1, 2}));
  EXPECT_TRUE(keys().hasHandler());

  keys().pressHotKey(123, kCtrlOpt);
  EXPECT_TRUE(performed.empty());
  sim->clock().runPending();
  EXPECT_EQ(performed, std::vector<UtilityAction>{kLeft});

  const auto leftID = std::find_if(keys().registrations().begin(), keys().registrations().end(),
                                   [](const auto& r) { return r.keyCode == 123; })->id.id;
  EXPECT_EQ(logLines(), (std::vector<std::string>{"hotkey-handler status=0",
                                                  "hotkey-fired id=" + std::to_string(leftID)}));
}

// A repeat is ignored just under 0.75 s after the accepted press (ignored ones count for nothing), accepted at 0.75 s.
TEST_F(GlobalHotkeyRegistryTest, DebouncesTheSameHotkey) {
  registerBindings({{kLeft, kLeftKey}});
  press(123);
  ASSERT_EQ(performed.size(), 1u);

  sim->clock().advance(0.5);
  press(123);
  sim->clock().advance(0.2421875);  // 0.7421875 s after the accepted press
  press(123);
  EXPECT_EQ(performed.size(), 1u);

  sim->clock().advance(0.0078125);  // exactly 0.75 s
  press(123);
  EXPECT_EQ(performed.size(), 2u);
  sim->clock().advance(0.7421875);
  press(123);
  EXPECT_EQ(performed.size(), 2u);
}

// Hotkey A and then hotkey B at once both perform: only the same id is debounced.
TEST_F(GlobalHotkeyRegistryTest, DifferentHotkeysAreNotDebounced) {
  registerBindings({{kLeft, kLeftKey}, {kRight, kRightKey}});
  press(123);
  press(124);
  press(123);
  EXPECT_EQ(performed, (std::vector<UtilityAction>{kLeft, kRight, kLeft}));
}

// The defaults twice give one registration each; an empty set unregisters all, even for a press already queued.
TEST_F(GlobalHotkeyRegistryTest, ReRegistrationReplacesEverything) {
  const HotkeyBindings& defaults = DefaultHotkeys::bindings();
  registerBindings(defaults);
  registerBindings(defaults);
  std::set<std::pair<std::uint32_t, std::uint32_t>> keysHeld;
  std::set<std::uint32_t> ids;
  for (const auto& r : keys().registrations()) {
    keysHeld.insert({r.keyCode, r.modifiers});
    ids.insert(r.id.id);
  }
  EXPECT_EQ(keys().registrations().size(), defaults.size());
  EXPECT_EQ(keysHeld.size(), defaults.size());
  EXPECT_EQ(*ids.begin(), 1u);
  EXPECT_EQ(*ids.rbegin(), defaults.size());

  keys().pressHotKey(123, kCtrlOpt);
  registerBindings({});
  EXPECT_TRUE(keys().registrations().empty());
  sim->clock().runPending();
  press(123);
  EXPECT_TRUE(performed.empty());
}

// A key another program holds and the second action on one key are logged and never fire; the other one does.
TEST_F(GlobalHotkeyRegistryTest, RefusedKeysAreLoggedAndOthersRegister) {
  keys().markTaken(124, kCtrlOpt);
  const HotkeyBindings bindings{
      {kRight, kRightKey}, {kLeft, kLeftKey}, {UtilityAction::window(WindowSnap::topHalf), kLeftKey}};
  registerBindings(bindings);

  // Ids follow the map's own order; the first of the two on key 123 wins.
  std::vector<std::string> expected{"hotkey-handler status=0"};
  std::optional<UtilityAction> winner;
  std::uint32_t id = 0;
  for (const auto& [action, hotkey] : bindings) {
    ++id;
    if (hotkey.keyCode == 123 && !winner) {
      winner = action;
      continue;
    }
    expected.push_back("hotkey-register-failed id=" + std::to_string(id) + " key=" + std::to_string(hotkey.keyCode) +
                       " mods=6144 status=-9878");
  }
  EXPECT_EQ(logLines(), expected);
  EXPECT_EQ(keys().registrations().size(), 1u);

  press(123);
  EXPECT_EQ(performed, std::vector<UtilityAction>{*winner});
}

// After termination (handler cleared, keys unregistered) nothing performs, not even a press already queued.
TEST_F(GlobalHotkeyRegistryTest, NothingFiresAfterTermination) {
  registerBindings({{kLeft, kLeftKey}});
  keys().pressHotKey(123, kCtrlOpt);
  registry().handler = nullptr;
  registry().uninstallHotKeys();
  sim->clock().runPending();
  press(123);
  EXPECT_TRUE(performed.empty());
  EXPECT_TRUE(keys().registrations().empty());
}

// The last accepted press survives re-registration: the new id 1 is debounced against the old id 1.
TEST_F(GlobalHotkeyRegistryTest, LastFireSurvivesReRegistration) {
  registerBindings({{kLeft, kLeftKey}});
  press(123);
  registerBindings({{kRight, kRightKey}});
  ASSERT_EQ(keys().registrations()[0].id.id, 1u);

  sim->clock().advance(0.5);
  press(124);
  EXPECT_EQ(performed, std::vector<UtilityAction>{kLeft});
  sim->clock().advance(0.25);
  press(124);
  EXPECT_EQ(performed, (std::vector<UtilityAction>{kLeft, kRight}));
}

// A held key (a countdown's Escape) calls its own callback, survives a new registration of the bindings, and is
// gone once released; a key another program holds cannot be held.
TEST_F(GlobalHotkeyRegistryTest, HeldKeysCallTheirOwnCallbackUntilReleased) {
  registerBindings({{kLeft, kLeftKey}});
  int escapes = 0;
  const auto id = registry().holdKey(53, 0, [&] { ++escapes; });
  ASSERT_TRUE(id);
  registerBindings({{kLeft, kLeftKey}, {kRight, kRightKey}});
  press(53, 0);
  press(123);
  EXPECT_EQ(escapes, 1);
  EXPECT_EQ(performed, std::vector<UtilityAction>{kLeft});

  registry().releaseHeldKey(*id);
  EXPECT_FALSE(keys().pressHotKey(53, 0));
  EXPECT_EQ(escapes, 1);

  keys().markTaken(53, 0);
  EXPECT_FALSE(registry().holdKey(53, 0, [] {}));
}

}  // namespace
}  // namespace vistrel
