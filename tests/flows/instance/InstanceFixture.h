#pragma once
// A simulated desktop whose own program runs from /opt/Vistrel/vistrel, a log
// in a temporary folder, and an alert presenter that records what it is shown.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SingleCopyGuard.h"
#include "base/LayoutLog.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel::testing {

class RecordingPresenter : public SingleCopyGuard::AlertPresenter {
 public:
  void runModal(const SingleCopyGuard::InformationalAlert& alert) override {
    shown.push_back(alert);
    if (whileShown) whileShown();
  }
  std::vector<SingleCopyGuard::InformationalAlert> shown;
  std::function<void()> whileShown;
};

class InstanceFlow : public ::testing::Test {
 protected:
  static constexpr const char* kMyPath = "/opt/Vistrel/vistrel";

  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    logPath = folder.filePath("layout.log").toStdString();
    LayoutLog::setPathForTesting(logPath);
    SingleCopyGuard::setAlertPresenterForTesting(presenter);
    sim->bundle().path = kMyPath;
  }
  void TearDown() override {
    SingleCopyGuard::setAlertPresenterForTesting(nullptr);
    LayoutLog::setPathForTesting(LayoutLog::kPath);
  }

  // Another running program with Vistrel's identifier.
  void addCopy(std::int32_t pid, std::optional<std::string> path,
               std::optional<std::string> identifier = std::string(platform::kBundleIdentifier)) {
    sim->workspace().addApplication(pid, "Vistrel", std::move(identifier), std::move(path));
  }

  // The log's messages, without their timestamps.
  std::vector<std::string> logMessages() const {
    std::ifstream file(logPath);
    std::vector<std::string> messages;
    for (std::string line; std::getline(file, line);) messages.push_back(line.substr(line.find(' ') + 1));
    return messages;
  }

  sim::ScopedSimPlatform sim;
  QTemporaryDir folder;
  std::string logPath;
  std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();
};

}  // namespace vistrel::testing
