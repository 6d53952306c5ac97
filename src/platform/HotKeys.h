#pragma once
// System-wide hot keys, registered by virtual key code (the Carbon numbering:
// 0 is A, 36 Return, 123 left arrow) and Carbon modifier masks.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vistrel::platform {

namespace carbon {
inline constexpr std::uint32_t cmdKey = 1 << 8;
inline constexpr std::uint32_t shiftKey = 1 << 9;
inline constexpr std::uint32_t optionKey = 1 << 11;
inline constexpr std::uint32_t controlKey = 1 << 12;
}  // namespace carbon

// Status codes.
inline constexpr int kHotKeyNoErr = 0;
inline constexpr int kEventHotKeyExistsErr = -9878;   // another program holds the key
inline constexpr int kEventHotKeyInvalidErr = -9879;  // no such key on this keyboard
inline constexpr int kEventNotHandledErr = -9874;
inline constexpr int kParamErr = -50;

struct HotKeyID {
  std::uint32_t signature = 0;
  std::uint32_t id = 0;
};

using HotKeyRef = std::uint64_t;  // 0 is no reference

class HotKeys {
 public:
  virtual ~HotKeys() = default;
  // Whether this desktop lets a program take system-wide keys at all; where
  // it does not, every registration would only be refused.
  virtual bool canGrabGlobalKeys() const = 0;
  // Grabs the key; on success stores a reference in `out` and returns kHotKeyNoErr.
  virtual int registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, HotKeyID id, HotKeyRef* out) = 0;
  virtual int unregisterHotKey(HotKeyRef ref) = 0;
  // Where keys cannot be grabbed and the desktop binds them in a
  // configuration file: the line of that file that runs `command` on the key
  // (sway's "bindsym Ctrl+Mod1+Left exec ..."). None where the desktop binds
  // keys in its settings window instead, or cannot name the key.
  virtual std::optional<std::string> configurationLine(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                                       const std::string& command) const {
    return std::nullopt;
  }
  // Installs the one handler of hot-key presses; it may be called on any thread.
  virtual int installEventHandler(std::function<void(HotKeyID)> handler) = 0;
};

}  // namespace vistrel::platform
