#include "hotkeys/GlobalHotkey.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

#include "base/KeyCodeLabels.h"
#include "base/KeyCodes.h"
#include "hotkeys/JsonText.h"

namespace vistrel {

namespace {

using Modifier = GlobalHotkey::Modifier;

struct ModifierEntry {
  Modifier modifier;
  std::string_view raw;
  std::string_view glyph;
  std::uint32_t carbon;
  std::uint64_t menu;
};

constexpr std::array<ModifierEntry, 4> kModifiers{{
    {Modifier::control, "control", "\u2303", 0x1000, platform::KeyEvent::kControl},
    {Modifier::option, "option", "\u2325", 0x800, platform::KeyEvent::kOption},
    {Modifier::command, "command", "\u2318", 0x100, platform::KeyEvent::kCommand},
    {Modifier::shift, "shift", "\u21E7", 0x200, platform::KeyEvent::kShift},
}};

constexpr std::array<Modifier, 4> kCanonical{Modifier::control, Modifier::option, Modifier::shift,
                                             Modifier::command};

const ModifierEntry& entry(Modifier modifier) { return kModifiers[std::size_t(modifier)]; }

QString toQString(const std::string& text) { return QString::fromStdString(text); }

// Characters as a person counts them (grapheme clusters), not bytes or code units.
int characterCount(const QString& text) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  int count = 0;
  while (finder.toNextBoundary() > 0) ++count;
  return count;
}

bool isSingleCharacter(const std::string& text) { return characterCount(toQString(text)) == 1; }

std::string upperCased(const std::string& text) { return toQString(text).toUpper().toStdString(); }

bool contains(const std::vector<Modifier>& modifiers, Modifier m) {
  return std::find(modifiers.begin(), modifiers.end(), m) != modifiers.end();
}

}  // namespace

const std::array<Modifier, 4>& HotkeyModifiers::allCases() {
  static constexpr std::array<Modifier, 4> cases{Modifier::control, Modifier::option, Modifier::command,
                                                 Modifier::shift};
  return cases;
}
std::string_view HotkeyModifiers::rawValue(Modifier modifier) { return entry(modifier).raw; }
std::string_view HotkeyModifiers::glyph(Modifier modifier) { return entry(modifier).glyph; }
std::uint32_t HotkeyModifiers::carbonMask(Modifier modifier) { return entry(modifier).carbon; }
std::uint64_t HotkeyModifiers::menuMask(Modifier modifier) { return entry(modifier).menu; }
std::optional<Modifier> HotkeyModifiers::fromRaw(std::string_view raw) {
  for (const auto& e : kModifiers)
    if (e.raw == raw) return e.modifier;
  return std::nullopt;
}

GlobalHotkey::GlobalHotkey(const platform::KeyEvent& event) : keyCode(event.keyCode) {
  using platform::KeyEvent;
  std::vector<Modifier> held;
  if (event.modifierFlags & KeyEvent::kControl) held.push_back(Modifier::control);
  if (event.modifierFlags & KeyEvent::kOption) held.push_back(Modifier::option);
  if (event.modifierFlags & KeyEvent::kShift) held.push_back(Modifier::shift);
  if (event.modifierFlags & KeyEvent::kCommand) held.push_back(Modifier::command);
  modifiers = ordered(held);

  if (isNamedKey(keyCode)) return;
  if (auto base = KeyCodeLabels::baseCharacter(keyCode)) {
    character = std::move(base);
    return;
  }
  const std::string typed = toQString(event.charactersIgnoringModifiers).toLower().toStdString();
  if (isSingleCharacter(typed)) character = typed;
}

std::vector<Modifier> GlobalHotkey::ordered(const std::vector<Modifier>& modifiers) {
  std::vector<Modifier> result;
  for (Modifier m : kCanonical)
    if (contains(modifiers, m)) result.push_back(m);
  return result;
}

bool GlobalHotkey::isNamedKey(std::uint16_t keyCode) {
  switch (keyCode) {
    case KeyCode::leftArrow:
    case KeyCode::rightArrow:
    case KeyCode::downArrow:
    case KeyCode::upArrow:
    case KeyCode::returnKey:
    case KeyCode::tab:
    case KeyCode::space:
    case KeyCode::deleteKey:
    case KeyCode::escape:
    case KeyCode::forwardDelete:
      return true;
    default:
      return false;
  }
}

