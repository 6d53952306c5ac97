#pragma once
// A running program's name as the kernel knows it (/proc/PID/comm), for the
// windows of programs that name no class or application id.

#include <cstdint>
#include <string>

namespace vistrel::desktop {

// Empty for a pid that is not a running process.
std::string processName(std::int32_t pid);

}  // namespace vistrel::desktop
