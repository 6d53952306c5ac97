#pragma once
// Replaces the running program with a fresh copy of the same file: the way a
// permission granted to the file after an update starts to apply.

#include <functional>

namespace vistrel::AppRelaunch {

// On the main thread: starts a new copy of our own file ("relaunch-open-ok"),
// or, when that is refused, by the second route ("relaunch-fallback-open-ok"),
// and ends this copy shortly afterwards so the new one has started first.
// When neither route starts it, this copy keeps running and the log says why.
void replaceRunningInstance();

// Replaces how the program ends (QCoreApplication::quit, which runs the
// termination step); none puts that back.
void setTerminateForTesting(std::function<void()> terminate);

}  // namespace vistrel::AppRelaunch
