#include "permissions/AppRelaunch.h"

#include <QCoreApplication>

#include <string>
#include <utility>

#include "base/LayoutLog.h"
#include "base/Task.h"
#include "platform/Platform.h"

namespace vistrel::AppRelaunch {

namespace {

constexpr double kTerminateAfterOpen = 0.4;
constexpr double kTerminateAfterFallback = 0.5;

std::function<void()>& terminateOverride() {
  static std::function<void()> terminate;
  return terminate;
}

Task<> terminateAfter(double seconds) {
  co_await sleep(seconds);
  if (const auto& terminate = terminateOverride()) {
    terminate();
  } else {
    QCoreApplication::quit();
  }
}

}  // namespace

void replaceRunningInstance() {
  auto& system = platform::current();
  const std::string bundlePath = system.bundle().bundlePath();
  auto& workspace = system.workspace();

  const auto openError = workspace.openNewInstance(bundlePath);
  if (!openError) {
    LayoutLog::write("relaunch-open-ok bundle=" + bundlePath);
    spawn(terminateAfter(kTerminateAfterOpen));
    return;
  }
  LayoutLog::write("relaunch-open-failed error=" + *openError);

  if (const auto spawnError = workspace.spawnNewInstance(bundlePath)) {
    LayoutLog::write("relaunch-fallback-open-failed error=" + *spawnError);
    return;
  }
  LayoutLog::write("relaunch-fallback-open-ok");
  spawn(terminateAfter(kTerminateAfterFallback));
}

void setTerminateForTesting(std::function<void()> terminate) { terminateOverride() = std::move(terminate); }

}  // namespace vistrel::AppRelaunch
