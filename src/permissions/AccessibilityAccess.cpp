#include "permissions/AccessibilityAccess.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "base/ProductWebPage.h"
#include "permissions/AppRelaunch.h"
#include "permissions/PermissionScope.h"
#include "permissions/PermissionWatcher.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/Platform.h"

namespace vistrel::AccessibilityAccess {

namespace {

constexpr double kWaitStep = 0.2;
constexpr double kLaunchTrustWait = 4;
constexpr double kLaunchGrace = 6;
constexpr double kBannerInterval = 8;
constexpr double kRepairThrottle = 25;
constexpr double kRepairThrottleWhileWatching = 60;
constexpr double kThrottleReportInterval = 60;

// The settings pane first, then the older address; on a desktop that knows
// neither both are refused and the guide's steps carry the user.
constexpr const char* kSettingsURL =
    "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_Accessibility";
constexpr const char* kLegacySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

constexpr int kOpenSettingsButton = 0;
constexpr int kRevealLogButton = 1;

// What lasts for one run of the program.
struct RunState {
  double launchUptime = 0;
  bool didLogWaitingGrantThisSession = false;
  bool didShowHotkeyHelpThisSession = false;
  double lastBannerAt = 0;
  int repairThrottleSkips = 0;
  double lastRepairThrottleLog = 0;
  std::shared_ptr<AlertPresenter> presenter;
};

RunState& runState() {
  static RunState state;
  return state;
}

AlertPresenter& presenter() {
  auto& stored = runState().presenter;
  if (!stored) stored = std::make_shared<MessageBoxAlertPresenter>();
  return *stored;
}

platform::UserDefaults& defaults() { return platform::current().defaults(); }
Clock& clock() { return platform::current().clock(); }
bool trusted() { return platform::current().accessibility().isProcessTrusted(); }
bool capturePreflight() { return platform::current().screenCapture().preflightAccess(); }
std::string bundlePath() { return platform::current().bundle().bundlePath(); }
const char* text(bool value) { return value ? "true" : "false"; }

std::optional<std::string> sealedBuild() { return defaults().string(PermissionScope::key(kSealedBuildKey)); }
bool needsRefresh() { return defaults().boolean(PermissionScope::key(kNeedsRefreshKey)).value_or(false); }
std::optional<std::string> captureSealedBuild() {
  return defaults().string(PermissionScope::key(ScreenRecordingAccess::kSealedBuildKey));
}

// Kept for the whole run: the window engine sets it once, when it takes the flow.
std::function<void()>& trustArrivedHandler() {
  static std::function<void()> handler;
  return handler;
}

PermissionWatcher& trustWatcher() {
  static PermissionWatcher watcher("accessibility-trust-watcher", trusted, [] {
    markWorking();
    LayoutLog::write("accessibility-trust-watcher-ok");
    if (const auto& arrived = trustArrivedHandler()) arrived();
  });
  return watcher;
}

// The permission may arrive while the launch goes on (a grant given just before a relaunch).
Task<> sealWhenTrustArrives() {
  co_await waitForTrust(kLaunchTrustWait);
  if (trusted()) markWorking();
}

std::string repairGuideText() {
  return "Vistrel received your shortcut, but your desktop has not granted Accessibility to this app yet (screen "
         "capture can still work).\n\nIf the toggle already looks On, it is usually the wrong entry. Do this "
         "once:\n\n1. Your desktop's settings \u2192 Privacy \u2192 Accessibility\n2. Select Vistrel and click "
         "\u2212 (minus) to remove it\n3. Click + and choose:\n   " +
         bundlePath() +
         "\n4. Turn the new Vistrel entry On\n5. Press your split shortcut again (no relaunch needed)\n\nYour log "
         "line must show ax=true after this:\n" +
         LayoutLog::path();
}

class EngineFlow : public AccessibilityPermissionFlow {
 public:
  void splitShortcutBlockedFeedback(const std::string& reason) override {
    AccessibilityAccess::splitShortcutBlockedFeedback(reason);
  }
  bool requestSystemPromptIfNeeded() override { return AccessibilityAccess::requestSystemPromptIfNeeded(); }
  void startTrustWatcherIfNeeded() override { AccessibilityAccess::startTrustWatcherIfNeeded(); }
  void setTrustArrivedHandler(std::function<void()> handler) override { trustArrivedHandler() = std::move(handler); }
  Task<> waitForTrust(double seconds) override { return AccessibilityAccess::waitForTrust(seconds); }
  void markWorking() override { AccessibilityAccess::markWorking(); }
  void performRelaunch(const std::string& reason) override { AccessibilityAccess::performRelaunch(reason); }
};

}  // namespace

void registerLaunch() {
  auto& state = runState();
  const bool isTrusted = trusted();
  const std::string build = PermissionScope::currentBuild();
  LayoutLog::write(std::string("accessibility-launch trusted=") + text(isTrusted) + " build=" + build +
                   " bundle=" + bundlePath());
  state.launchUptime = clock().uptime();

  if (PermissionScope::isLocalDevelopment()) {
    if (isTrusted) {
      markWorking();
    } else {
      startTrustWatcherIfNeeded();
    }
    return;
  }

  const std::string refreshKey = PermissionScope::key(kNeedsRefreshKey);
  if (const auto sealed = sealedBuild(); sealed && *sealed != build && !isTrusted) {
    defaults().setBool(refreshKey, true);
    LayoutLog::write("accessibility-post-update build=" + build + " sealed=" + *sealed);
  } else if (!isTrusted && capturePreflight() && captureSealedBuild()) {
    // Screen Recording surviving while Accessibility does not: a stale Accessibility entry.
    defaults().setBool(refreshKey, true);
    LayoutLog::write("accessibility-stale capture-ok build=" + build);
  }

  if (isTrusted) {
    markWorking();
    return;
  }
  if (!needsRefresh()) logTrustDiagnostics();
  startTrustWatcherIfNeeded();
  spawn(sealWhenTrustArrives());
}

void markWorking() {
  defaults().setString(PermissionScope::key(kSealedBuildKey), PermissionScope::currentBuild());
  defaults().setBool(PermissionScope::key(kNeedsRefreshKey), false);
}

bool likelyGrantedBefore() {
  return needsRefresh() || sealedBuild() ||
         defaults().boolean(PermissionScope::key(kShowedSystemPromptKey)).value_or(false);
}

void startTrustWatcherIfNeeded() {
  if (trusted()) {
    markWorking();
    return;
  }
  trustWatcher().start();
}

bool isTrustWatcherRunning() { return trustWatcher().running(); }

Task<> waitForTrust(double seconds) {
  const int steps = std::max(1, int(seconds / kWaitStep));
  for (int step = 0; step < steps && !trusted(); ++step) co_await sleep(kWaitStep);
}

bool requestSystemPromptIfNeeded() {
  if (trusted()) {
    markWorking();
    return true;
  }
  if (likelyGrantedBefore()) return false;
  defaults().setBool(PermissionScope::key(kShowedSystemPromptKey), true);
  LayoutLog::write("accessibility-request-system-once");
  const bool granted = platform::current().accessibility().isProcessTrustedWithOptions(true);
  LayoutLog::write(std::string("accessibility-request-result=") + text(granted));
  if (granted) markWorking();
  return granted;
}

void splitShortcutBlockedFeedback(const std::string& reason) {
  if (trusted()) return;
  auto& state = runState();
  if (clock().uptime() - state.launchUptime < kLaunchGrace) {
    if (!state.didLogWaitingGrantThisSession) {
      state.didLogWaitingGrantThisSession = true;
      LayoutLog::write("accessibility-waiting-grant launch-grace=6s");
    }
    postSplitBlockedBannerIfNeeded();
    return;
  }
  postSplitBlockedBannerIfNeeded();
  if (trustWatcher().running()) {
    presentAccessibilityRepairGuide(reason, false, true);
    return;
  }
  if (!likelyGrantedBefore() && !needsRefresh() && !captureSealedBuild()) {
    presentHotkeyHelpIfNeeded();
    return;
  }
  presentAccessibilityRepairGuide(reason, false, false);
}

void postSplitBlockedBannerIfNeeded() {
  auto& state = runState();
  const double now = clock().now();
  if (now - state.lastBannerAt <= kBannerInterval) return;
  state.lastBannerAt = now;
  LayoutLog::write("accessibility-split-blocked-banner");
  platform::current().notifications().add(
      {.identifier = "vistrel.split.blocked." + std::to_string(std::int64_t(now)),
       .title = "Split screen blocked",
       .body = "Allow Accessibility for Vistrel in Settings (remove & re-add if already On).",
       .sound = true});
}

void presentAccessibilityRepairGuide(const std::string& reason, bool bypassThrottle, bool quiet) {
  if (trusted()) return;
  auto& state = runState();
  const double now = clock().now();
  const std::string lastAlertKey = PermissionScope::key(kRepairLastAlertKey);
  if (!bypassThrottle) {
    const double window = trustWatcher().running() || quiet ? kRepairThrottleWhileWatching : kRepairThrottle;
    if (const auto last = defaults().real(lastAlertKey); last && now - *last < window) {
      ++state.repairThrottleSkips;
      if (now - state.lastRepairThrottleLog > kThrottleReportInterval) {
        LayoutLog::write("accessibility-repair-throttled reason=" + reason +
                         " skipped=" + std::to_string(state.repairThrottleSkips));
        state.repairThrottleSkips = 0;
        state.lastRepairThrottleLog = now;
      }
      return;
    }
  }
  defaults().setDouble(lastAlertKey, now);
  state.repairThrottleSkips = 0;
  if (quiet) {
    LayoutLog::write("accessibility-repair-quiet reason=" + reason);
    return;
  }

  LayoutLog::write("accessibility-repair-guide reason=" + reason);
  const Alert alert{.title = "Split screen is off \u2014 fix Accessibility",
                    .text = repairGuideText(),
                    .buttons = {"Open Accessibility", "Show log path in the file manager"}};
  switch (presenter().runModal(alert)) {
    case kOpenSettingsButton:
      openSettings();
      startTrustWatcherIfNeeded();
      break;
    case kRevealLogButton:
      LayoutLog::write("settings-reveal-log");
      platform::current().workspace().activateFileViewerSelecting({LayoutLog::path()});
      break;
    default:
      break;
  }
}

void presentHotkeyHelpIfNeeded() {
  auto& state = runState();
  const std::string build = PermissionScope::currentBuild();
  const std::string snoozedKey = PermissionScope::key(kHotkeyHelpSnoozedBuildKey);
  if (defaults().string(snoozedKey) == build || state.didShowHotkeyHelpThisSession) return;
  state.didShowHotkeyHelpThisSession = true;

  const Alert alert{.title = "Allow Accessibility for window shortcuts",
                    .text = std::string("Turn on Accessibility for Vistrel in your desktop's settings. Use the "
                                        "copy installed from ") +
                            kProductWebDomain + ".",
                    .buttons = {"Open Accessibility", "Later"}};
  if (presenter().runModal(alert) == kOpenSettingsButton) {
    openSettings();
  } else {
    // Later, or the alert closed without an answer: not again on this build.
    defaults().setString(snoozedKey, build);
  }
}

void presentPostOTAAccessibilityCoachIfNeeded(const std::string& reason) {
  if (trusted()) return;
  if (!needsRefresh() && !likelyGrantedBefore()) return;
  LayoutLog::write("accessibility-ota-coach reason=" + reason + " build=" + PermissionScope::currentBuild());
  presentAccessibilityRepairGuide(reason, true, false);
}

void logTrustDiagnostics() {
  LayoutLog::write(std::string("accessibility-diag trusted=") + text(trusted()) + " capture=" +
                   text(capturePreflight()) + " axSealed=" + sealedBuild().value_or("none") +
                   " capSealed=" + captureSealedBuild().value_or("none") + " axStale=" + text(needsRefresh()) +
                   " path=" + bundlePath());
}

void openSettings() {
  auto& workspace = platform::current().workspace();
  if (!workspace.openURL(kSettingsURL)) workspace.openURL(kLegacySettingsURL);
}

void performRelaunch(const std::string& reason) {
  LayoutLog::write("accessibility-relaunch reason=" + reason + " bundle=" + bundlePath());
  AppRelaunch::replaceRunningInstance();
}

std::shared_ptr<AccessibilityPermissionFlow> permissionFlow() {
  static const auto flow = std::make_shared<EngineFlow>();
  return flow;
}

void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter) {
  runState().presenter = std::move(presenter);
}

void resetForTesting() {
  auto& state = runState();
  auto presenter = std::move(state.presenter);
  state = RunState{};
  trustWatcher().reset();
  state.presenter = std::move(presenter);
  state.launchUptime = clock().uptime();
}

}  // namespace vistrel::AccessibilityAccess
