#pragma once
// The shortcuts every action has until the user changes them.

#include <unordered_map>

#include "base/UtilityAction.h"
#include "hotkeys/GlobalHotkey.h"

namespace vistrel {

// Action to shortcut, as registered with the system (no particular order).
using HotkeyBindings = std::unordered_map<UtilityAction, GlobalHotkey>;

namespace DefaultHotkeys {

// 29 entries. Center Half has none but may be given one; Stop Recording,
// Settings and Quit have none and cannot get one.
const HotkeyBindings& bindings();

}  // namespace DefaultHotkeys

}  // namespace vistrel
