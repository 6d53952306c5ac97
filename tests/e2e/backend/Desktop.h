#pragma once
// What the backend tests need of the desktop beyond the backend itself:
// programs started and ended by the test, the server read back through
// xwininfo and xprop (tools that share no code with the backend), and
// requests a user or another program would make.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/x11/Connection.h"  // and with it XCB
#include "support/WaitUntil.h"

namespace vistrel {
// Rectangles in test failures, as (x,y wxh).
void PrintTo(const Rect& rect, std::ostream* out);
}  // namespace vistrel

namespace vistrel::e2e {

using testing::waitUntil;

// Runs a tool to its end (10 s at most) and returns what it printed; none when it failed.
std::optional<std::string> runTool(const QString& program, const QStringList& arguments);

// _NET_CLIENT_LIST as xprop reads it.
std::vector<xcb_window_t> managedWindows();
// _NET_ACTIVE_WINDOW as xprop reads it.
std::optional<xcb_window_t> activeWindowByTool();
// xprop's text of one property: what follows " = " (none when the window lacks it).
std::optional<std::string> propertyText(xcb_window_t window, const char* property);
// The outer frame: xwininfo's absolute position and size plus _NET_FRAME_EXTENTS.
std::optional<Rect> toolFrame(xcb_window_t window);

// A program started for the test, with its first managed window; killed
// (TERM, then KILL) when the object goes.
class Program {
 public:
  // Starts the program and waits up to 10 s for a new managed window whose
  // frame the window manager has set up; none when it does not come.
  static std::unique_ptr<Program> start(const QString& program, const QStringList& arguments);
  ~Program();

  std::int32_t pid() const { return std::int32_t(process_.processId()); }
  xcb_window_t window() const { return window_; }
  // Kills the program at once (SIGKILL) and waits until it has exited.
  void kill();

 private:
  Program() = default;
  QProcess process_;
  xcb_window_t window_ = XCB_WINDOW_NONE;
};

// Requests of the test's own, on a connection of its own.
class Requests {
 public:
  Requests();
  x11::Connection& connection() { return *connection_; }
  xcb_atom_t atom(const char* name);
  // A _NET_WM_STATE change as a pager sends it (1 adds, 0 removes).
  void changeState(xcb_window_t window, std::uint32_t action, const char* first, const char* second = nullptr);
  void activate(xcb_window_t window);
  // A dock window along the bottom edge of the root window reserving `height` pixels.
  xcb_window_t createBottomDock(std::uint32_t height);
  // A top-level window that draws its own decorations: no window manager
  // frame, and shadow margins of `shadow` pixels on every side (_GTK_FRAME_EXTENTS).
  xcb_window_t createShadowedWindow(std::uint32_t shadow);
  // A plain top-level window the window manager never sees (override-redirect).
  xcb_window_t createUnmanagedWindow();
  // A panel along the top edge reserving `height` pixels, inside a frame of
  // its own that the window manager never sees nor lists (as a tiling manager
  // holds its docks). Destroying the returned frame takes the panel along.
  xcb_window_t createUnlistedTopPanel(std::uint32_t height);
  void deleteProperty(xcb_window_t window, const char* name);
  void destroy(xcb_window_t window);

 private:
  std::unique_ptr<x11::Connection> connection_;
};

}  // namespace vistrel::e2e
