#pragma once
// The one dispatcher every command passes through, from a hotkey or the menu.

#include "base/UtilityAction.h"

namespace vistrel {

class AppActions {
 public:
  // On the main thread; returns before any asynchronous work it starts ends.
  void handle(const UtilityAction& action);
  // The same, a capture after counting `captureDelay` seconds down (0: at once).
  void handle(const UtilityAction& action, double captureDelay);
  // Registers the store's current bindings with the registry; presses come back to handle().
  void registerGlobalHotkeys();
};

}  // namespace vistrel
