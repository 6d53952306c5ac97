#pragma once
// May we capture the screen now? Asked by the capture and recording engines
// before every capture or recording. Keeps the per-build record of the
// Screen Recording permission (every key in the permission scope), asks the
// system's dialog at most once per build, watches for the grant, and explains
// a missing or stale permission with a help alert at most once per run.
// Main thread only.

#include <memory>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Task.h"

namespace vistrel::ScreenRecordingAccess {

// The record's keys, before the scope suffix (PermissionScope::key).
inline constexpr const char* kSealedBuildKey = "vistrel.screenCaptureSealedBuild";
inline constexpr const char* kNeedsRefreshKey = "vistrel.screenCaptureNeedsRefreshAfterUpdate";
inline constexpr const char* kRequestedBuildKey = "vistrel.screenCaptureRequestedBuild";
inline constexpr const char* kHelpSnoozedBuildKey = "vistrel.screenCaptureHelpSnoozedBuild";

// True when capture may proceed now; on false the caller abandons the
// capture, the user has had the help alert or the system dialog, and the log
// names the branch taken.
Task<bool> ensure();

// Launch bookkeeping; returns without waiting for the user.
void registerLaunch();

// One watcher at a time, polling for the grant for a minute.
void startCaptureWatcherIfNeeded();
bool isCaptureWatcherRunning();
// Records that capture works on this build.
void markCaptureWorking();
bool requestedAccessThisBuild();
// True as soon as capture is allowed, checking every 0.35 s for about `seconds`.
Task<bool> waitUntilPreflight(double seconds);
// The help alert, unless snoozed for this build or already shown in this run.
void presentHelpIfNeeded(bool staleAfterUpdate);
Task<bool> ensureLocalCaptureAccess();
// The desktop's Screen Recording settings, where it has any.
void openSettings();

// Replaces the alert presenter (a Qt message box); none puts that one back.
void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter);
// A new run: the help may show again and a running watcher ends quietly.
void resetForTesting();

}  // namespace vistrel::ScreenRecordingAccess
