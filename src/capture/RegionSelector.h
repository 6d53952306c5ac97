#pragma once
// Region selection: the user drags a rectangle over dimmed overlays covering
// every screen (across screens if need be) and gets it in AppKit screen
// points. Ends on mouse-up, on Return or Enter, or on a cancel gesture
// (Escape, Command or Control with ".", a right-click, a Control-click). Main
// thread only.

#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

#include "base/Continuation.h"
#include "base/Rect.h"
#include "base/Task.h"
#include "platform/KeyEvent.h"
#include "ui/InputGrab.h"
#include "ui/OverlayWindow.h"

namespace vistrel {

class RegionSession;

// The overlay of one screen; the window is its own view. It draws the part of
// the selection that lies on its screen as a clear hole in the dimming.
class RegionOverlayWindow : public overlay::OverlayWindow {
  Q_OBJECT

 public:
  RegionOverlayWindow(std::weak_ptr<RegionSession> session, platform::Screen screen, overlay::Backdrop backdrop,
                      ScreenSpace::GlobalSpace space);
  // An idle overlay for `screen` made ready for `session`, else a new one.
  static RegionOverlayWindow* make(std::weak_ptr<RegionSession> session, platform::Screen screen,
                                   overlay::Backdrop backdrop, ScreenSpace::GlobalSpace space);

  // A copy of the session's current rectangle, for drawing (AppKit points).
  Rect selectionRect;

  // `rect` (AppKit points) clipped to this window's screen, in the window's
  // coordinates; the zero rectangle when less than a point of it is on the screen.
  QRectF convertScreenRectToLocal(const Rect& rect) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::weak_ptr<RegionSession> session_;
};

// One selection from the overlays going up to the rectangle being handed over.
// The running session is kept alive by a static slot until it ends.
class RegionSession : public std::enable_shared_from_this<RegionSession> {
 public:
  static constexpr double kMinimumSide = 4;

  explicit RegionSession(Resume<Rect> continuation);

  // Makes a session the running one (cancelling one still running) and begins it.
  static void start(Resume<Rect> continuation);
  // The running session, if any.
  static RegionSession* active();

  void begin();
  // Escape and Command/Control + "." cancel; Return and keypad Enter take the
  // current rectangle. False for any other key.
  bool handleKey(const platform::KeyEvent& event);
  // Ends the selection once: overlays and grab go first, then the awaiting
  // flow gets the rectangle, or CaptureError::cancelled when cancelled or
  // narrower or lower than kMinimumSide.
  void finish(bool cancelled);
  void teardown();

  // The pointer gestures of any overlay, at AppKit points. The drag lives in
  // the session, not in one overlay: under the input grab a drag's events can
  // arrive at another screen's overlay than the one it started on.
  void mouseDown(Point point, bool controlHeld);
  void mouseDragged(Point point);
  void mouseUp(Point point);

  Rect currentRect() const { return currentRect_; }
  bool finished() const { return finished_; }
  std::vector<RegionOverlayWindow*> windows() const;

 private:
  void setCurrentRect(Rect rect);

  std::optional<Resume<Rect>> continuation_;
  std::vector<QPointer<RegionOverlayWindow>> windows_;
  Rect currentRect_;
  std::optional<Point> dragStart_;
  overlay::InputGrab grab_;
  bool finished_ = false;
};

namespace RegionSelector {

// The rectangle the user selects, in AppKit points. Throws
// CaptureException(CaptureError::cancelled) on a cancel or a too small drag.
// Without a compositing manager each display's frozen picture is handed to
// ScreenCaptureService::freezeDisplay; the caller ends the freeze
// (ScreenCaptureService::endFreeze) when it has captured what was selected.
Task<Rect> pickRegion();

}  // namespace RegionSelector

}  // namespace vistrel
