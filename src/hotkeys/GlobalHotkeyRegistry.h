#pragma once
// The bindings as system-wide hot keys: registers every binding with the
// platform and calls the handler with the bound action when one is pressed.
// Main thread only, except the platform's press callback, which only logs and
// hops to the main queue.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/UtilityAction.h"
#include "hotkeys/DefaultHotkeys.h"
#include "platform/HotKeys.h"

namespace vistrel {

class GlobalHotkeyRegistry {
 public:
  using Handler = std::function<void(const UtilityAction&)>;

  // 'VSTL', the signature of every hot-key identity this program registers.
  static constexpr std::uint32_t kSignature = 0x5653544C;
  // A second press of the same hot key within this many seconds is ignored.
  static constexpr double kDebounce = 0.75;

  struct Fire {
    std::uint32_t id;
    double time;  // uptime, seconds
  };

  static GlobalHotkeyRegistry& shared();
  // Test-only: drops the shared registry and forgets that the event handler
  // was installed, so the next shared() starts afresh on the installed platform.
  static void resetSharedForTesting();

  // Replaces every registration by `bindings` (registered in the map's own
  // order); registers none on a desktop that lets no program grab keys.
  void registerDefaults(const HotkeyBindings& bindings, Handler handler);
  // Unregisters every hot key and starts ids again at 1; lastFire and the event handler stay.
  void uninstallHotKeys();
  // Asks the system again for every key it refused at the last registration,
  // under the same ids; returns how many it still refuses. For keys that an
  // earlier copy of this program held while this one registered.
  std::size_t retryRefused();
  std::size_t refusedCount() const { return refused_.size(); }

  // A key held for a moment besides the bindings (a capture countdown's
  // Escape), without taking the keyboard: `pressed` runs on the main thread at
  // each press until releaseHeldKey. None when the system refuses the key.
  std::optional<std::uint32_t> holdKey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                       std::function<void()> pressed);
  void releaseHeldKey(std::uint32_t id);

  // Called with the action of an accepted press; termination clears it.
  Handler handler;

 private:
  GlobalHotkeyRegistry() = default;
  // Once per process; a failed installation is not retried.
  void installEventHandlerIfNeeded();
  void dispatchHotKey(std::uint32_t id);

  std::unordered_map<std::uint32_t, UtilityAction> actionByHotKeyID_;
  std::vector<platform::HotKeyRef> hotKeyRefs_;
  struct Refused {
    std::uint32_t id;
    std::uint32_t keyCode;
    std::uint32_t mask;
  };
  std::vector<Refused> refused_;
  std::uint32_t nextID_ = 1;
  // Held keys, by id: ids of their own range, which a new registration of the bindings leaves alone.
  static constexpr std::uint32_t kFirstHeldID = 0x10000;
  struct Held {
    platform::HotKeyRef ref;
    std::function<void()> pressed;
  };
  std::unordered_map<std::uint32_t, Held> held_;
  std::uint32_t nextHeldID_ = kFirstHeldID;
  std::optional<Fire> lastFire_;

  // The event handler is installed: process-wide, never reset outside tests.
  static inline bool installed_ = false;
};

}  // namespace vistrel
