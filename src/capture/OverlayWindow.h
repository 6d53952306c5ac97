#pragma once
// What the selection overlays share: the mapping between AppKit screen space
// and Qt's global coordinates, the per-screen overlay window with its frozen
// backdrop, the hint pill, the input grab that stands in for a global key
// monitor, and the translation of Qt key events. Main thread only.

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/KeyEvent.h"
#include "platform/Rect.h"
#include "platform/Screens.h"

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QWindow;

namespace vistrel::overlay {

// How Qt scales one screen: its logical coordinates are the screen's points
// divided by `ratio` about `origin`, the screen's top-left corner (a scaled
// screen keeps its top-left where it is and shrinks).
struct QtScale {
  QPointF origin;  // unscaled global coordinates
  // Points per logical unit: the QScreen's device pixel ratio over the
  // Screen's own scale. X11 counts device pixels as points (scale 1), so
  // Xft.dpi, QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS set it; where points
  // are the desktop's logical pixels, as Qt's are, it is 1.
  double ratio = 1;
  friend bool operator==(const QtScale&, const QtScale&) = default;
};

// The one crossing between the product's screen space and Qt's global
// coordinates. AppKit space has its origin at the primary's bottom-left, y
// up; Qt's global coordinates are y down from the top-left of the box holding
// every screen, each screen's points divided by its ratio. Points going into
// the product land on whole points, so a selection takes exactly the pixels
// dragged over.
class GlobalSpace {
 public:
  // Each screen scaled as the QScreen showing it; a screen that Qt does not
  // list (a Xinerama head) as the primary QScreen, which is where Qt puts
  // windows outside its screens.
  explicit GlobalSpace(const std::vector<platform::Screen>& screens);
  // `scales[i]` for `screens[i]`.
  GlobalSpace(const std::vector<platform::Screen>& screens, std::vector<QtScale> scales);

  QPointF toGlobal(Point appKit) const;
  Point fromGlobal(QPointF global) const;
  // Qt's global coordinates unscaled: screen points, y down from the top-left
  // of the box holding every screen (X root pixels on X11).
  QPointF toUnscaled(QPointF global) const;
  // To the whole point.
  Point fromUnscaled(QPointF unscaled) const;
  // By the scale of the screen holding the rectangle's centre.
  QRectF toGlobal(const Rect& appKit) const;
  // `appKit` in the coordinates of a view covering the screen of
  // `screenFrame` (origin top-left, y down, that screen's logical units),
  // without clipping.
  QRectF toLocal(const Rect& appKit, const Rect& screenFrame) const;
  // Points per logical unit on the screen holding `appKit` (the nearest
  // screen's when none does).
  double ratioAt(Point appKit) const;

 private:
  struct Mapped {
    Rect frame;       // AppKit
    QRectF unscaled;  // Qt's global coordinates unscaled
    QRectF logical;   // Qt's global coordinates
    QtScale scale;
  };
  const Mapped* holdingUnscaled(QPointF unscaled) const;
  const Mapped* holdingGlobal(QPointF global) const;
  QPointF unscaledOf(Point appKit) const { return {appKit.x - left_, top_ - appKit.y}; }

  double left_ = 0;  // AppKit x of unscaled x 0
  double top_ = 0;   // AppKit y of unscaled y 0
  std::vector<Mapped> screens_;
};

// A rectangle given with a bottom-left origin in a view of `height` as the
// same rectangle with Qt's top-left origin.
QRectF flipped(const Rect& bottomUp, double height);

// Fills `bounds` except `hole` (none when empty) with `dim`: four bands
// around the hole, the pixels of an even-odd fill at a fraction of its cost.
void dimAround(QPainter& painter, const QRectF& bounds, const QRectF& hole, const QColor& dim);

// The centred hint "`text`" on its dark pill, 48 points below the top.
void paintHint(QPainter& painter, const QSizeF& bounds, const QString& text);

// How the overlays show what lies under them: translucent over the live
// screen when a compositing manager runs, else over a picture of each screen
// taken before any overlay appeared (black where that picture failed).
struct Backdrop {
  bool translucent = true;
  QImage picture;
};
// One backdrop per screen, in `screens` order.
std::vector<Backdrop> takeBackdrops(const std::vector<platform::Screen>& screens);

// A frameless window above everything else (override-redirect, so neither
// panels nor full-screen windows cover it and no window manager places it)
// covering exactly one screen.
class OverlayWindow : public QWidget {
  Q_OBJECT

