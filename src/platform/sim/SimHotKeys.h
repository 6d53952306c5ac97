#pragma once
// System-wide hot keys of the simulated desktop: registrations by key code
// and Carbon modifiers, keys that another program already holds, and presses
// a test makes.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/HotKeys.h"

namespace vistrel::sim {

class SimHotKeys : public platform::HotKeys {
 public:
  struct Registration {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    platform::HotKeyID id;
    platform::HotKeyRef ref = 0;
  };

  bool canGrabGlobalKeys() const override { return grabsGlobalKeys; }
  int registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, platform::HotKeyID id,
                     platform::HotKeyRef* out) override;
  int unregisterHotKey(platform::HotKeyRef ref) override;
  // An empty handler removes the installed one.
  int installEventHandler(std::function<void(platform::HotKeyID)> handler) override;
  // "bind <key code>/<modifiers> <command>" where the desktop binds keys by file.
  std::optional<std::string> configurationLine(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                               const std::string& command) const override {
    if (!bindsKeysByFile) return std::nullopt;
    return "bind " + std::to_string(keyCode) + "/" + std::to_string(carbonModifiers) + " " + command;
  }

  // Test controls.
  // A desktop that lets no program take system-wide keys.
  bool grabsGlobalKeys = true;
  // A desktop whose keys are bound in its configuration file (as sway's).
  bool bindsKeysByFile = false;
  // Another program holds this combination: registering it fails with kEventHotKeyExistsErr.
  void markTaken(std::uint32_t keyCode, std::uint32_t carbonModifiers) { taken_.insert({keyCode, carbonModifiers}); }
  // That program lets the combination go.
  void markFree(std::uint32_t keyCode, std::uint32_t carbonModifiers) { taken_.erase({keyCode, carbonModifiers}); }
  // The user presses a combination. Returns true when it was registered and a handler ran.
  bool pressHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers);
  const std::vector<Registration>& registrations() const { return registrations_; }
  bool hasHandler() const { return bool(handler_); }

 private:
  std::vector<Registration> registrations_;
  std::set<std::pair<std::uint32_t, std::uint32_t>> taken_;
  std::function<void(platform::HotKeyID)> handler_;
  platform::HotKeyRef nextRef_ = 1;
};

}  // namespace vistrel::sim
