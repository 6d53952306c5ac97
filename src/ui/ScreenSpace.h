#pragma once
// The screen spaces and the conversions between them, in one place.
//
//   AppKit space          screens, the pointer, selections and layout geometry:
//                         origin at the primary display's bottom-left, y up
//   accessibility space   window frames at the window-access boundary, window-server
//                         bounds and synthetic events: origin at the primary
//                         display's top-left, y down
//   Qt's global space     where our own windows are placed: the X root space,
//                         origin at the top-left of the box holding every display
//   picture pixels        captured images: origin top-left, y down
//
// The first two differ by one flip around the primary display's top: y' =
// top - y - height, the same formula both ways. Everything asks the installed
// platform's screens at each call unless it is given them. Main thread only.

#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

#include "base/Rect.h"
#include "platform/Screens.h"

namespace vistrel {

namespace ScreenSpace {

// The top of the primary display in AppKit space: the maxY of the first
// display whose origin lies within half a point of (0, 0), else of the main
// display, else 0.
double primaryTop();

// Between AppKit and accessibility space, around `top` (the primary display's top).
Rect flipped(const Rect& rect, double top);
Point flipped(Point point, double top);

// The two ways of saying which display holds a rectangle (AppKit space):
// the display holding the largest part of it (more than one square point),
// else the one holding its centre, else the main display; what layout asks.
std::optional<platform::Screen> screenWithMostOf(const Rect& rect);
// The first display whose frame holds the rectangle's centre, or none; what capture asks.
std::optional<platform::Screen> screenAtCentreOf(const Rect& rect);
// The first display holding the pointer, else the main one (none without displays).
std::optional<platform::Screen> screenUnderMouse();

// The pixel rectangle of `points` (AppKit space, inside the display framed by
// `screenFrame`) in a picture of that display `pictureWidth` x
// `pictureHeight` pixels large: whole pixels, clipped to the picture; the
// null rectangle when nothing of it is in the picture.
Rect pixelRect(const Rect& points, const Rect& screenFrame, double pictureWidth, double pictureHeight);

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
QRectF viewRect(const Rect& bottomUp, double height);

}  // namespace ScreenSpace

// How the editor relates picture pixels to screen points.
namespace EditorDisplayMath {

// Pixels per point of the display a shot came from.
struct PixelScale {
  double x = 1;
  double y = 1;
  friend bool operator==(const PixelScale&, const PixelScale&) = default;
};

// The scale of the screen whose size best explains a picture of
// `imageWidth` x `imageHeight` pixels; a whole-number guess when no screen does.
PixelScale pixelScaleForEditor(double imageWidth, double imageHeight, const std::vector<Rect>& screens);

}  // namespace EditorDisplayMath

}  // namespace vistrel
