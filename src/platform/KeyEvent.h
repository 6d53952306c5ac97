#pragma once
// A key press as the product sees it: the Carbon virtual key code of the key,
// the modifier flags with AppKit's bit values, and the characters the key
// types without modifiers. Backends translate their native events into this.

#include <cstdint>
#include <string>

namespace vistrel::platform {

struct KeyEvent {
  // AppKit modifier flag bits (NSEventModifierFlags).
  static constexpr std::uint64_t kCapsLock = 1u << 16;    // 0x10000
  static constexpr std::uint64_t kShift = 1u << 17;       // 0x20000
  static constexpr std::uint64_t kControl = 1u << 18;     // 0x40000
  static constexpr std::uint64_t kOption = 1u << 19;      // 0x80000
  static constexpr std::uint64_t kCommand = 1u << 20;     // 0x100000
  static constexpr std::uint64_t kNumericPad = 1u << 21;  // 0x200000
  static constexpr std::uint64_t kHelp = 1u << 22;        // 0x400000
  static constexpr std::uint64_t kFunction = 1u << 23;    // 0x800000
  // Shift, Control, Option and Command: the keys that make a shortcut.
  static constexpr std::uint64_t kShortcutModifiers = kShift | kControl | kOption | kCommand;  // 0x1E0000

  std::uint16_t keyCode = 0;
  std::uint64_t modifierFlags = 0;
  std::string charactersIgnoringModifiers;  // UTF-8

  bool hasShortcutModifiers() const { return (modifierFlags & kShortcutModifiers) != 0; }
};

}  // namespace vistrel::platform
