#pragma once
// What the selection overlays share: the per-screen overlay window with its
// frozen backdrop, the dimming and the hint pill, the reuse of idle overlays,
// and the cancel key. Main thread only.

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <vector>

#include "base/Rect.h"
#include "platform/KeyEvent.h"
#include "platform/Screens.h"
#include "ui/ScreenSpace.h"

class QMouseEvent;
class QPainter;

namespace vistrel::overlay {

// Fills `bounds` except `hole` (none when empty) with `dim`: four bands
// around the hole, the pixels of an even-odd fill at a fraction of its cost.
void dimAround(QPainter& painter, const QRectF& bounds, const QRectF& hole, const QColor& dim);

// The centred hint "`text`" on its dark pill, 48 points below the top.
void paintHint(QPainter& painter, const QSizeF& bounds, const QString& text);

// How the overlays show what lies under them: translucent over the live
// screen when a compositing manager runs and overlays sit above everything,
// else over a picture of each screen taken before any overlay appeared
// (black where that picture failed).
struct Backdrop {
  bool translucent = true;
  QImage picture;
};
// One backdrop per screen, in `screens` order.
std::vector<Backdrop> takeBackdrops(const std::vector<platform::Screen>& screens);

// A frameless window above everything else (override-redirect, so neither
// panels nor full-screen windows cover it and no window manager places it)
// covering exactly one screen; where the backend has no such windows
// (Wayland), a full-screen window on the screen's output.
class OverlayWindow : public QWidget {
  Q_OBJECT

 public:
  OverlayWindow(platform::Screen screen, Backdrop backdrop, ScreenSpace::GlobalSpace space);

  const platform::Screen& screen() const { return screen_; }
  // Shows the window and asks for the keyboard focus.
  void present();
  // Where overlays are full-screen windows, showing one puts it full screen on its screen's output.
  void setVisible(bool visible) override;
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
  void reset(platform::Screen screen, Backdrop backdrop, ScreenSpace::GlobalSpace space);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  platform::Screen screen_;
  Backdrop backdrop_;
  ScreenSpace::GlobalSpace space_;
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

// Escape, or "." with Command (Control also counts: Linux desktops take most
// Super chords for themselves).
bool isCancelKey(const platform::KeyEvent& event);

}  // namespace vistrel::overlay
