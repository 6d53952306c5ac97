#pragma once
// Where the desktop lets no program take keys and binds them in its own
// configuration file instead (sway), the lines of that file that give every
// action its shortcut as a command handing the action to the running copy.

#include <string>
#include <vector>

namespace vistrel::DesktopBindings {

// One line per customizable action with a shortcut, in the settings' order,
// running `programPath --action <id>`; empty where the desktop takes no such
// lines (it grabs keys, or binds them in a settings window).
std::vector<std::string> configurationLines(const std::string& programPath);

}  // namespace vistrel::DesktopBindings
