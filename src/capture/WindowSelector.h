#pragma once
// Window picking: lightly dimmed overlays cover every screen, the window under
// the pointer shows through a rounded hole with its title, and a click hands
// it over. The candidates are listed once, when the pick starts. Main thread
// only.

#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Continuation.h"
#include "base/Rect.h"
#include "base/Task.h"
#include "capture/SelectedWindow.h"
#include "platform/KeyEvent.h"
#include "ui/InputGrab.h"
#include "ui/OverlayWindow.h"

namespace vistrel {

class WindowPickSession;

// The overlay of one screen; the window is its own view.
class WindowPickOverlay : public overlay::OverlayWindow {
  Q_OBJECT

 public:
  WindowPickOverlay(std::weak_ptr<WindowPickSession> session, platform::Screen screen, overlay::Backdrop backdrop,
                    ScreenSpace::GlobalSpace space);
  // An idle overlay for `screen` made ready for `session`, else a new one.
  static WindowPickOverlay* make(std::weak_ptr<WindowPickSession> session, platform::Screen screen,
                                 overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space);

  // A copy of the session's highlight, for drawing.
  std::optional<SelectedWindow> highlight;
  // Whether this overlay carries the highlight's title label: one screen does,
  // even when the window spans several.
  bool showsLabel = false;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::weak_ptr<WindowPickSession> session_;
};

// One pick from the overlays going up to the window being handed over. The
// running session is kept alive by a static slot until it ends.
class WindowPickSession : public std::enable_shared_from_this<WindowPickSession> {
 public:
  WindowPickSession(std::vector<SelectedWindow> windows, Resume<SelectedWindow> continuation);

  // Makes a session the running one (cancelling one still running) and begins it.
  static void start(std::vector<SelectedWindow> windows, Resume<SelectedWindow> continuation);
  // The running session, if any.
  static WindowPickSession* active();

  void begin();
  // Highlights the front-most candidate containing `point` (AppKit points).
  void hover(Point point);
  // Escape and Command/Control + "." cancel; false for any other key.
  bool handleKey(const platform::KeyEvent& event);
  // Ends the pick once: overlays and grab go first, then the awaiting flow
  // gets the highlighted window, or CaptureError::cancelled.
  void finish(bool cancelled);
  void teardown();

  const std::vector<SelectedWindow>& windows() const { return windows_; }
  const std::optional<SelectedWindow>& highlight() const { return highlight_; }
  bool finished() const { return finished_; }
  std::vector<WindowPickOverlay*> overlays() const;

 private:
  std::vector<SelectedWindow> windows_;
  std::optional<Resume<SelectedWindow>> continuation_;
  std::vector<QPointer<WindowPickOverlay>> overlays_;
  std::optional<SelectedWindow> highlight_;
  overlay::InputGrab grab_;
  bool finished_ = false;
};

// Where a highlighted window's title label goes, in the coordinates of a view
// whose origin is its bottom-left corner: the dark pill and the text inside.
struct TitleLabelPlacement {
  Rect pill;
  Rect text;
  friend bool operator==(const TitleLabelPlacement&, const TitleLabelPlacement&) = default;
};

namespace WindowSelector {

// The window the user clicks. Throws CaptureException(CaptureError::cancelled)
// on a cancel gesture. Starts a window pick on the capture facility
// (beginWindowPick) and leaves it running, so the picked window can still be
// captured: the caller calls endWindowPick() after capturing, or when this throws.
Task<SelectedWindow> pick();

// The windows a pick offers, front-most first: ordinary windows of other
// programs, larger than 80 points each way, on some screen, with frames in
// AppKit points and titles "owner — title" (or "Window").
std::vector<SelectedWindow> onScreenWindows();

// The label above the highlighted rectangle `highlight`, or below it when
// there is no room above; `text` is the title's size, `bounds` the view's.
TitleLabelPlacement titleLabelPlacement(const Rect& highlight, Size text, Size bounds);

}  // namespace WindowSelector

}  // namespace vistrel
