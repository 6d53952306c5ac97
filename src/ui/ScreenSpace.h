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

// Qt's global coordinates are X root coordinates: y down, origin at the
// top-left of the box holding every display. AppKit space has its origin at
// the primary's bottom-left, y up; the two differ by a flip and the offset of
// that box, which is not the primary when a display lies left of or above it.
class GlobalSpace {
 public:
  explicit GlobalSpace(const std::vector<platform::Screen>& screens);
  QPointF toGlobal(Point appKit) const;
  Point fromGlobal(QPointF global) const;
  QRectF toGlobal(const Rect& appKit) const;

 private:
  double left_ = 0;  // AppKit x of global x 0
  double top_ = 0;   // AppKit y of global y 0
};

// A rectangle in AppKit points as a rectangle of the view covering the
// display framed by `screenFrame` (origin top-left, y down), without clipping.
QRectF localRect(const Rect& appKit, const Rect& screenFrame);

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
