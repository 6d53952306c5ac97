#pragma once
// The text-window program of the layout self-test on Wayland: foot by
// default (a native Wayland terminal), or the command line in
// $VISTREL_REVIEW_APP. Its window is found in sway's tree by the process id
// and focused through sway's IPC. Every run starts an instance of its own and
// ends it afterwards.

#include <memory>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "platform/ReviewApp.h"
#include "platform/linux/ReviewProcess.h"
#include "platform/wayland/SwayIpc.h"

namespace vistrel::wayland {

class WaylandReviewApp : public platform::ReviewApp {
 public:
  // `sway` may be null (another compositor): then no document can be opened.
  // Both outlive this object; the program started is ended with it.
  WaylandReviewApp(SwayIpc* sway, Clock& clock);
  ~WaylandReviewApp() override;

  std::optional<std::int32_t> runningProcess() const override { return std::nullopt; }
  // Starts the program and waits (5 s at most, without holding the main
  // thread) until sway shows a window of its process with the focus.
  Task<std::optional<std::string>> openDocument() override;
  std::optional<std::int32_t> processID() const override;
  void closeDocument() override;
  // SIGTERM, a bounded wait, then SIGKILL.
  void terminate() override;

 private:
  SwayIpc* sway_;
  Clock& clock_;
  desktop::ReviewProcess process_;
  std::int64_t view_ = 0;  // sway's con_id of the window, 0 before it is found
};

}  // namespace vistrel::wayland
