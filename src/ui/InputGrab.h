#pragma once
// The keyboard and the pointer held for a selection, so keys typed while
// another program had the focus still reach it: what stands in for a global
// key monitor. A freshly shown window may not be grabbable yet: the grab is
// retried every 0.02 s for 0.5 s; when it never succeeds, "capture-grab-failed"
// is logged and `onFailure` runs once. Main thread only.

#include <QPointer>
#include <QWindow>

#include <functional>
#include <memory>

namespace vistrel::overlay {

class InputGrab {
 public:
  static constexpr double kRetrySeconds = 0.02;
  static constexpr int kAttempts = 26;

  void start(QWindow* window, std::function<void()> onFailure);
  // Lets go of the input and stops pending retries; safe to call twice.
  // Not done on destruction: a session destroyed at exit outlives the platform.
  void release();

 private:
  struct State {
    QPointer<QWindow> window;
    std::function<void()> onFailure;
    bool held = false;
  };
  static void attempt(const std::weak_ptr<State>& weak, int step);
  std::shared_ptr<State> state_;
};

}  // namespace vistrel::overlay
