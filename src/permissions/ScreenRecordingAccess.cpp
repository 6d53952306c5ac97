#include "permissions/ScreenRecordingAccess.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "permissions/AppRelaunch.h"
#include "permissions/PermissionScope.h"
#include "permissions/PermissionWatcher.h"
#include "platform/Platform.h"

namespace vistrel::ScreenRecordingAccess {

namespace {

constexpr double kWaitStep = 0.35;
constexpr double kSystemDialogGrace = 5;

// The settings pane first, then the older address; on a desktop that knows
// neither both are refused and the help text carries the user.
constexpr const char* kSettingsURL =
    "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_ScreenCapture";
constexpr const char* kLegacySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture";

constexpr int kOpenSettingsButton = 0;
constexpr int kRelaunchButton = 2;

// What lasts for one run of the program.
struct RunState {
  bool didShowHelpThisSession = false;
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

bool preflight() { return platform::current().screenCapture().preflightAccess(); }

const char* text(bool value) { return value ? "true" : "false"; }

std::optional<std::string> sealedBuild() { return defaults().string(PermissionScope::key(kSealedBuildKey)); }

bool needsRefresh() { return defaults().boolean(PermissionScope::key(kNeedsRefreshKey)).value_or(false); }

// Asks the system's dialog; the caller has checked it was not asked on this build.
bool requestSystemDialog(const char* requestLine) {
  defaults().setString(PermissionScope::key(kRequestedBuildKey), PermissionScope::currentBuild());
  LayoutLog::write(requestLine);
  const bool granted = platform::current().screenCapture().requestAccess();
  LayoutLog::write(std::string("capture-request-result=") + text(granted));
  return granted;
}

PermissionWatcher& captureWatcher() {
  static PermissionWatcher watcher("capture-watcher", preflight, [] {
    markCaptureWorking();
    LayoutLog::write("capture-watcher-ok");
  });
  return watcher;
}

std::string productHelpText(bool staleAfterUpdate) {
  if (PermissionScope::isLocalDevelopment()) {
    return "Local build:\n" + platform::current().bundle().bundlePath() +
           "\n\nIn your desktop's privacy settings, turn Vistrel On for Screen Recording (this path, not only the "
           "installed copy). Then capture again \u2014 no Relaunch needed if the toggle was Off.";
  }
  if (staleAfterUpdate) {
    return "If Screen Recording is already On, try Relaunch once. If it is Off, turn On first, then capture again.";
  }
  return "Turn On Screen Recording for Vistrel, then try capture again. Toggle Off\u2192On once if it was already On.";
}

// The product's words, then where this desktop keeps the grant when it says.
std::string helpText(bool staleAfterUpdate) {
  const std::string desktop = platform::current().screenCapture().accessSettingsHelp();
  return productHelpText(staleAfterUpdate) + (desktop.empty() ? "" : "\n\n" + desktop);
}

}  // namespace

void registerLaunch() {
  auto& system = platform::current();
  const bool allowed = preflight();
  const std::string build = PermissionScope::currentBuild();
  LayoutLog::write(std::string("capture-launch preflight=") + text(allowed) + " build=" + build +
                   " scope=" + PermissionScope::word() + " bundle=" + system.bundle().bundlePath());
  if (PermissionScope::isLocalDevelopment()) {
    if (allowed) markCaptureWorking();
    return;
  }
  const auto sealed = sealedBuild();
  if (sealed && *sealed != build && !allowed) {
    defaults().setBool(PermissionScope::key(kNeedsRefreshKey), true);
    LayoutLog::write("capture-post-update build=" + build + " sealed=" + *sealed);
  }
  if (allowed) markCaptureWorking();
}

void markCaptureWorking() {
  defaults().setString(PermissionScope::key(kSealedBuildKey), PermissionScope::currentBuild());
  defaults().setBool(PermissionScope::key(kNeedsRefreshKey), false);
}

bool requestedAccessThisBuild() {
  return defaults().string(PermissionScope::key(kRequestedBuildKey)) == PermissionScope::currentBuild();
}

Task<bool> ensure() {
  if (preflight()) {
    markCaptureWorking();
    LayoutLog::write("capture-ok");
    co_return true;
  }
  startCaptureWatcherIfNeeded();
  if (PermissionScope::isLocalDevelopment()) co_return co_await ensureLocalCaptureAccess();
  // It worked on some build before: the entry went stale rather than never being given.
  if (sealedBuild() || needsRefresh()) {
    presentHelpIfNeeded(true);
    co_return false;
  }
  if (requestedAccessThisBuild()) {
    presentHelpIfNeeded(false);
    co_return false;
  }
  if (requestSystemDialog("capture-request-system")) {
    markCaptureWorking();
    co_return true;
  }
  const bool granted = co_await waitUntilPreflight(kSystemDialogGrace);
  if (granted) {
    markCaptureWorking();
  } else {
    LayoutLog::write("capture-waiting-for-settings");
  }
  co_return granted;
}

Task<bool> ensureLocalCaptureAccess() {
  LayoutLog::write("capture-local-blocked preflight=false bundle=" + platform::current().bundle().bundlePath());
  if (requestedAccessThisBuild()) {
    presentHelpIfNeeded(false);
    co_return false;
  }
  if (requestSystemDialog("capture-local-request-system")) {
    markCaptureWorking();
    LayoutLog::write("capture-ok");
    co_return true;
  }
  const bool granted = co_await waitUntilPreflight(kSystemDialogGrace);
  if (granted) {
    markCaptureWorking();
    LayoutLog::write("capture-ok");
  } else {
    openSettings();
    LayoutLog::write("capture-local-open-settings");
  }
  co_return granted;
}

Task<bool> waitUntilPreflight(double seconds) {
  const int steps = std::max(1, int(seconds / kWaitStep));
  bool allowed = preflight();
  for (int step = 0; step < steps && !allowed; ++step) {
    co_await sleep(kWaitStep);
    allowed = preflight();
  }
  co_return allowed;
}

void startCaptureWatcherIfNeeded() {
  if (preflight()) {
    markCaptureWorking();
    return;
  }
  captureWatcher().start();
}

bool isCaptureWatcherRunning() { return captureWatcher().running(); }

void presentHelpIfNeeded(bool staleAfterUpdate) {
  auto& state = runState();
  const std::string build = PermissionScope::currentBuild();
  const std::string snoozedKey = PermissionScope::key(kHelpSnoozedBuildKey);
  if (defaults().string(snoozedKey) == build || state.didShowHelpThisSession) return;
  state.didShowHelpThisSession = true;

  const bool local = PermissionScope::isLocalDevelopment();
  Alert alert{.title = "Turn on Screen Recording for this Vistrel",
              .text = helpText(staleAfterUpdate),
              .buttons = {"Open Screen Recording", "Later"}};
  if (staleAfterUpdate && !local) alert.buttons.push_back("Relaunch");

  switch (presenter().runModal(alert)) {
    case kOpenSettingsButton:
      openSettings();
      startCaptureWatcherIfNeeded();
      break;
    case kRelaunchButton:
      AppRelaunch::replaceRunningInstance();
      break;
    default:
      // Later, or the alert closed without an answer: not again on this build.
      defaults().setString(snoozedKey, build);
      break;
  }
}

void openSettings() {
  auto& workspace = platform::current().workspace();
  if (!workspace.openURL(kSettingsURL)) workspace.openURL(kLegacySettingsURL);
}

void setAlertPresenterForTesting(std::shared_ptr<AlertPresenter> presenter) {
  runState().presenter = std::move(presenter);
}

void resetForTesting() {
  auto& state = runState();
  state.didShowHelpThisSession = false;
  captureWatcher().reset();
}

}  // namespace vistrel::ScreenRecordingAccess
