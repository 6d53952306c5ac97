#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <map>
#include <set>
#include <tuple>

#include "base/KeyCodeLabels.h"
#include "hotkeys/DefaultHotkeys.h"
#include "hotkeys/GlobalHotkey.h"

namespace vistrel {
namespace {

using M = GlobalHotkey::Modifier;
using platform::KeyEvent;

GlobalHotkey fromEvent(std::uint16_t code, std::uint64_t flags, std::string text = {}) {
  return GlobalHotkey(KeyEvent{code, flags, std::move(text)});
}

std::optional<GlobalHotkey> decode(const char* json) {
  return GlobalHotkey::fromJson(QJsonDocument::fromJson(QByteArray("[") + json + "]").array().at(0));
}

// The modifier vocabulary carries its table's raw values, glyphs and masks, reads back exactly, and orders canonically.
TEST(GlobalHotkeyModifier, TableBothWays) {
  struct Row { M m; const char* raw; const char* glyph; std::uint32_t carbon; std::uint64_t menu; };
  const Row rows[] = {{M::control, "control", "⌃", 0x1000, 0x40000}, {M::option, "option", "⌥", 0x800, 0x80000},
                      {M::command, "command", "⌘", 0x100, 0x100000}, {M::shift, "shift", "⇧", 0x200, 0x20000}};
  for (const Row& r : rows) {
    EXPECT_EQ(HotkeyModifiers::rawValue(r.m), r.raw);
    EXPECT_EQ(HotkeyModifiers::glyph(r.m), r.glyph);
    EXPECT_EQ(HotkeyModifiers::carbonMask(r.m), r.carbon);
    EXPECT_EQ(HotkeyModifiers::menuMask(r.m), r.menu);
    EXPECT_EQ(HotkeyModifiers::fromRaw(r.raw), r.m);
  }
  EXPECT_FALSE(HotkeyModifiers::fromRaw("Control"));
  const GlobalHotkey h(0, {M::control, M::option});
  EXPECT_EQ(h.carbonModifierMask(), 0x1800u);
  EXPECT_EQ(h.menuModifierMask(), 0xC0000u);
  // Canonical order puts shift before command and drops repeats.
  EXPECT_EQ(GlobalHotkey::ordered({M::command, M::shift, M::option, M::control, M::shift}),
            (std::vector<M>{M::control, M::option, M::shift, M::command}));
}

// A key event becomes a binding with canonical modifiers and the character the rules pick.
TEST(GlobalHotkey, FromKeyEvent) {
  const auto u = fromEvent(32, KeyEvent::kControl | KeyEvent::kOption, "u");
  EXPECT_EQ(u, GlobalHotkey(32, {M::control, M::option}, "u"));
  EXPECT_EQ(u.shortcutLabel(), "⌃⌥U");

  const auto right = fromEvent(124, KeyEvent::kCommand | KeyEvent::kShift | KeyEvent::kNumericPad |
                                        KeyEvent::kFunction | KeyEvent::kCapsLock, "\uF703");
  EXPECT_EQ(right, GlobalHotkey(124, {M::shift, M::command}));
  EXPECT_EQ(right.shortcutLabel(), "⇧⌘→");

  // The base table wins over the typed text (another layout types something else).
  EXPECT_EQ(fromEvent(0, KeyEvent::kControl, "q").character, "a");
  // Off the table the typed text counts when it is one character, lower-cased.
  const auto accented = fromEvent(10, KeyEvent::kOption, "É");
  EXPECT_EQ(accented.character, "é");
  EXPECT_EQ(accented.keyTitle(), "É");
  EXPECT_EQ(fromEvent(10, KeyEvent::kOption, "e\u0301").character, "e\u0301");  // one character, two code points
  EXPECT_EQ(fromEvent(105, KeyEvent::kOption, "").keyTitle(), "Key 105");
  EXPECT_EQ(fromEvent(105, KeyEvent::kOption, "ab").character, std::nullopt);
  EXPECT_EQ(fromEvent(96, KeyEvent::kShift).keyTitle(), "Key 96");
  EXPECT_EQ(fromEvent(49, KeyEvent::kShift, " ").character, std::nullopt);
}

// Named keys have their symbols as titles and the menu's special characters as key equivalents.
TEST(GlobalHotkey, NamedKeys) {
  const std::vector<std::tuple<std::uint16_t, std::string, std::string>> rows{
      {36, "↩", "\r"}, {48, "⇥", ""}, {49, "Space", ""}, {51, "⌫", "\b"}, {53, "⎋", ""}, {117, "⌦", ""},
      {123, "←", "\uF702"}, {124, "→", "\uF703"}, {125, "↓", "\uF701"}, {126, "↑", "\uF700"}};
  for (const auto& [code, title, menu] : rows) {
    EXPECT_TRUE(GlobalHotkey::isNamedKey(code));
    EXPECT_EQ(GlobalHotkey(code, {}).keyTitle(), title) << code;
    EXPECT_EQ(GlobalHotkey(code, {}).menuKeyEquivalent(), menu) << code;
  }
  EXPECT_EQ(GlobalHotkey(27, {}).menuKeyEquivalent(), "-");
  EXPECT_EQ(GlobalHotkey(105, {}, "é").menuKeyEquivalent(), "é");
  EXPECT_EQ(GlobalHotkey(105, {}, "ab").menuKeyEquivalent(), "");
  EXPECT_EQ(GlobalHotkey(105, {}, "").keyTitle(), "Key 105");
}

// Labels follow ⌃⌥⇧⌘ whatever the stored order, but equality sees order and character.
TEST(GlobalHotkey, LabelOrderAndEquality) {
  const GlobalHotkey stored(0, {M::command, M::shift, M::option, M::control}, "a");
  const GlobalHotkey canonical(0, {M::control, M::option, M::shift, M::command}, "a");
  EXPECT_EQ(stored.shortcutLabel(), "⌃⌥⇧⌘A");
  EXPECT_NE(stored, canonical);
  EXPECT_NE(canonical, GlobalHotkey(0, canonical.modifiers, "b"));
}

// The encoded form has the field order keyCode, modifiers, character, and decoding is strict.
TEST(GlobalHotkey, JsonShapeAndStrictDecoding) {
  EXPECT_EQ(GlobalHotkey(32, {M::control, M::option}, "u").jsonText(),
            R"({"keyCode":32,"modifiers":["control","option"],"character":"u"})");
  EXPECT_EQ(GlobalHotkey(123, {M::shift}).jsonText(), R"({"keyCode":123,"modifiers":["shift"]})");
  EXPECT_EQ(GlobalHotkey(44, {M::command}, "/").jsonText(), R"({"keyCode":44,"modifiers":["command"],"character":"\/"})");

  EXPECT_EQ(decode(R"({"modifiers":["shift","control"],"keyCode":7,"character":"x"})"),
            GlobalHotkey(7, {M::shift, M::control}, "x"));
  EXPECT_EQ(decode(R"({"keyCode":7,"modifiers":[],"character":null})"), GlobalHotkey(7, {}));
  for (const char* bad : {R"({"modifiers":[]})", R"({"keyCode":7})", R"({"keyCode":7,"modifiers":["hyper"]})",
                          R"({"keyCode":"7","modifiers":[]})", R"({"keyCode":7.5,"modifiers":[]})",
                          R"({"keyCode":-1,"modifiers":[]})", R"({"keyCode":65536,"modifiers":[]})",
                          R"({"keyCode":7,"modifiers":"shift"})", R"({"keyCode":7,"modifiers":[],"character":3})",
                          R"([7])"})
    EXPECT_FALSE(decode(bad)) << bad;
}

// The US ANSI table gives key codes 0-50 their characters, each character for one key only.
TEST(KeyCodeLabels, TableBothWays) {
  const std::string byCode = "asdfhgzxcv bqweryt123465=97-80]ou[ip lj'k;\\,/nm.  `";  // ' ': no character
  for (std::uint16_t code = 0; code < byCode.size(); ++code) {
    const auto expected = byCode[code] == ' ' ? std::nullopt : std::optional(std::string(1, byCode[code]));
    EXPECT_EQ(KeyCodeLabels::baseCharacter(code), expected) << code;
  }
  std::set<std::string> characters;
  for (const auto& [code, ch] : KeyCodeLabels::labels()) characters.insert(ch);
  EXPECT_EQ(characters.size(), 47u);
  EXPECT_EQ(KeyCodeLabels::labels().size(), 47u);
}

// The 29 defaults carry exactly the labels of the defaults table, in canonical order and without clashes.
TEST(DefaultHotkeys, Table) {
  const std::map<std::string, std::string> labels{
      {"window.leftHalf", "⌃⌥←"}, {"window.rightHalf", "⌃⌥→"}, {"window.topHalf", "⌃⌥↑"},
      {"window.bottomHalf", "⌃⌥↓"}, {"window.topLeft", "⌃⌥U"}, {"window.topRight", "⌃⌥I"},
      {"window.bottomLeft", "⌃⌥J"}, {"window.bottomRight", "⌃⌥K"}, {"window.firstThird", "⌃⌥D"},
      {"window.centerThird", "⌃⌥F"}, {"window.lastThird", "⌃⌥G"}, {"window.firstTwoThirds", "⌃⌥E"},
      {"window.lastTwoThirds", "⌃⌥T"}, {"window.maximize", "⌃⌥↩"}, {"window.almostMaximize", "⌃⌥⇧↩"},
      {"window.maximizeHeight", "⌃⌥⇧↑"}, {"window.smaller", "⌃⌥-"}, {"window.larger", "⌃⌥="},
      {"window.center", "⌃⌥C"}, {"window.restore", "⌃⌥⌫"}, {"window.nextDisplay", "⌃⌥⌘→"},
      {"window.previousDisplay", "⌃⌥⌘←"}, {"capture.screen", "⇧⌘1"}, {"capture.window", "⇧⌘W"},
      {"capture.area", "⇧⌘2"}, {"capture.recognizeTextOrQR", "⌃⌥⌘O"}, {"capture.scrolling", "⇧⌘3"},
      {"record.screen", "⌃⌥⌘R"}, {"record.area", "⌃⌥⌘4"}};
  const auto& defaults = DefaultHotkeys::bindings();
  ASSERT_EQ(defaults.size(), 29u);
  std::set<std::pair<std::uint16_t, std::vector<M>>> keys;
  for (const auto& [action, hotkey] : defaults) {
    const auto id = action.storageID();
    EXPECT_EQ(hotkey.shortcutLabel(), labels.at(id)) << id;
    EXPECT_EQ(hotkey.modifiers, GlobalHotkey::ordered(hotkey.modifiers)) << id;
    // The stored character is what a key event of that key would record.
    EXPECT_EQ(hotkey.character, GlobalHotkey(KeyEvent{hotkey.keyCode, 0, {}}).character) << id;
    keys.insert({hotkey.keyCode, hotkey.modifiers});
  }
  EXPECT_EQ(keys.size(), 29u);
  for (const auto& none : {UtilityAction::window(WindowSnap::centerHalf), UtilityAction::record(RecordMode::stop),
                           UtilityAction::openSettings(), UtilityAction::quit()})
    EXPECT_FALSE(defaults.count(none)) << none.storageID();
}

}  // namespace
}  // namespace vistrel
