#pragma once
// The text-window program of the layout self-test: xterm by default, or the
// command line in $VISTREL_REVIEW_APP. Every run starts an instance of its
// own and ends it afterwards; none is ever reused.

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "platform/ReviewApp.h"
#include "platform/linux/ReviewProcess.h"
#include "platform/x11/Connection.h"

namespace vistrel::x11 {

class X11ReviewApp : public platform::ReviewApp {
 public:
  // Make it on the main thread; the program started is ended with it. The
  // window wait sleeps on `clock` between its checks.
  X11ReviewApp(Connection& connection, Clock& clock);
  ~X11ReviewApp() override;

  std::optional<std::int32_t> runningProcess() const override { return std::nullopt; }
  // Starts the program and waits (about 5 s at most, without holding the
  // main thread) until a window of its process is managed, viewable and active.
  Task<std::optional<std::string>> openDocument() override;
  std::optional<std::int32_t> processID() const override;
  void closeDocument() override;
  // SIGTERM, a bounded wait, then SIGKILL.
  void terminate() override;

 private:
  Task<std::optional<std::string>> waitForActiveWindow();

  Connection& connection_;
  Clock& clock_;
  desktop::ReviewProcess process_;
  xcb_window_t window_ = XCB_WINDOW_NONE;
};

}  // namespace vistrel::x11
