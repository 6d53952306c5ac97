#pragma once
// A callback's result as an awaited value: the bridge from event handlers and
// completion callbacks into a flow.
//
//   auto [result, resume] = makeContinuation<Rect>();
//   startSelection(resume);         // keeps `resume`, calls it once later
//   Rect rect = co_await result;    // or throws what was resumed with
//
// The first resume wins; later ones are ignored, so every path of a session
// may call it. The waiting flow continues on the next turn of the main queue,
// never inside the caller of resume.

#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include "base/Task.h"

namespace vistrel {

namespace detail {
template <typename T>
struct ContinuationState {
  std::variant<std::monostate, T, std::exception_ptr> outcome;
  std::coroutine_handle<> waiter;
  bool resumed = false;
};
}  // namespace detail

template <typename T>
class Resume {
 public:
  explicit Resume(std::shared_ptr<detail::ContinuationState<T>> state) : state_(std::move(state)) {}
  // False when the continuation was resumed already.
  bool returning(T value) { return finish([&] { state_->outcome.template emplace<1>(std::move(value)); }); }
  bool throwing(std::exception_ptr error) { return finish([&] { state_->outcome.template emplace<2>(error); }); }
  template <typename E>
  bool throwing(E error) { return throwing(std::make_exception_ptr(std::move(error))); }
  bool isResumed() const { return state_->resumed; }

 private:
  template <typename F>
  bool finish(F set) {
    if (state_->resumed) return false;
    state_->resumed = true;
    set();
    if (auto waiter = std::exchange(state_->waiter, {})) {
      mainClock().after(0, [waiter] { waiter.resume(); });
    }
    return true;
  }
  std::shared_ptr<detail::ContinuationState<T>> state_;
};

template <typename T>
class Awaited {
 public:
  explicit Awaited(std::shared_ptr<detail::ContinuationState<T>> state) : state_(std::move(state)) {}
  bool await_ready() const noexcept { return state_->resumed; }
  void await_suspend(std::coroutine_handle<> waiter) { state_->waiter = waiter; }
  T await_resume() {
    if (auto* error = std::get_if<2>(&state_->outcome)) std::rethrow_exception(*error);
    return std::move(std::get<1>(state_->outcome));
  }

 private:
  std::shared_ptr<detail::ContinuationState<T>> state_;
};

template <typename T>
std::pair<Awaited<T>, Resume<T>> makeContinuation() {
  auto state = std::make_shared<detail::ContinuationState<T>>();
  return {Awaited<T>(state), Resume<T>(state)};
}

}  // namespace vistrel
