#include "permissions/PermissionInstallState.h"

#include <array>
#include <string>

#include "base/LayoutLog.h"
#include "permissions/AccessibilityAccess.h"
#include "permissions/PermissionScope.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/Platform.h"

namespace vistrel::PermissionInstallState {

namespace {

constexpr const char* kMigratedKey = "vistrel.permissionLegacyMigrated";

// Removed as they are, without a scope suffix.
constexpr std::array<const char*, 9> kLegacyKeys = {
    "vistrel.accessibilitySealedBuild",          "vistrel.accessibilityNeedsRefreshAfterUpdate",
    "vistrel.accessibilityAutoRelaunchedBuild",  "vistrel.accessibilityHotkeyHelpSnoozedBuild",
    "vistrel.accessibilityShowedSystemPrompt",   "vistrel.screenCaptureSealedBuild",
    "vistrel.screenCaptureNeedsRefreshAfterUpdate", "vistrel.screenCaptureRequestedBuild",
    "vistrel.screenCaptureAutoRelaunchedBuild",
};

const char* text(bool value) { return value ? "true" : "false"; }

}  // namespace

void migrateLegacyKeysIfNeeded() {
  auto& defaults = platform::current().defaults();
  const std::string migrated = PermissionScope::key(kMigratedKey);
  if (defaults.boolean(migrated).value_or(false)) return;
  defaults.setBool(migrated, true);
  for (const char* key : kLegacyKeys) defaults.remove(key);
  LayoutLog::write("permission-legacy-keys-cleared scope=" + PermissionScope::word());
}

void logEndToEndSnapshot() {
  auto& system = platform::current();
  const auto stale = [&](const char* key) {
    return text(system.defaults().boolean(PermissionScope::key(key)).value_or(false));
  };
  const std::string build = PermissionScope::currentBuild();
  LayoutLog::write("permission-e2e scope=" + PermissionScope::word() + " build=" + (build.empty() ? "?" : build) +
                   " ax=" + text(system.accessibility().isProcessTrusted()) +
                   " capture=" + text(system.screenCapture().preflightAccess()) +
                   " axStale=" + stale(AccessibilityAccess::kNeedsRefreshKey) +
                   " capStale=" + stale(ScreenRecordingAccess::kNeedsRefreshKey) +
                   " local=" + text(PermissionScope::isLocalDevelopment()));
}

}  // namespace vistrel::PermissionInstallState
