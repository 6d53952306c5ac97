#pragma once
// What the settings window computes rather than shows: the Hotkeys search,
// the storage rules of the scrolling-capture fields, the version line and
// the Linux form of a shortcut. Reads the installed platform's defaults and
// bundle at each call. Main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "hotkeys/GlobalHotkey.h"
#include "hotkeys/HotkeyStore.h"

namespace vistrel::SettingsModel {

inline constexpr const char* kScrollMaxHeightKey = "vistrel.capture.scrollMaxHeight";

// The groups whose actions' titles contain the trimmed, lower-cased query;
// the store's groups unchanged when the query is blank.
std::vector<HotkeyStore::Group> filteredGroups(const std::string& query);

// 20000 when the stored value is absent or below 1, else the value capped at 200000.
std::int64_t scrollHeight();
// Stores `typed`, raised to 1000 when it is 1000 or less; larger values as typed.
void storeScrollHeight(std::int64_t typed);
// Stores `speed` clamped to 0…1.
void storeScrollSpeed(double speed);

// Writes "settings-copy-log-path" and puts the diagnostic log's path on the clipboard.
void copyLogPath();

// "Version 2.4.1 (241)", a missing value as "—", " · Local" for a local build.
std::string versionLine();

// Modifiers as the desktop names them, then the key: "Ctrl+Alt+←".
std::string shortcutText(const GlobalHotkey& hotkey);

}  // namespace vistrel::SettingsModel
