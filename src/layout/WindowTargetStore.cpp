#include "layout/WindowTargetStore.h"

#include "platform/Desktop.h"

namespace vistrel {

WindowTargetStore& WindowTargetStore::shared() {
  static WindowTargetStore store;
  return store;
}

void WindowTargetStore::resetForTesting() { shared() = WindowTargetStore(); }

std::optional<platform::RunningApplication> WindowTargetStore::userFacingApplication() const {
  auto& workspace = platform::workspace();
  const std::int32_t own = workspace.currentProcessID();
  for (const auto& candidate : {workspace.menuBarOwningApplication(), workspace.frontmostApplication()}) {
    if (!candidate || candidate->pid == own) continue;
    if (candidate->bundleIdentifier == "com.apple.loginwindow") continue;
    return candidate;
  }
  return std::nullopt;
}

std::optional<std::int32_t> WindowTargetStore::targetProcess() const {
  if (pinnedPID && *pinnedPID >= 1) return pinnedPID;
  if (const auto app = userFacingApplication()) return app->pid;
  return rememberedPID;
}

}  // namespace vistrel
