#include <gtest/gtest.h>

#include <random>

#include "hotkeys/HotkeyStore.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

using M = GlobalHotkey::Modifier;
const std::string kKey = "vistrel.hotkeys";
const UtilityAction kLeft = UtilityAction::window(WindowSnap::leftHalf);
const UtilityAction kRight = UtilityAction::window(WindowSnap::rightHalf);
const GlobalHotkey kLeftDefault(123, {M::control, M::option});

class HotkeyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { HotkeyStore::resetSharedForTesting(); }
  void TearDown() override { HotkeyStore::resetSharedForTesting(); }

  void store(const QByteArray& document) { sim->defaults().setData(kKey, document); }
  std::optional<QByteArray> stored() { return sim->defaults().data(kKey); }
  HotkeyStore& hotkeys() { return HotkeyStore::shared(); }

  sim::ScopedSimPlatform sim;
};

// A fresh install has the defaults and writes nothing.
TEST_F(HotkeyStoreTest, FreshInstallUsesDefaults) {
  EXPECT_EQ(hotkeys().bindings(), DefaultHotkeys::bindings());
  EXPECT_FALSE(hotkeys().binding(UtilityAction::window(WindowSnap::centerHalf)));
  EXPECT_EQ(HotkeyStore::customizable().size(), 30u);
  EXPECT_EQ(sim->defaults().writeCount, 0);
}

// Taking Left Half's key for Right Half disables Left Half, saves the exact document before onChange, and reloads.
TEST_F(HotkeyStoreTest, AssignTakesKeyFromOtherAction) {
  int changes = 0;
  hotkeys().onChange = [&] {
    ++changes;
    EXPECT_TRUE(stored().has_value());
  };
  hotkeys().set(kLeftDefault, kRight);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(hotkeys().binding(kLeft));
  EXPECT_EQ(hotkeys().binding(kRight), kLeftDefault);
  EXPECT_EQ(*stored(), R"({"overrides":{"window.rightHalf":{"keyCode":123,"modifiers":["control","option"]}},)"
                       R"("disabled":["window.leftHalf"]})");

  const auto before = hotkeys().bindings();
  HotkeyStore::resetSharedForTesting();
  EXPECT_EQ(hotkeys().bindings(), before);
}

// The documented example: Left Half on Control+Option+H, Capture Area without a shortcut.
TEST_F(HotkeyStoreTest, DocumentExample) {
  hotkeys().set(GlobalHotkey(4, {M::control, M::option}, "h"), kLeft);
  hotkeys().set(std::nullopt, UtilityAction::capture(CaptureMode::area));
  EXPECT_EQ(*stored(), R"({"overrides":{"window.leftHalf":{"keyCode":4,"modifiers":["control","option"],)"
                       R"("character":"h"}},"disabled":["capture.area"]})");
}

// Uniqueness compares key code and modifiers element by element, never the character.
TEST_F(HotkeyStoreTest, UniquenessRule) {
  const UtilityAction topHalf = UtilityAction::window(WindowSnap::topHalf);
  // Same key, other character: still the same key; a loser's own override goes too.
  hotkeys().set(GlobalHotkey(32, {M::control, M::option}, "x"), kLeft);
  EXPECT_FALSE(hotkeys().binding(UtilityAction::window(WindowSnap::topLeft)));
  hotkeys().set(GlobalHotkey(32, {M::control, M::option}), kRight);
  EXPECT_FALSE(HotkeyStore::Saved::decoded(*stored())->overrides.count("window.leftHalf"));
  // Same modifiers in another order: a different key, Top Half keeps its own.
  hotkeys().set(GlobalHotkey(126, {M::option, M::control}), kLeft);
  EXPECT_EQ(hotkeys().binding(topHalf), GlobalHotkey(126, {M::control, M::option}));
  // Re-assigning Top Half's default to Top Half itself changes nobody else.
  hotkeys().set(GlobalHotkey(126, {M::control, M::option}), topHalf);
  EXPECT_TRUE(hotkeys().binding(kLeft));
}

