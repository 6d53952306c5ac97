#pragma once
// The application delegate: the launch sequence, run once the event loop
// turns, and the termination step, run as the loop ends.

#include <memory>

#include "app/AppActions.h"
#include "platform/StatusItem.h"

namespace vistrel {

class AppDelegate {
 public:
  AppDelegate() = default;

  void applicationDidFinishLaunching();
  void applicationWillTerminate();

  AppActions& actions() { return actions_; }
  platform::StatusItem* statusItem() const { return statusItem_.get(); }

 private:
  std::unique_ptr<platform::StatusItem> statusItem_;
  AppActions actions_;
};

}  // namespace vistrel
