#pragma once
// The keys a shortcut can name, as Carbon virtual key codes (the product's
// numbering: 0 is A, 36 Return, 123 left arrow) and as keysyms (X11 and xkbcommon share them). The table is
// the US ANSI keyboard: it says which key a code means, not what the key types
// under the layout in use.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vistrel::desktop::CarbonKeys {

struct Entry {
  std::uint16_t keyCode;  // Carbon virtual key code
  std::uint32_t keysym;   // the keysym of the key's first level
};

// Every key with a Carbon code and a keysym; each code and each keysym occurs once.
std::span<const Entry> table();

std::optional<std::uint32_t> keysym(std::uint16_t keyCode);

// The Carbon code of a keysym: the table's entries, and besides them the other
// keysyms the same keys report (upper-case letters, the keypad's navigation
// level, Shift+Tab's ISO_Left_Tab).
std::optional<std::uint16_t> keyCode(std::uint32_t keysym);

// The keysym's name as configuration files spell keys ("Left", "a",
// "bracketleft"); none for a code the table lacks.
std::optional<std::string> keyName(std::uint16_t keyCode);

}  // namespace vistrel::desktop::CarbonKeys