// Removing records an action as disabled even without a default, a new key re-enables it, reset removes the key.
TEST_F(HotkeyStoreTest, RemoveThenReset) {
  int changes = 0;
  hotkeys().onChange = [&] { ++changes; };
  const UtilityAction centerHalf = UtilityAction::window(WindowSnap::centerHalf);
  hotkeys().set(std::nullopt, centerHalf);
  EXPECT_EQ(HotkeyStore::Saved::decoded(*stored())->disabled, (std::set<std::string>{"window.centerHalf"}));
  hotkeys().set(GlobalHotkey(8, {M::shift}, "c"), centerHalf);
  EXPECT_TRUE(hotkeys().binding(centerHalf));
  hotkeys().reset();
  EXPECT_EQ(changes, 3);
  EXPECT_FALSE(sim->defaults().contains(kKey));
  EXPECT_EQ(hotkeys().bindings(), DefaultHotkeys::bindings());
}

// Malformed stored data is ignored entirely and left untouched until the next save.
TEST_F(HotkeyStoreTest, MalformedDocumentsIgnored) {
  const char* documents[] = {
      "", "not json", "[]", R"({"overrides":{}})", R"({"disabled":[]})",
      R"({"overrides":[],"disabled":[]})", R"({"overrides":{},"disabled":[1]})",
      R"({"overrides":{"window.leftHalf":{"keyCode":4,"modifiers":["control","hyper"]}},"disabled":[]})",
      R"({"overrides":{"window.leftHalf":{"keyCode":4}},"disabled":["window.rightHalf"]})",
  };
  for (const char* document : documents) {
    HotkeyStore::resetSharedForTesting();
    store(document);
    const int writes = sim->defaults().writeCount;
    EXPECT_EQ(hotkeys().bindings(), DefaultHotkeys::bindings()) << document;
    EXPECT_EQ(stored(), QByteArray(document));
    EXPECT_EQ(sim->defaults().writeCount, writes);
  }
  // A value of another type is no data at all.
  HotkeyStore::resetSharedForTesting();
  sim->defaults().setString(kKey, R"({"overrides":{},"disabled":["window.leftHalf"]})");
  EXPECT_TRUE(hotkeys().binding(kLeft));
}

// Unknown ids survive a save unchanged, and edited data cannot give Quit a shortcut.
TEST_F(HotkeyStoreTest, ForeignEntriesKeptWithoutEffect) {
  store(R"({"overrides":{"quit":{"keyCode":12,"modifiers":["command"]},"window.bogus":{"keyCode":1,)"
        R"("modifiers":[]}},"disabled":["nothing"]})");
  EXPECT_FALSE(hotkeys().binding(UtilityAction::quit()));
  EXPECT_EQ(hotkeys().bindings(), DefaultHotkeys::bindings());
  hotkeys().set(std::nullopt, kLeft);
  const auto saved = HotkeyStore::Saved::decoded(*stored());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->overrides.at("window.bogus"), GlobalHotkey(1, {}));
  EXPECT_TRUE(saved->overrides.count("quit"));
  EXPECT_EQ(saved->disabled, (std::set<std::string>{"nothing", "window.leftHalf"}));
}

// Random bytes and mutated documents never crash the decoder; whatever decodes re-encodes to itself.
TEST(HotkeyStoreSaved, DecoderSurvivesGarbage) {
  HotkeyStore::Saved sample;
  sample.overrides["window.leftHalf"] = GlobalHotkey(4, {M::control, M::option}, "h");
  sample.overrides["capture.area"] = GlobalHotkey(44, {M::shift}, "/");
  sample.disabled = {"window.rightHalf", "record.area"};
  const QByteArray valid = sample.encoded();
  ASSERT_EQ(HotkeyStore::Saved::decoded(valid), sample);

  std::mt19937 random(20240601);
  int decodedCount = 0;
  for (int round = 0; round < 4000; ++round) {
    QByteArray input;
    if (round % 2 == 0) {
      input.resize(int(random() % 200));
      for (char& c : input) c = char(random());
    } else {
      input = valid;
      for (int flips = 1 + int(random() % 3); flips > 0; --flips)
        input[int(random() % input.size())] = "{}[]\":,0-9aZ\\ /"[random() % 16];
    }
    if (const auto saved = HotkeyStore::Saved::decoded(input)) {
      ++decodedCount;
      EXPECT_EQ(HotkeyStore::Saved::decoded(saved->encoded()), saved);
    }
  }
  EXPECT_GT(decodedCount, 0);
}

}  // namespace
}  // namespace vistrel
