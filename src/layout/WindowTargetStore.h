#pragma once
// Which program a snap should go to when our own menu or a relaunch has
// taken the focus away. Main thread only.

#include <cstdint>
#include <optional>

#include "platform/Workspace.h"

namespace vistrel {

class WindowTargetStore {
 public:
  static WindowTargetStore& shared();
  // Test-only: forgets both process ids.
  static void resetForTesting();

  // The program in front when the menu opened or an action was dispatched, or
  // the one a pending snap was meant for; used when nothing better is in front.
  std::optional<std::int32_t> rememberedPID;
  // While set and positive, every target search uses this program (the self-test).
  std::optional<std::int32_t> pinnedPID;

  // The program a user would consider in front: the menu-bar owner, else the
  // frontmost one, never this program itself nor the login window.
  std::optional<platform::RunningApplication> userFacingApplication() const;
  // The process a target search starts from: the pinned one when positive,
  // else the user-facing program, else the remembered one.
  std::optional<std::int32_t> targetProcess() const;
};

}  // namespace vistrel
