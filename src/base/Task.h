#pragma once
// Main-thread asynchronous flows as C++20 coroutines.
//
//   Task<int> measure() { co_await sleep(0.07); co_return 42; }
//   Task<> flow() { int v = co_await measure(); ... }
//   spawn(flow());   // starts on the next main-queue turn, runs to its end
//
// A Task is lazy: it starts when awaited (or spawned) and resumes its awaiter
// when it finishes; an exception thrown inside reaches the awaiter. A spawned
// task owns itself and frees its frame when it ends. Resumptions happen on
// the main thread, through the platform clock.

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

#include "base/Clock.h"

namespace vistrel {

template <typename T = void>
class Task;

namespace detail {

struct PromiseBase {
  std::coroutine_handle<> continuation;
  std::exception_ptr exception;
  bool detached = false;

  struct FinalAwaiter {
    bool await_ready() const noexcept { return false; }
    template <typename Promise>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> self) noexcept {
      PromiseBase& promise = self.promise();
      if (promise.detached) {
        if (promise.exception) reportDetachedFailure(promise.exception);
        self.destroy();
        return std::noop_coroutine();
      }
      return promise.continuation ? promise.continuation : std::noop_coroutine();
    }
    void await_resume() const noexcept {}
  };

  std::suspend_always initial_suspend() const noexcept { return {}; }
  FinalAwaiter final_suspend() const noexcept { return {}; }
  void unhandled_exception() noexcept { exception = std::current_exception(); }

  // A spawned task has no awaiter to take its exception: it is reported on stderr.
  static void reportDetachedFailure(std::exception_ptr exception) noexcept;
};

template <typename T>
struct Promise : PromiseBase {
  std::optional<T> value;
  Task<T> get_return_object() noexcept;
  template <typename U>
  void return_value(U&& v) { value.emplace(std::forward<U>(v)); }
  T take() {
    if (exception) std::rethrow_exception(exception);
    return std::move(*value);
  }
};

template <>
struct Promise<void> : PromiseBase {
  Task<void> get_return_object() noexcept;
  void return_void() noexcept {}
  void take() {
    if (exception) std::rethrow_exception(exception);
  }
};

}  // namespace detail

template <typename T>
class [[nodiscard]] Task {
 public:
  using promise_type = detail::Promise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  explicit Task(Handle h) : handle_(h) {}
  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, {});
    }
    return *this;
  }
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() { reset(); }

  bool valid() const { return bool(handle_); }
  bool done() const { return handle_ && handle_.done(); }

  auto operator co_await() && noexcept {
    struct Awaiter {
      Handle handle;
      bool await_ready() const noexcept { return !handle || handle.done(); }
      std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        handle.promise().continuation = awaiting;
        return handle;
      }
      T await_resume() { return handle.promise().take(); }
    };
    return Awaiter{handle_};
  }

  // Gives up ownership to the coroutine itself (see spawn).
  Handle release() { return std::exchange(handle_, {}); }

 private:
  void reset() {
    if (handle_) handle_.destroy();
    handle_ = {};
  }
  Handle handle_;
};

namespace detail {
template <typename T>
Task<T> Promise<T>::get_return_object() noexcept {
  return Task<T>{std::coroutine_handle<Promise<T>>::from_promise(*this)};
}
inline Task<void> Promise<void>::get_return_object() noexcept {
  return Task<void>{std::coroutine_handle<Promise<void>>::from_promise(*this)};
}
}  // namespace detail

// The clock of the installed platform: installing a platform installs its
// clock here (see Platform.h). Using it while none is installed aborts.
Clock& mainClock();
void installMainClock(Clock* clock);

// Starts a task on the next turn of the main queue; it runs to its end on its own.
void spawn(Task<> task);

// Suspends the awaiting flow for `seconds` on the main-queue clock.
struct SleepAwaiter {
  Clock& clock;
  double seconds;
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> awaiting) const {
    clock.after(seconds, [awaiting] { awaiting.resume(); });
  }
  void await_resume() const noexcept {}
};

inline SleepAwaiter sleep(double seconds) { return {mainClock(), seconds}; }
inline SleepAwaiter sleep(Clock& clock, double seconds) { return {clock, seconds}; }

}  // namespace vistrel
