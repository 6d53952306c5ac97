#pragma once
// A shortcut: a physical key (Carbon virtual key code) plus the modifier keys
// that must be held, with the key's character kept for display only.

#include <QByteArray>
#include <QJsonValue>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/KeyEvent.h"

namespace vistrel {

struct GlobalHotkey {
  // Declaration order; the canonical order of a binding is `ordered()`'s.
  enum class Modifier { control, option, command, shift };

  std::uint16_t keyCode = 0;
  // Canonical order (control, option, shift, command) when made by this
  // program; a decoded binding keeps the order it was stored in.
  std::vector<Modifier> modifiers;
  // Lower case as typed; none for the named keys (arrows, Return, Tab, Space,
  // Delete, Escape, Forward Delete).
  std::optional<std::string> character;

  GlobalHotkey() = default;
  GlobalHotkey(std::uint16_t keyCode, std::vector<Modifier> modifiers,
               std::optional<std::string> character = std::nullopt)
      : keyCode(keyCode), modifiers(std::move(modifiers)), character(std::move(character)) {}
  // The binding a key-down event asks for (the shortcut catcher records these).
  explicit GlobalHotkey(const platform::KeyEvent& event);

  // The members of `modifiers` in canonical order, each at most once.
  static std::vector<Modifier> ordered(const std::vector<Modifier>& modifiers);
  // True for the ten keys that have a name rather than a character.
  static bool isNamedKey(std::uint16_t keyCode);

  // Modifier glyphs in the order ⌃⌥⇧⌘ whatever the stored order, then the key.
  std::string shortcutLabel() const;
  // The key alone: a symbol or name, the upper-cased character, or "Key " and the code.
  std::string keyTitle() const;
  // What the menu shows as key equivalent; empty for none.
  std::string menuKeyEquivalent() const;
  // OR of the members' Carbon hot-key masks and of their menu modifier masks.
  std::uint32_t carbonModifierMask() const;
  std::uint64_t menuModifierMask() const;

  // {"keyCode":…,"modifiers":[…],"character":…}, "character" only when present.
  QByteArray jsonText() const;
  // "keyCode" (a whole number 0-65535) and "modifiers" (raw values) are
  // required; "character" may be absent or null. Any other shape gives none.
  static std::optional<GlobalHotkey> fromJson(const QJsonValue& value);

  friend bool operator==(const GlobalHotkey&, const GlobalHotkey&) = default;
};

namespace HotkeyModifiers {
using Modifier = GlobalHotkey::Modifier;

const std::array<Modifier, 4>& allCases();  // declaration order
std::string_view rawValue(Modifier modifier);
std::optional<Modifier> fromRaw(std::string_view raw);  // exact, case-sensitive
std::string_view glyph(Modifier modifier);
std::uint32_t carbonMask(Modifier modifier);  // controlKey, optionKey, cmdKey, shiftKey
std::uint64_t menuMask(Modifier modifier);    // the AppKit modifier flag of the key
}  // namespace HotkeyModifiers

}  // namespace vistrel

template <>
struct std::hash<vistrel::GlobalHotkey> {
  std::size_t operator()(const vistrel::GlobalHotkey& hotkey) const noexcept;
};
