#include "permissions/PostUpdateHeal.h"

#include <string>

#include "base/LayoutLog.h"
#include "base/Task.h"
#include "permissions/AccessibilityAccess.h"
#include "permissions/AppRelaunch.h"
#include "permissions/PermissionScope.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/Platform.h"

namespace vistrel::PostUpdateHeal {

namespace {

// A copy started by the heal less than this long ago is the relaunched one: it never relaunches again.
constexpr double kPostRelaunchGrace = 8;
constexpr double kRelaunchCheckDelay = 1.2;
constexpr double kCoachDelay = 3.5;

platform::UserDefaults& defaults() { return platform::current().defaults(); }
bool trusted() { return platform::current().accessibility().isProcessTrusted(); }
bool captureAllowed() { return platform::current().screenCapture().preflightAccess(); }
const char* text(bool value) { return value ? "true" : "false"; }

bool flag(const char* key) { return defaults().boolean(PermissionScope::key(key)).value_or(false); }
bool exists(const char* key) { return defaults().contains(PermissionScope::key(key)); }

struct Facts {
  bool ax = trusted();
  bool cap = captureAllowed();
  bool hadAX = exists(AccessibilityAccess::kSealedBuildKey);
  bool hadCap = exists(ScreenRecordingAccess::kSealedBuildKey);
  bool axStale = flag(AccessibilityAccess::kNeedsRefreshKey);
  bool capStale = flag(ScreenRecordingAccess::kNeedsRefreshKey);

  // A first install that never had anything granted is left to the ordinary permission flows.
  bool healNeeded() const {
    if (hadAX && hadCap) return true;
    if (hadCap) return capStale || axStale || !(ax && cap);
    if (hadAX) return capStale || axStale || !ax;
    return capStale || axStale;
  }
};

Task<> relaunchUnlessRecovered() {
  co_await sleep(kRelaunchCheckDelay);
  const bool ax = trusted(), cap = captureAllowed();
  if (ax && cap) {
    LayoutLog::write("post-update-heal recovered-without-relaunch");
    co_return;
  }
  LayoutLog::write(std::string("post-update-heal relaunch ax=") + text(ax) + " cap=" + text(cap));
  defaults().setDouble(PermissionScope::key(kRelaunchFinishedAtKey), platform::current().clock().now());
  AppRelaunch::replaceRunningInstance();
}

Task<> coachLater() {
  co_await sleep(kCoachDelay);
  if (AccessibilityAccess::isTrustWatcherRunning()) {
    LayoutLog::write("post-update-heal coach-deferred watcher-active");
  } else if (!trusted()) {
    AccessibilityAccess::presentPostOTAAccessibilityCoachIfNeeded("post-ota");
  }
}

void scheduleAccessibilityCoachIfNeeded() {
  if (trusted()) return;
  if (!flag(AccessibilityAccess::kNeedsRefreshKey) && !exists(ScreenRecordingAccess::kSealedBuildKey)) return;
  spawn(coachLater());
}

}  // namespace

void considerAfterLaunch() {
  if (PermissionScope::isLocalDevelopment()) return;
  const std::string build = PermissionScope::currentBuild();

  const auto finishedAt = defaults().real(PermissionScope::key(kRelaunchFinishedAtKey));
  if (finishedAt && platform::current().clock().now() - *finishedAt < kPostRelaunchGrace) {
    LayoutLog::write("post-update-heal skip post-relaunch-grace build=" + build);
    scheduleAccessibilityCoachIfNeeded();
    return;
  }

  const Facts facts;
  if (facts.ax && facts.cap) {
    LayoutLog::write("post-update-heal skip ok build=" + build);
    return;
  }
  if (!facts.healNeeded()) {
    LayoutLog::write("post-update-heal skip first-grant build=" + build + " ax=" + text(facts.ax) +
                     " cap=" + text(facts.cap) + " hadAX=" + text(facts.hadAX) + " hadCap=" + text(facts.hadCap));
    return;
  }
  const std::string relaunchedKey = PermissionScope::key(kRelaunchedBuildKey);
  if (defaults().string(relaunchedKey) == build) {
    LayoutLog::write("post-update-heal skip already-relaunched build=" + build);
    scheduleAccessibilityCoachIfNeeded();
    return;
  }
  LayoutLog::write("post-update-heal scheduled build=" + build + " ax=" + text(facts.ax) + " cap=" +
                   text(facts.cap) + " axStale=" + text(facts.axStale) + " capStale=" + text(facts.capStale));
  defaults().setString(relaunchedKey, build);
  spawn(relaunchUnlessRecovered());
}

}  // namespace vistrel::PostUpdateHeal
