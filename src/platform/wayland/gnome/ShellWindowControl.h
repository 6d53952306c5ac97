#pragma once
// The client side of Vistrel's GNOME Shell extension
// (data/gnome-shell-extension/, windowControl.js): interface
// app.vistrel.WindowControl at /app/vistrel/Shell on GNOME Shell's bus name.
// GNOME lets no client move other programs' windows; the extension runs
// inside the Shell and does it for us. Frames are in accessibility space.
//
// Every call is bounded; an extension that is not installed or not enabled
// answers nothing (UnknownObject), which reads as unavailable. Main thread.

#include <QDBusConnection>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "platform/ScreenCapture.h"

namespace vistrel::gnome {

inline constexpr const char* kExtensionUUID = "vistrel@vistrel.app";

struct ShellWindow {
  std::uint64_t id = 0;  // Meta.Window id; never 0
  std::int32_t pid = 0;  // 0 when unknown
  std::string wmClass;
  std::string title;
  Rect frame;
  bool minimized = false;
  bool fullScreen = false;
  friend bool operator==(const ShellWindow&, const ShellWindow&) = default;
};

// The windows as capture lists them (PortalScreenCapture's window lister):
// those not minimized, front-most first, at layer 0.
std::vector<platform::CaptureWindow> captureWindows(const std::vector<ShellWindow>& windows);

class ShellWindowControl {
 public:
  explicit ShellWindowControl(QDBusConnection bus);

  // Whether the extension answers now.
  bool available() const;
  // The focused window's id, 0 when none; none when the extension did not answer.
  std::optional<std::uint64_t> focusedWindow(double timeoutSeconds) const;
  // Normal windows and dialogs, front-most first; none when the extension did not answer.
  std::optional<std::vector<ShellWindow>> windows(double timeoutSeconds) const;
  // Requests: the Shell applies them on its next frame. False when the
  // window is gone; none when the extension did not answer.
  // A move keeps the size the window is about to have; a resize keeps its top-left corner.
  std::optional<bool> move(std::uint64_t id, Point topLeft, double timeoutSeconds);
  std::optional<bool> resize(std::uint64_t id, Size size, double timeoutSeconds);
  std::optional<bool> activate(std::uint64_t id, double timeoutSeconds);

 private:
  QDBusConnection bus_;
};

}  // namespace vistrel::gnome
