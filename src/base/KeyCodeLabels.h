#pragma once
// The character each key types on the US ANSI layout, by Carbon key code.
// Fixed: it does not follow the keyboard layout in use.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vistrel::KeyCodeLabels {

// 47 entries, each a single lower-case character.
const std::map<std::uint16_t, std::string>& labels();

std::optional<std::string> baseCharacter(std::uint16_t keyCode);

}  // namespace vistrel::KeyCodeLabels
