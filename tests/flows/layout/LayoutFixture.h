#pragma once
// A simulated desktop for layout flows: one 1440x900 display whose visible
// frame is (0,25 1440x875) in AppKit space (so accessibility y 0 is its top
// and flipHeight is 900), one user program in front, a log in a temporary
// folder, scripted alerts and a fresh engine, store and window state.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/AlertPresenter.h"
#include "base/LayoutLog.h"
#include "layout/AccessibilityPermissionFlow.h"
#include "layout/AccessibilityWindow.h"
#include "layout/WindowEngine.h"
#include "layout/WindowTargetStore.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"

namespace vistrel::testing {

class RecordingAlerts : public AlertPresenter {
 public:
  int runModal(const Alert& alert) override {
    shown.push_back(alert);
    return 0;
  }
  std::vector<Alert> shown;
};

// Answers the engine's permission calls the way a test scripts them, and records them.
class ScriptedPermissionFlow : public AccessibilityPermissionFlow {
 public:
  explicit ScriptedPermissionFlow(sim::SimPlatform& sim) : sim(sim) {}
  void splitShortcutBlockedFeedback(const std::string& reason) override { calls.push_back("feedback " + reason); }
  bool requestSystemPromptIfNeeded() override {
    calls.push_back("prompt");
    return promptAnswer;
  }
  void startTrustWatcherIfNeeded() override { calls.push_back("watcher"); }
  void setTrustArrivedHandler(std::function<void()> handler) override { trustArrived = std::move(handler); }
  Task<> waitForTrust(double seconds) override {
    calls.push_back("wait " + std::to_string(int(seconds)));
    for (int i = 0; i < int(seconds / 0.2) && !sim.accessibility().isProcessTrusted(); ++i) co_await sleep(0.2);
  }
  void markWorking() override { calls.push_back("markWorking"); }
  void performRelaunch(const std::string& reason) override { calls.push_back("relaunch " + reason); }

  sim::SimPlatform& sim;
  bool promptAnswer = false;
  std::vector<std::string> calls;
  std::function<void()> trustArrived;
};

class LayoutFlow : public ::testing::Test {
 protected:
  static constexpr std::int32_t kApp = 300;

  void SetUp() override {
    AccessibilityWindow::resetForTesting();
    WindowTargetStore::resetForTesting();
    WindowEngine::resetForTesting();
    WindowEngine::shared().setAlertPresenter(alerts);
    sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875));
    sim->workspace().addApplication(kApp, "Editor", std::string("org.example.Editor"));
    sim->workspace().setFrontmost(kApp);
  }
  void TearDown() override {
    sim->clock().runUntilIdle();
    WindowEngine::resetForTesting();
    WindowTargetStore::resetForTesting();
    AccessibilityWindow::resetForTesting();
  }

  // A window of the user program, focused.
  platform::AXElement focusedWindow(Rect axFrame, sim::SizeRules rules = {}, std::string title = "Doc") {
    auto w = sim->accessibility().addWindow(kApp, std::move(title), axFrame, rules);
    sim->accessibility().setFocusedWindow(w);
    return w;
  }
  Rect frame(const platform::AXElement& w) { return *sim->accessibility().frame(w); }

  // Log messages without their timestamps, in order.
  std::vector<std::string> log() const { return tempLog.messages(); }
  // The messages that begin with one of `prefixes`.
  std::vector<std::string> log(std::initializer_list<std::string> prefixes) const {
    std::vector<std::string> out;
    for (const auto& line : log())
      for (const auto& p : prefixes)
        if (line.rfind(p, 0) == 0) {
          out.push_back(line);
          break;
        }
    return out;
  }
  int count(const std::string& prefix) const { return int(log({prefix}).size()); }

  sim::ScopedSimPlatform sim;
  std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
  TempLog tempLog;
};

}  // namespace vistrel::testing
