#pragma once
// Window layout needs the Accessibility permission for this program's file,
// which an update often leaves stale while the desktop still shows it On.
// This keeps track of whether Accessibility has ever worked for this install
// and for which build (every key in the permission scope), watches for the
// grant, asks the system's prompt at most once, and explains the repair with
// alerts, a notification and log lines, without nagging.
//
// Main thread only; the waits and the watcher are tasks on the main clock.

#include <memory>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Task.h"
#include "layout/AccessibilityPermissionFlow.h"

namespace vistrel::AccessibilityAccess {

// The record's keys, before the scope suffix (PermissionScope::key).
inline constexpr const char* kSealedBuildKey = "vistrel.accessibilitySealedBuild";
inline constexpr const char* kNeedsRefreshKey = "vistrel.accessibilityNeedsRefreshAfterUpdate";
inline constexpr const char* kShowedSystemPromptKey = "vistrel.accessibilityShowedSystemPrompt";
inline constexpr const char* kRepairLastAlertKey = "vistrel.accessibilityRepairLastAlert";
inline constexpr const char* kHotkeyHelpSnoozedBuildKey = "vistrel.accessibilityHotkeyHelpSnoozedBuild";

// Launch bookkeeping, after Screen Recording's: seals a working build, marks
// an entry gone stale with an update, and otherwise starts watching for the grant.
void registerLaunch();
// Records that Accessibility works on this build.
void markWorking();
// The user has been through the grant on this install before (it may have gone stale since).
bool likelyGrantedBefore();

// One watcher at a time, checking every 0.5 s for a minute; on the grant it
// performs the window engine's pending snap.
void startTrustWatcherIfNeeded();
bool isTrustWatcherRunning();
// Finishes as soon as the process is trusted, checking every 0.2 s for about `seconds`.
Task<> waitForTrust(double seconds);
// True when trusted at the end of the call. The system's prompt is asked for
// only by an install that never went through the grant.
bool requestSystemPromptIfNeeded();

// What the user gets when a window shortcut is blocked ("snap-<raw value>" or "hotkey").
void splitShortcutBlockedFeedback(const std::string& reason);
// The blocked notification, at most one every 8 seconds.
void postSplitBlockedBannerIfNeeded();
// The repair alert; throttled unless `bypassThrottle`, a log line only when `quiet`.
void presentAccessibilityRepairGuide(const std::string& reason, bool bypassThrottle, bool quiet);
// The first-run help, once per run and never for a build the user snoozed.
void presentHotkeyHelpIfNeeded();
// The repair guide after an update, when Accessibility worked on an earlier build.
void presentPostOTAAccessibilityCoachIfNeeded(const std::string& reason);
void logTrustDiagnostics();
// The desktop's Accessibility settings, where it has any.
void openSettings();
// Replaces the running copy, so a grant given to the file applies.
void performRelaunch(const std::string& reason);

// The window engine's side of the flow: the operations above.
std::shared_ptr<AccessibilityPermissionFlow> permissionFlow();

// Replaces the alert presenter (a Qt message box); none puts that one back.
void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter);
// A new run: the run's state starts over, the launch is now, and a running
// watcher ends quietly.
void resetForTesting();

}  // namespace vistrel::AccessibilityAccess
