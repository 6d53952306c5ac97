#pragma once
// The operations of the Accessibility permission flow that the window engine
// calls when a snap is blocked, and the one the flow calls back. The
// permission work implements it; the engine holds one.

#include <functional>
#include <string>

#include "base/Task.h"

namespace vistrel {

class AccessibilityPermissionFlow {
 public:
  virtual ~AccessibilityPermissionFlow() = default;

  // What the user gets when a window shortcut is blocked ("snap-<raw value>" or "hotkey").
  virtual void splitShortcutBlockedFeedback(const std::string& reason) = 0;
  // True when the process is trusted at the end of the call, already or right after the one system prompt.
  virtual bool requestSystemPromptIfNeeded() = 0;
  virtual void startTrustWatcherIfNeeded() = 0;
  // What runs when the trust watcher sees the permission arrive, after the
  // permission is recorded as working: the engine performs its pending snap.
  virtual void setTrustArrivedHandler(std::function<void()> handler) = 0;
  // Finishes when the process is trusted or after `seconds`.
  virtual Task<> waitForTrust(double seconds) = 0;
  // Records that Accessibility works on this build.
  virtual void markWorking() = 0;
  virtual void performRelaunch(const std::string& reason) = 0;
};

}  // namespace vistrel
