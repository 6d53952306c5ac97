#pragma once
// The keys the product names by their Carbon virtual key code, the numbering
// of every shortcut, key event and stored binding (KeyCodeLabels.h has the
// keys that type characters). Backends translate their own key numbers into
// these.

#include <cstdint>

namespace vistrel::KeyCode {

inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t deleteKey = 51;  // Backspace
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t keypadEnter = 76;
inline constexpr std::uint16_t f5 = 96;
inline constexpr std::uint16_t f6 = 97;
inline constexpr std::uint16_t f7 = 98;
inline constexpr std::uint16_t f3 = 99;
inline constexpr std::uint16_t f8 = 100;
inline constexpr std::uint16_t f9 = 101;
inline constexpr std::uint16_t f11 = 103;
inline constexpr std::uint16_t f10 = 109;
inline constexpr std::uint16_t f12 = 111;
inline constexpr std::uint16_t home = 115;
inline constexpr std::uint16_t pageUp = 116;
inline constexpr std::uint16_t forwardDelete = 117;
inline constexpr std::uint16_t f4 = 118;
inline constexpr std::uint16_t end = 119;
inline constexpr std::uint16_t f2 = 120;
inline constexpr std::uint16_t pageDown = 121;
inline constexpr std::uint16_t f1 = 122;
inline constexpr std::uint16_t leftArrow = 123;
inline constexpr std::uint16_t rightArrow = 124;
inline constexpr std::uint16_t downArrow = 125;
inline constexpr std::uint16_t upArrow = 126;

// A key with no code of its own: it can be neither recorded nor a command.
inline constexpr std::uint16_t none = 0xFFFF;

}  // namespace vistrel::KeyCode
