#pragma once
// The permission records at launch: a one-time clean-up of the keys kept
// before records were scoped, and one line in the log that tells the whole
// permission state of this launch.

namespace vistrel::PermissionInstallState {

// Removes the unscoped keys of older versions, once per scope; safe to call at every launch.
void migrateLegacyKeysIfNeeded();
// "permission-e2e scope=… build=… ax=… capture=… axStale=… capStale=… local=…"; never prompts.
void logEndToEndSnapshot();

}  // namespace vistrel::PermissionInstallState
