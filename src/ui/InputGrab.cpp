#include "ui/InputGrab.h"

#include <utility>

#include "base/LayoutLog.h"
#include "platform/Platform.h"

namespace vistrel::overlay {

void InputGrab::start(QWindow* window, std::function<void()> onFailure) {
  release();
  state_ = std::make_shared<State>();
  state_->window = window;
  state_->onFailure = std::move(onFailure);
  attempt(state_, 0);
}

void InputGrab::release() {
  if (!state_) return;
  if (state_->held && state_->window) platform::current().eventMonitors().releaseInput(*state_->window);
  state_.reset();
}

void InputGrab::attempt(const std::weak_ptr<State>& weak, int step) {
  const auto state = weak.lock();
  if (!state) return;
  if (state->window && platform::current().eventMonitors().grabInput(*state->window)) {
    state->held = true;
    return;
  }
  if (step + 1 < kAttempts) {
    platform::current().clock().after(kRetrySeconds, [weak, step] { attempt(weak, step + 1); });
    return;
  }
  LayoutLog::write("capture-grab-failed");
  if (auto failed = std::exchange(state->onFailure, nullptr)) failed();
}

}  // namespace vistrel::overlay
