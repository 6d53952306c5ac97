#pragma once
// The one place still images are taken from the screen: which display or
// window to take, the capture configuration, and the post-processing (trim,
// flatten, crop). Rectangles are in screen points (AppKit space) unless a
// name says pixels. The async operations throw CaptureException,
// CaptureSystemError (the capture facility's own refusal) and nothing else.

#include <QColor>
#include <QImage>

#include <cstdint>
#include <optional>

#include "base/Rect.h"
#include "base/Task.h"
#include "capture/CaptureSettings.h"
#include "platform/ScreenCapture.h"
#include "platform/Screens.h"

namespace vistrel {

// What a capture takes: a whole display or one window alone.
struct ContentFilter {
  std::optional<platform::CaptureDisplay> display;
  std::optional<platform::CaptureWindow> window;
  // The content's size in points (origin 0, 0) and its pixels per point.
  Rect contentRect() const;
  double pointPixelScale() const;
};

namespace ScreenCaptureService {

platform::CaptureConfiguration makeStreamConfiguration(const ContentFilter& filter, std::optional<Rect> sourceRect);

Task<QImage> capture(platform::CaptureDisplay display, std::optional<Rect> sourceRect, bool trim);
Task<QImage> captureDisplayUnderMouse();
Task<QImage> captureRectInScreenSpace(Rect rect);
Task<QImage> captureSelected(std::uint32_t windowID, Rect cocoaFrame, WindowBackground background);
Task<QImage> captureDisplayCrop(Rect rect);

QImage crop(const QImage& image, Rect rect, const platform::Screen& screen);
QImage flattened(const QImage& image, QColor onto);
QImage croppingTransparentEdges(const QImage& image, std::uint8_t minAlpha);
std::optional<platform::Screen> displayScreenForRecording(std::optional<Rect> region);

// While a selection overlay is up without a compositing manager, the screen
// shows the overlay's frozen picture; captures of a display take that picture
// (what the user chose from) instead of the screen until the freeze ends.
void freezeDisplay(std::uint32_t displayID, QImage image);
void endFreeze();

}  // namespace ScreenCaptureService

// The capture's screen lookups (ScreenSpace.h has the rules).
namespace DisplayGeometry {
// The first screen whose frame holds the rectangle's centre, or none.
std::optional<platform::Screen> screenContaining(Rect rect);
// The first screen holding the pointer, else the main screen (none without screens).
std::optional<platform::Screen> screenUnderMouse();
}

}  // namespace vistrel
