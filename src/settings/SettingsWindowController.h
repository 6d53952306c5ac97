#pragma once
// The program's only ordinary window: built on the first show() and reused
// for the rest of the run (closing only hides it). Main thread only.

#include <functional>
#include <memory>

class QMainWindow;

namespace vistrel {

class SettingsView;

class SettingsWindowController {
 public:
  static SettingsWindowController& shared();
  // Test-only: closes and drops the window so the next show() builds it afresh.
  static void resetForTesting();
  ~SettingsWindowController();

  // Opens the window, or brings it forward, within its size limits.
  void show();

  // The window and its content once shown; none before.
  QMainWindow* window() const { return window_.get(); }
  SettingsView* view() const;

  // Registers (true) or unregisters (false) the login item; false on failure.
  // Set by the program before the first show().
  std::function<bool(bool)> setLaunchAtLogin;

 private:
  SettingsWindowController() = default;
  std::unique_ptr<QMainWindow> window_;
};

}  // namespace vistrel
