#pragma once
// Capture on the simulated desktop: each display shows a known picture (a
// pattern of its own unless a test sets one) with the listed windows painted
// over it, back to front, so tests can tell which pixels a capture took. A
// long page may show under the windows, scrolled by simulated wheel clicks.

#include <QImage>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/EventMonitors.h"
#include "platform/ScreenCapture.h"
#include "platform/sim/SimScreens.h"

namespace vistrel::sim {

class SimScreenCapture : public platform::ScreenCapture {
 public:
  explicit SimScreenCapture(SimScreens& screens) : screens_(screens) {}

  bool preflightAccess() const override { return allowed; }
  std::string accessSettingsHelp() const override { return accessHelp; }
  bool requestAccess() override;
  platform::CaptureResult<platform::ShareableContent> shareableContent() override;
  platform::CaptureResult<QImage> captureDisplay(std::uint32_t displayID,
                                                 const platform::CaptureConfiguration& configuration) override;
  platform::CaptureResult<QImage> captureWindow(std::uint32_t windowID,
                                                const platform::CaptureConfiguration& configuration) override;
  void beginWindowPick() override { pickPrepared = true; }
  void endWindowPick() override { pickPrepared = false; }
  bool compositorRunning() const override { return compositor; }

  // A window on the simulated desktop: what the list says of it and its pixels
  // (filled with a colour of its own when no image is given).
  struct Window {
    platform::CaptureWindow info;
    QImage image;
  };
  // Test controls. `windows` is front-most first, like the list it makes.
  std::vector<Window> windows;
  std::map<std::uint32_t, QImage> displayImages;  // by displayID, in pixels
  bool allowed = true;
  std::string accessHelp;  // what the desktop says of where it keeps the grant
  bool grantOnRequest = false;  // what the user answers to the system's dialog
  int requestCount = 0;
  bool compositor = true;
  bool pickPrepared = false;
  std::optional<std::string> failure;  // when set, every capture fails with it
  int displayCaptures = 0;

  // A document taller than the place that shows it, drawn under every window.
  struct Page {
    QImage image;  // the whole document, in display pixels
    Rect bounds;   // where it shows: window-server space (top-left origin, y down), points
    int offset = 0;  // the document row shown at the top of bounds
  };
  std::optional<Page> page;
  // Scrolls the page by `pixels` (positive: towards its end) when `point`
  // (window-server space) lies on it; it stops at either end.
  void scrollPage(Point point, int pixels);

  // The whole picture of a display: its image (or pattern) with the windows on it.
  QImage displayPicture(const platform::Screen& screen) const;

 private:
  // The display showing the page's centre; none when no display does.
  std::optional<platform::Screen> pageScreen() const;

  SimScreens& screens_;
};

// Grabs always succeed unless a test says another program holds one.
class SimEventMonitors : public platform::EventMonitors {
 public:
  bool grabInput(QWindow& window) override;
  bool grabKeyboard(QWindow& window) override;
  void releaseInput(QWindow& window) override;
  // Qt's own positions are exact on the unscaled simulated desktop.
  std::optional<QPointF> pointerEventPosition(std::uint64_t, QPointF) const override { return std::nullopt; }
  bool watchClicks(std::function<void(platform::PointerButton)> handler) override {
    clicks = std::move(handler);
    return true;
  }
  void stopWatchingClicks() override { clicks = nullptr; }
  // Test control: the running watch's handler; calling it is a click.
  std::function<void(platform::PointerButton)> clicks;
  bool refuse = false;
  QWindow* holder = nullptr;
  bool keyboardOnly = false;  // what holder holds: the keyboard alone, or the pointer too
};

}  // namespace vistrel::sim
