#include "hotkeys/DesktopBindings.h"

#include "hotkeys/HotkeyStore.h"
#include "platform/Platform.h"

namespace vistrel::DesktopBindings {

std::vector<std::string> configurationLines(const std::string& programPath) {
  const auto& hotKeys = platform::current().hotKeys();
  if (hotKeys.canGrabGlobalKeys()) return {};
  std::vector<std::string> lines;
  const auto& store = HotkeyStore::shared();
  for (const auto& action : HotkeyStore::customizable()) {
    const auto binding = store.binding(action);
    if (!binding) continue;
    const auto line = hotKeys.configurationLine(binding->keyCode, binding->carbonModifierMask(),
                                                programPath + " --action " + action.storageID());
    if (line) lines.push_back(*line);
  }
  return lines;
}

}  // namespace vistrel::DesktopBindings