std::string GlobalHotkey::shortcutLabel() const {
  std::string label;
  for (Modifier m : kCanonical)
    if (contains(modifiers, m)) label += HotkeyModifiers::glyph(m);
  return label + keyTitle();
}

std::string GlobalHotkey::keyTitle() const {
  switch (keyCode) {
    case KeyCode::returnKey: return "\u21A9";
    case KeyCode::tab: return "\u21E5";
    case KeyCode::space: return "Space";
    case KeyCode::deleteKey: return "\u232B";
    case KeyCode::escape: return "\u238B";
    case KeyCode::forwardDelete: return "\u2326";
    case KeyCode::leftArrow: return "\u2190";
    case KeyCode::rightArrow: return "\u2192";
    case KeyCode::downArrow: return "\u2193";
    case KeyCode::upArrow: return "\u2191";
    default: break;
  }
  if (const auto base = KeyCodeLabels::baseCharacter(keyCode)) return upperCased(*base);
  if (character && !character->empty()) return upperCased(*character);
  return "Key " + std::to_string(keyCode);
}

std::string GlobalHotkey::menuKeyEquivalent() const {
  if (const auto base = KeyCodeLabels::baseCharacter(keyCode)) return *base;
  if (character && isSingleCharacter(*character)) return *character;
  switch (keyCode) {
    case KeyCode::returnKey: return "\r";
    case KeyCode::deleteKey: return "\b";
    // AppKit's function-key characters for the arrows.
    case KeyCode::leftArrow: return "\uF702";
    case KeyCode::rightArrow: return "\uF703";
    case KeyCode::downArrow: return "\uF701";
    case KeyCode::upArrow: return "\uF700";
    default: return {};
  }
}

std::uint32_t GlobalHotkey::carbonModifierMask() const {
  std::uint32_t mask = 0;
  for (Modifier m : modifiers) mask |= HotkeyModifiers::carbonMask(m);
  return mask;
}

std::uint64_t GlobalHotkey::menuModifierMask() const {
  std::uint64_t mask = 0;
  for (Modifier m : modifiers) mask |= HotkeyModifiers::menuMask(m);
  return mask;
}

QByteArray GlobalHotkey::jsonText() const {
  QJsonArray raws;
  for (Modifier m : modifiers) raws.append(QString::fromUtf8(HotkeyModifiers::rawValue(m)));
  std::vector<std::pair<QString, QByteArray>> members{
      {"keyCode", JsonText::value(double(keyCode))},
      {"modifiers", JsonText::value(raws)},
  };
  if (character) members.emplace_back("character", JsonText::value(toQString(*character)));
  return JsonText::object(members);
}

std::optional<GlobalHotkey> GlobalHotkey::fromJson(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject object = value.toObject();

  const QJsonValue code = object.value("keyCode");
  if (!code.isDouble()) return std::nullopt;
  const double number = code.toDouble();
  if (number < 0 || number > 65535 || std::trunc(number) != number) return std::nullopt;

  const QJsonValue list = object.value("modifiers");
  if (!list.isArray()) return std::nullopt;
  std::vector<Modifier> decoded;
  for (const QJsonValue& item : list.toArray()) {
    if (!item.isString()) return std::nullopt;
    const auto m = HotkeyModifiers::fromRaw(item.toString().toStdString());
    if (!m) return std::nullopt;
    decoded.push_back(*m);
  }

  std::optional<std::string> character;
  const QJsonValue text = object.value("character");
  if (text.isString()) {
    character = text.toString().toStdString();
  } else if (!text.isUndefined() && !text.isNull()) {
    return std::nullopt;
  }
  return GlobalHotkey(std::uint16_t(number), std::move(decoded), std::move(character));
}

}  // namespace vistrel

std::size_t std::hash<vistrel::GlobalHotkey>::operator()(const vistrel::GlobalHotkey& hotkey) const noexcept {
  std::size_t h = std::hash<std::uint16_t>{}(hotkey.keyCode);
  const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  for (auto m : hotkey.modifiers) mix(std::size_t(m) + 1);
  mix(hotkey.character ? std::hash<std::string>{}(*hotkey.character) : 0x5bd1e995);
  return h;
}
