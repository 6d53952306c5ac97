#pragma once
// Window-manager behaviour for the program's own floating windows (pinned
// images) that Qt's window flags do not cover.

class QWindow;

namespace vistrel::platform {

class FloatingWindows {
 public:
  virtual ~FloatingWindows() = default;
  // Shows `window` on every desktop (workspace) instead of only the current
  // one. Call after the native window exists and before it is first shown; a
  // window manager without desktops ignores it.
  virtual void keepOnAllDesktops(QWindow& window) = 0;
};

}  // namespace vistrel::platform
