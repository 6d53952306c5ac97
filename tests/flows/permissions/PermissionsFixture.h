#pragma once
// A simulated desktop running build 241 of a release copy from
// /opt/vistrel/bin/vistrel with Screen Recording off, a private log, alerts
// answered by the test, and the program's end recorded instead of performed.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/AlertPresenter.h"
#include "permissions/AppRelaunch.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"

namespace vistrel::testing {

inline constexpr int kOpenSettings = 0;
inline constexpr int kLater = 1;
inline constexpr int kRelaunch = 2;

class ScriptedAlerts : public AlertPresenter {
 public:
  int runModal(const Alert& alert) override {
    shown.push_back(alert);
    if (answers.empty()) return kLater;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<Alert> shown;
  std::deque<int> answers;
};

class PermissionsFlow : public ::testing::Test {
 protected:
  static constexpr const char* kBundlePath = "/opt/vistrel/bin/vistrel";

  void SetUp() override {
    ScreenRecordingAccess::resetForTesting();
    ScreenRecordingAccess::setAlertPresenterForTesting(alerts);
    AppRelaunch::setTerminateForTesting([this] { ++terminations; });
    setBuild("241", "release");
    sim->bundle().path = kBundlePath;
    capture().allowed = false;
  }
  void TearDown() override {
    // Lets a running watcher end while its platform is still installed.
    sim->clock().runUntilIdle();
    AppRelaunch::setTerminateForTesting(nullptr);
    ScreenRecordingAccess::setAlertPresenterForTesting(nullptr);
    ScreenRecordingAccess::resetForTesting();
  }

  void setBuild(const std::string& build, const std::string& channel) {
    sim->bundle().dictionary["CFBundleVersion"] = build;
    sim->bundle().dictionary["VistrelBuildChannel"] = channel;
  }
  sim::SimScreenCapture& capture() { return sim->screenCapture(); }

  // The program quits and starts again: only what is stored survives, and
  // the old run's watcher ends without a word.
  void relaunch() {
    ScreenRecordingAccess::resetForTesting();
    sim->clock().runUntilIdle();
    ScreenRecordingAccess::registerLaunch();
  }

  // Starts one ensure() as the capture engine would; the result appears once it finishes.
  std::shared_ptr<std::optional<bool>> startEnsure() {
    auto result = std::make_shared<std::optional<bool>>();
    spawn(ensureInto(result));
    sim->clock().runPending();
    return result;
  }

  std::optional<std::string> stored(const std::string& scopedKey) { return sim->defaults().string(scopedKey); }

  // The permission and relaunch lines of the log, in order.
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    for (const auto& line : tempLog.messages())
      if (line.starts_with("capture-") || line.starts_with("relaunch-")) lines.push_back(line);
    return lines;
  }

  sim::ScopedSimPlatform sim;
  TempLog tempLog;
  std::shared_ptr<ScriptedAlerts> alerts = std::make_shared<ScriptedAlerts>();
  int terminations = 0;

 private:
  static Task<> ensureInto(std::shared_ptr<std::optional<bool>> result) {
    *result = co_await ScreenRecordingAccess::ensure();
  }
};

}  // namespace vistrel::testing
