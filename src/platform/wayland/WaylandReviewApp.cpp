#include "platform/wayland/WaylandReviewApp.h"

namespace vistrel::wayland {

namespace {

constexpr double kWindowSeconds = 5.0;
constexpr double kPollInterval = 0.05;
constexpr double kIpcSeconds = 0.5;

}  // namespace

WaylandReviewApp::WaylandReviewApp(SwayIpc* sway, Clock& clock)
    : sway_(sway), clock_(clock), process_({"foot", "--title", "Vistrel layout review"}) {}

WaylandReviewApp::~WaylandReviewApp() { terminate(); }

std::optional<std::int32_t> WaylandReviewApp::processID() const { return process_.processID(); }

Task<std::optional<std::string>> WaylandReviewApp::openDocument() {
  if (!sway_) co_return std::string("the layout review needs sway's window access");
  if (!processID()) {
    view_ = 0;
    if (auto error = process_.start()) co_return error;
  }
  const auto pid = process_.processID().value_or(0);
  const double deadline = clock_.uptime() + kWindowSeconds;
  for (;;) {
    if (auto ended = process_.endReport()) co_return ended;
    const auto tree = sway_->tree(deadlineAfter(kIpcSeconds));
    const SwayView* shown = nullptr;
    for (const SwayView& view : tree.value ? tree.value->views : std::vector<SwayView>{}) {
      if (view.pid == pid && view.visible) {
        shown = &view;
        break;
      }
    }
    if (shown) {
      view_ = shown->id;
      if (shown->focused) co_return std::nullopt;
      sway_->command("[con_id=" + std::to_string(view_) + "] focus", deadlineAfter(kIpcSeconds));
    }
    if (clock_.uptime() >= deadline) {
      co_return process_.programName() + " did not start: no window of process " + std::to_string(pid) +
          (shown ? " became active" : " appeared") + " within 5 s";
    }
    co_await sleep(clock_, kPollInterval);
  }
}

void WaylandReviewApp::closeDocument() {
  if (view_ == 0 || !sway_) return;
  sway_->command("[con_id=" + std::to_string(view_) + "] kill", deadlineAfter(kIpcSeconds));
  view_ = 0;
}

void WaylandReviewApp::terminate() {
  view_ = 0;
  process_.terminate();
}

}  // namespace vistrel::wayland
