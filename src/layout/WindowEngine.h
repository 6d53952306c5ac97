#pragma once
// Applies one snap end to end: finds the window, works out its display and
// target, remembers the old frame for restore, starts the frame change, and
// tells the user when something is in the way. A snap blocked by the missing
// Accessibility permission is kept as the pending snap (in user defaults, so
// it survives a relaunch) and performed once the permission arrives.
//
// Main thread only. Delayed work (the retry, the pending snap, the grant
// poll) holds the engine weakly.

#include <map>
#include <memory>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Rect.h"
#include "base/WindowSnap.h"
#include "layout/AccessibilityPermissionFlow.h"

namespace vistrel {

class WindowEngine : public std::enable_shared_from_this<WindowEngine> {
 public:
  static constexpr const char* kPendingSnapKey = "vistrel.pendingSnap";
  static constexpr const char* kPendingPIDKey = "vistrel.pendingPID";

  static WindowEngine& shared();
  // Test-only: a fresh engine; work the old one scheduled finds it gone.
  static void resetForTesting();

  void perform(WindowSnap snap, bool allowRetry);
  // Performs the snap stored while the permission was missing, once, 0.4 s from now.
  void consumePendingSnap();
  void requestAccessibility(WindowSnap snap);
  void pollGrant(int attempt);
  // Less than a point apart in origin and size.
  static bool framesMatch(const Rect& a, const Rect& b);

  // The alerts; until one is set, Qt message boxes.
  void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) { presenter_ = std::move(presenter); }
  // The permission flow the blocked path hands over to; without one the pending snap is still stored.
  // The flow performs the pending snap through the engine when trust arrives.
  void setPermissionFlow(std::shared_ptr<AccessibilityPermissionFlow> flow);

  // By window identity, the AppKit-space frame before the engine's last change of it. For the run only.
  std::map<std::string, Rect> restoreFrames;
  bool watchingGrant = false;
  // Alerts become "alert <title>" log lines (the self-test's runs).
  bool suppressAlerts = false;

 private:
  void showAlert(const std::string& title, const std::string& text);
  static Task<> checkTrustAfterPrompt(std::weak_ptr<WindowEngine> engine,
                                      std::shared_ptr<AccessibilityPermissionFlow> flow, WindowSnap snap);

  std::shared_ptr<AlertPresenter> presenter_;
  std::shared_ptr<AccessibilityPermissionFlow> flow_;
  // The first snap on a desktop that refuses window control says why nothing moves; later ones only log.
  bool unsupportedExplained_ = false;
};

}  // namespace vistrel