 public:
  OverlayWindow(platform::Screen screen, Backdrop backdrop, GlobalSpace space);

  const platform::Screen& screen() const { return screen_; }
  // Shows the window and asks for the keyboard focus.
  void present();
  // Takes the window off the screen; it stays, hidden, for the next selection.
  void dismiss();
  // Whether a dismissed window can serve a new selection on `screen`.
  bool fits(const platform::Screen& screen, const Backdrop& backdrop) const;

 protected:
  // Where a pointer event happened, in AppKit points, to the whole point.
  // Under the input grab events of every overlay may reach one window, at
  // positions outside it.
  Point screenPoint(const QMouseEvent& event) const;
  // `appKit` in this window's coordinates, without clipping.
  QRectF localRect(const Rect& appKit) const { return space_.toLocal(appKit, screen_.frame); }
  // The frozen picture over the whole window, one of its pixels on one device pixel.
  void paintBackdrop(QPainter& painter);
  // Takes up a new selection's screen picture.
  void reset(platform::Screen screen, Backdrop backdrop, GlobalSpace space);

 private:
  platform::Screen screen_;
  Backdrop backdrop_;
  GlobalSpace space_;
};

// The overlays of a selection that still exist.
template <class Window>
std::vector<Window*> liveWindows(const std::vector<QPointer<Window>>& windows) {
  std::vector<Window*> out;
  for (const auto& window : windows) {
    if (window) out.push_back(window.data());
  }
  return out;
}

// Overlays of one kind that are off the screen. A selection takes them up
// again: a screen-sized window made anew costs more than the capture itself
// (its whole backing store has to be allocated and sent to the server).
template <class Window>
std::vector<QPointer<Window>>& idleOverlays() {
  static std::vector<QPointer<Window>> idle;
  return idle;
}

// An idle overlay that fits `screen`, taken out of the idle list; none when
// there is none.
template <class Window>
Window* takeIdleOverlay(const platform::Screen& screen, const Backdrop& backdrop) {
  auto& idle = idleOverlays<Window>();
  for (auto it = idle.begin(); it != idle.end(); ++it) {
    if (*it && (*it)->fits(screen, backdrop)) {
      Window* window = it->data();
      idle.erase(it);
      return window;
    }
  }
  return nullptr;
}

// Takes every overlay of a selection off the screen and keeps it idle.
template <class Window>
void dismissAll(std::vector<QPointer<Window>>& windows) {
  for (const auto& window : windows) {
    if (!window) continue;
    window->dismiss();
    idleOverlays<Window>().push_back(window);
  }
  windows.clear();
}

// The keyboard and the pointer held for a selection, so keys typed while
// another program had the focus still reach it. A freshly shown window may
// not be grabbable yet: the grab is retried every 0.02 s for 0.5 s; when it
// never succeeds, "capture-grab-failed" is logged and `onFailure` runs once.
class InputGrab {
 public:
  static constexpr double kRetrySeconds = 0.02;
  static constexpr int kAttempts = 26;

  void start(QWindow* window, std::function<void()> onFailure);
  // Lets go of the input and stops pending retries; safe to call twice.
  // Not done on destruction: a session destroyed at exit outlives the platform.
  void release();

 private:
  struct State {
    QPointer<QWindow> window;
    std::function<void()> onFailure;
    bool held = false;
  };
  static void attempt(const std::weak_ptr<State>& weak, int step);
  std::shared_ptr<State> state_;
};

// Carbon key code for a key without one.
inline constexpr std::uint16_t kNoKeyCode = 0xFFFF;

// A Qt key press as the product's key event: Super is Command, Control is
// Control, Alt is Option.
platform::KeyEvent keyEventFrom(const QKeyEvent& event);

// Escape, or "." with Command (Control also counts: Linux desktops take most
// Super chords for themselves).
bool isCancelKey(const platform::KeyEvent& event);

}  // namespace vistrel::overlay
