#include "platform/x11/X11ReviewApp.h"

#include <algorithm>

#include "platform/x11/Clients.h"
#include "platform/x11/WmRequests.h"

namespace vistrel::x11 {

namespace {

constexpr double kWindowSeconds = 5.0;
// How often activation is asked for again while the window manager has not
// granted it (a window may be mapped before it can take the focus).
constexpr double kActivationInterval = 0.25;
constexpr double kPollInterval = 0.05;
// The window manager's list of supported hints: one reply, read before the first poll.
constexpr double kHintsSeconds = 0.5;

}  // namespace

X11ReviewApp::X11ReviewApp(Connection& connection, Clock& clock)
    : connection_(connection), clock_(clock), process_({"xterm", "-T", "Vistrel layout review"}) {}

X11ReviewApp::~X11ReviewApp() { terminate(); }

std::optional<std::int32_t> X11ReviewApp::processID() const { return process_.processID(); }

Task<std::optional<std::string>> X11ReviewApp::openDocument() {
  if (!processID()) {
    window_ = XCB_WINDOW_NONE;
    if (auto error = process_.start()) co_return error;
  }
  co_return co_await waitForActiveWindow();
}

Task<std::optional<std::string>> X11ReviewApp::waitForActiveWindow() {
  const auto pid = process_.processID().value_or(0);
  const double deadline = clock_.uptime() + kWindowSeconds;
  double nextActivation = clock_.uptime();
  connection_.drainEvents();
  const auto hints = supportedHints(connection_, deadlineAfter(kHintsSeconds));
  const bool handlesRestack = hints.value && std::find(hints.value->begin(), hints.value->end(),
                                                       connection_.atoms().netRestackWindow) != hints.value->end();
  for (;;) {
    if (auto ended = process_.endReport()) co_return ended;
    // Each read is bounded by one poll interval; between polls the main thread is free.
    const Deadline step = deadlineAfter(kPollInterval);
    const auto windows = windowsOf(connection_, pid, step);
    std::optional<xcb_window_t> shown;
    for (const xcb_window_t window : windows.value.value_or(std::vector<xcb_window_t>{})) {
      const auto facts = readWindow(connection_, window, step);
      if (facts.value && facts.value->viewable) {
        shown = window;
        break;
      }
    }
    if (shown) {
      window_ = *shown;
      const auto active = activeWindow(connection_, step);
      if (active.value == *shown) co_return std::nullopt;
      if (clock_.uptime() >= nextActivation && active.value) {
        wm::activateAndRaise(connection_, *shown, *active.value, handlesRestack);
        connection_.flush();
        nextActivation = clock_.uptime() + kActivationInterval;
      }
    }
    if (clock_.uptime() >= deadline) {
      co_return process_.programName() + " did not start: no window of process " + std::to_string(pid) +
          (shown ? " became active" : " appeared") + " within 5 s";
    }
    co_await sleep(clock_, kPollInterval);
  }
}

void X11ReviewApp::closeDocument() {
  if (window_ == XCB_WINDOW_NONE) return;
  wm::close(connection_, window_);
  connection_.flush();
  window_ = XCB_WINDOW_NONE;
}

void X11ReviewApp::terminate() {
  window_ = XCB_WINDOW_NONE;
  process_.terminate();
}

}  // namespace vistrel::x11
