#pragma once
// The one diagnostic log every subsystem appends to: "/tmp/vistrel-layout.log",
// one line per event, "<ISO 8601 UTC time> <message>\n", nothing buffered.

#include <string>
#include <string_view>

namespace vistrel {

namespace LayoutLog {

inline constexpr const char* kPath = "/tmp/vistrel-layout.log";

// Appends one line. Callable from any thread; failures are silent.
void write(std::string_view message);

// The file lines go to; tests point it elsewhere.
std::string path();
void setPathForTesting(std::string path);

// The timestamp of a line: ISO 8601 UTC with whole seconds and "Z".
std::string timestamp(double secondsSince1970);

}  // namespace LayoutLog

}  // namespace vistrel
