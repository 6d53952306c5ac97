#pragma once
// The permissions desktop (build 241 of a release copy, Screen Recording off)
// with Accessibility off as well, one 1440x900 display, a user program in
// front with one window, and the launch's permission steps in their order.

#include <initializer_list>
#include <string>
#include <vector>

#include "PermissionsFixture.h"
#include "layout/AccessibilityWindow.h"
#include "layout/WindowEngine.h"
#include "layout/WindowTargetStore.h"
#include "permissions/AccessibilityAccess.h"
#include "permissions/PermissionInstallState.h"
#include "permissions/PostUpdateHeal.h"

namespace vistrel::testing {

inline constexpr int kRevealLog = 1;

class AccessibilityFlow : public PermissionsFlow {
 protected:
  static constexpr std::int32_t kApp = 300;

  void SetUp() override {
    PermissionsFlow::SetUp();
    freshRun();
    AccessibilityAccess::setAlertPresenterForTesting(alerts);
    sim->accessibility().setTrusted(false);
    sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875));
    sim->workspace().addApplication(kApp, "Editor", std::string("org.example.Editor"));
    sim->workspace().setFrontmost(kApp);
    window = sim->accessibility().addWindow(kApp, "Doc", Rect(100, 100, 400, 300));
    sim->accessibility().setFocusedWindow(window);
  }
  void TearDown() override {
    sim->clock().runUntilIdle();
    AccessibilityAccess::setAlertPresenterForTesting(nullptr);
    AccessibilityAccess::resetForTesting();
    WindowEngine::resetForTesting();
    WindowTargetStore::resetForTesting();
    AccessibilityWindow::resetForTesting();
    PermissionsFlow::TearDown();
  }

  // Launch steps 2 to 7 as the launch sequence runs them (no second copy runs).
  void launch() {
    PermissionInstallState::migrateLegacyKeysIfNeeded();
    PermissionInstallState::logEndToEndSnapshot();
    ScreenRecordingAccess::registerLaunch();
    AccessibilityAccess::registerLaunch();
    WindowEngine::shared().setPermissionFlow(AccessibilityAccess::permissionFlow());
    PostUpdateHeal::considerAfterLaunch();
    sim->clock().runPending();
  }
  // The program quits and starts again: only what is stored survives; the
  // old run's work ends first.
  void restart() {
    freshRun();
    sim->clock().runUntilIdle();
    launch();
  }

  // A window shortcut as the dispatcher hands it to the engine.
  void shortcut(WindowSnap snap = WindowSnap::leftHalf) {
    WindowTargetStore::shared().rememberedPID = kApp;
    WindowEngine::shared().perform(snap, true);
  }

  // The permission lines of the log, in order.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const auto& line : tempLog.messages())
      for (const char* prefix : {"accessibility-", "permission-", "post-update-heal", "relaunch-", "settings-reveal"})
        if (line.starts_with(prefix)) out.push_back(line);
    return out;
  }
  int count(const std::string& prefix) const {
    int n = 0;
    for (const auto& line : tempLog.messages()) n += line.starts_with(prefix);
    return n;
  }
  std::vector<std::string> bannerIDs() {
    std::vector<std::string> ids;
    for (const auto& request : sim->notifications().delivered) ids.push_back(request.identifier);
    return ids;
  }
  std::string bannerID() {
    return "vistrel.split.blocked." + std::to_string(std::int64_t(sim->clock().now()));
  }

  platform::AXElement window;

 private:
  void freshRun() {
    AccessibilityAccess::resetForTesting();
    ScreenRecordingAccess::resetForTesting();
    WindowEngine::resetForTesting();
    WindowTargetStore::resetForTesting();
    AccessibilityWindow::resetForTesting();
  }
};

}  // namespace vistrel::testing
