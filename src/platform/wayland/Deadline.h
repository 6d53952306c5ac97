#pragma once
// Every wait on the compositor or on sway is bounded: callers pass the moment
// by which an answer must have come.

#include <chrono>

namespace vistrel::wayland {

using Deadline = std::chrono::steady_clock::time_point;

inline Deadline deadlineAfter(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

// Whole milliseconds left until the deadline, for poll(2): 0 once it has passed.
inline int millisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? int(std::min<long long>(left.count(), 1 << 30)) : 0;
}

}  // namespace vistrel::wayland
