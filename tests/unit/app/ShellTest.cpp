#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <sstream>

#include "app/BuildIdentity.h"
#include "app/LaunchAtLogin.h"
#include "base/LayoutLog.h"
#include "platform/sim/SimPlatform.h"

using namespace vistrel;

// Only the string "local" marks a local build; other text, other types and no value mean a release build.
TEST(BuildIdentity, OnlyTheStringLocal) {
  sim::ScopedSimPlatform sim;
  auto& info = sim->bundle().dictionary;
  info["VistrelBuildChannel"] = std::string("local");
  EXPECT_TRUE(BuildIdentity::isLocalDevelopment());
  info["VistrelBuildChannel"] = std::string("Local");
  EXPECT_FALSE(BuildIdentity::isLocalDevelopment());
  info["VistrelBuildChannel"] = std::string("release");
  EXPECT_FALSE(BuildIdentity::isLocalDevelopment());
  info["VistrelBuildChannel"] = std::int64_t(1);
  EXPECT_FALSE(BuildIdentity::isLocalDevelopment());
  info.erase("VistrelBuildChannel");
  EXPECT_FALSE(BuildIdentity::isLocalDevelopment());
}

// A refused login-item change logs the failure with its description and reports false.
TEST(LaunchAtLogin, FailureIsLoggedAndReported) {
  sim::ScopedSimPlatform sim;
  QTemporaryDir dir;
  const std::string log = dir.filePath("log").toStdString();
  LayoutLog::setPathForTesting(log);

  EXPECT_TRUE(LaunchAtLogin::setEnabled(true));
  EXPECT_EQ(sim->loginItems().status(), platform::LoginItemStatus::enabled);

  sim->loginItems().failure = "Permission denied";
  EXPECT_FALSE(LaunchAtLogin::setEnabled(false));
  EXPECT_EQ(sim->loginItems().status(), platform::LoginItemStatus::enabled);
  LayoutLog::setPathForTesting(LayoutLog::kPath);

  std::ifstream in(log);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_NE(s.str().find("Z launch-at-login failed enabled=false Permission denied\n"), std::string::npos) << s.str();
}
