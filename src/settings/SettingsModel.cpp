#include "settings/SettingsModel.h"

#include <QString>

#include <algorithm>

#include "base/KeyCodes.h"
#include "base/LayoutLog.h"
#include "permissions/PermissionScope.h"
#include "platform/Platform.h"

namespace vistrel::SettingsModel {

std::vector<HotkeyStore::Group> filteredGroups(const std::string& query) {
  const QString text = QString::fromStdString(query).trimmed().toLower();
  if (text.isEmpty()) return HotkeyStore::groups();
  std::vector<HotkeyStore::Group> kept;
  for (const auto& group : HotkeyStore::groups()) {
    HotkeyStore::Group match{group.title, {}};
    for (const auto& action : group.actions)
      if (QString::fromStdString(action.settingsTitle()).toLower().contains(text)) match.actions.push_back(action);
    if (!match.actions.empty()) kept.push_back(std::move(match));
  }
  return kept;
}

std::int64_t scrollHeight() {
  const auto stored = platform::current().defaults().integer(kScrollMaxHeightKey).value_or(0);
  if (stored < 1) return 20000;
  return std::min<std::int64_t>(stored, 200000);
}

void storeScrollHeight(std::int64_t typed) {
  platform::current().defaults().setInteger(kScrollMaxHeightKey, typed <= 1000 ? 1000 : typed);
}

void storeScrollSpeed(double speed) {
  platform::current().defaults().setDouble("vistrel.capture.scrollSpeed", std::clamp(speed, 0.0, 1.0));
}

void copyLogPath() {
  LayoutLog::write("settings-copy-log-path");
  auto& pasteboard = platform::current().pasteboard();
  pasteboard.clear();
  pasteboard.setString(LayoutLog::path());
}

std::string versionLine() {
  const auto& bundle = platform::current().bundle();
  const std::string dash = "\u2014";
  std::string line = "Version " + bundle.infoString("CFBundleShortVersionString").value_or(dash) + " (" +
                     bundle.infoString("CFBundleVersion").value_or(dash) + ")";
  if (PermissionScope::isLocalDevelopment()) line += " \u00B7 Local";
  return line;
}

namespace {
// The named keys as Linux keyboards label them; arrows keep their symbols.
std::string keyName(const GlobalHotkey& hotkey) {
  switch (hotkey.keyCode) {
    case KeyCode::returnKey: return "Return";
    case KeyCode::tab: return "Tab";
    case KeyCode::deleteKey: return "Backspace";
    case KeyCode::escape: return "Esc";
    case KeyCode::forwardDelete: return "Delete";
    default: return hotkey.keyTitle();
  }
}
}  // namespace

std::string shortcutText(const GlobalHotkey& hotkey) {
  using Modifier = GlobalHotkey::Modifier;
  const auto held = [&](Modifier m) {
    return std::find(hotkey.modifiers.begin(), hotkey.modifiers.end(), m) != hotkey.modifiers.end();
  };
  // The tray menu's order (Qt's), so a shortcut reads the same in both places.
  std::string text;
  if (held(Modifier::command)) text += "Super+";
  if (held(Modifier::control)) text += "Ctrl+";
  if (held(Modifier::option)) text += "Alt+";
  if (held(Modifier::shift)) text += "Shift+";
  return text + keyName(hotkey);
}

}  // namespace vistrel::SettingsModel
