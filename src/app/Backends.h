#pragma once
// The one table that picks the platform backend: by name (--platform), else
// by the session the program was started in, never the simulated desktop on
// its own. A backend this program does not carry says why, in one line.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vistrel::Backends {

// The exit status of a start on a backend this program does not carry.
inline constexpr int kUnavailableExitStatus = 3;

struct Backend {
  const char* name;
  // Why this program cannot run on it; none when it can.
  const char* unavailable;
  // The environment variable naming its display, for the start line.
  const char* displayVariable;
  // Qt's platform plugin for it.
  const char* qtPlatform;
  // Whether its display can be opened, before the QApplication exists (Qt
  // aborts on a display it cannot open): the one-line error when not.
  std::optional<std::string> (*checkDisplay)();
  // The backend, once the QApplication exists; none, with `error` set, when
  // its connection to the display cannot be made.
  std::unique_ptr<platform::Platform> (*make)(std::string& error);
  // From then until the application quits, ends the program at once when the
  // display server goes away: `withdraw` first (it removes the files this
  // copy published for others), then one line on stderr naming the display,
  // exit status 1. Null where the toolkit's own ending is all there is.
  void (*watchDisplayLoss)(std::function<void()> withdraw) = nullptr;
};

// The backend called `name`; none for a name the table does not hold.
const Backend* named(std::string_view name);

// What the session says, from its environment variables (null when unset).
struct Session {
  const char* display = nullptr;         // DISPLAY
  const char* waylandDisplay = nullptr;  // WAYLAND_DISPLAY
  const char* sessionType = nullptr;     // XDG_SESSION_TYPE
};
Session sessionFromEnvironment();

// Wayland when the session has a Wayland display and no X display, or says
// it is a Wayland session; X11 otherwise.
const Backend& forSession(const Session& session);

// "x11|wayland|sim", for the usage text.
std::string names();

}  // namespace vistrel::Backends
