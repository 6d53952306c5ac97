#include "capture/ScreenCaptureService.h"

#include <QPainter>

#include <cmath>
#include <limits>
#include <map>

#include "capture/CaptureError.h"
#include "platform/Platform.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

Rect ContentFilter::contentRect() const {
  if (display) return {0, 0, display->frame.width(), display->frame.height()};
  if (window) return {0, 0, window->bounds.width(), window->bounds.height()};
  return {};
}

double ContentFilter::pointPixelScale() const { return display ? display->scale : 1.0; }

namespace DisplayGeometry {

std::optional<platform::Screen> screenContaining(Rect rect) { return ScreenSpace::screenAtCentreOf(rect); }

std::optional<platform::Screen> screenUnderMouse() { return ScreenSpace::screenUnderMouse(); }

}  // namespace DisplayGeometry

namespace ScreenCaptureService {

namespace {

std::map<std::uint32_t, QImage>& frozenDisplays() {
  static std::map<std::uint32_t, QImage> images;
  return images;
}

template <class T>
T valueOrThrow(platform::CaptureResult<T> result) {
  if (auto* fault = std::get_if<platform::CaptureFault>(&result)) throw CaptureSystemError(fault->description);
  return std::move(std::get<T>(result));
}

// Even, and at least 2: the capture's output sizes.
int evenSize(double value) {
  long v = std::lround(value);
  if (v < 3) v = 2;
  return int(v - v % 2);
}

double atLeastOne(double divisor) { return divisor <= 1 ? 1 : divisor; }

// The pixel rectangle of `r` (screen points, inside `screen`) in a picture of that screen.
QRect pixelRect(const QImage& image, const Rect& r, const platform::Screen& screen) {
  const Rect pixels = ScreenSpace::pixelRect(r, screen.frame, image.width(), image.height());
  if (pixels.isNull()) return {};
  return QRect(int(pixels.minX()), int(pixels.minY()), int(pixels.width()), int(pixels.height()));
}

std::optional<platform::CaptureDisplay> displayWithID(const platform::ShareableContent& content, std::uint32_t id) {
  for (const auto& display : content.displays) {
    if (display.displayID == id) return display;
  }
  return std::nullopt;
}

// Window-server bounds (top-left origin, y down) in screen points.
Rect cocoaBounds(const Rect& bounds) { return ScreenSpace::flipped(bounds, ScreenSpace::primaryTop()); }

// A window's picture as the screen shows it: where the picture is not opaque
// (rounded corners, soft edges) the screen's own pixels show, which hold
// what lies behind. `frame` is the window's frame in screen points. Parts off
// the screen holding the frame's centre, and a picture of another scale than
// that screen's, stay as they are.
QImage onTheScreen(const QImage& window, const Rect& frame) {
  if (!window.hasAlphaChannel()) return window;
  const auto screen = DisplayGeometry::screenContaining(frame);
  if (!screen) return window;
  auto& system = platform::current().screenCapture();
  const auto content = system.shareableContent();
  const auto* listed = std::get_if<platform::ShareableContent>(&content);
  const auto display = listed ? displayWithID(*listed, screen->displayID) : std::nullopt;
  if (!display) return window;
  auto configuration = makeStreamConfiguration(ContentFilter{.display = display}, std::nullopt);
  configuration.showsCursor = false;
  auto captured = system.captureDisplay(display->displayID, configuration);
  const QImage* desktop = std::get_if<QImage>(&captured);
  if (!desktop || desktop->isNull()) return window;
  const double scale = desktop->width() / atLeastOne(screen->frame.width());
  if (std::lround(frame.width() * scale) != window.width() || std::lround(frame.height() * scale) != window.height()) {
    return window;
  }
  const Rect shown = frame.intersection(screen->frame);
  const QRect source = pixelRect(*desktop, shown, *screen);
  const QPoint at(int(std::lround((shown.minX() - frame.minX()) * scale)),
                  int(std::lround((frame.maxY() - shown.maxY()) * scale)));
  QImage result = window.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage screenPixels = desktop->convertToFormat(QImage::Format_RGB32);
  const QRect target = QRect(at, source.size()) & result.rect();
  for (int y = target.top(); y <= target.bottom(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
    const auto* from = reinterpret_cast<const QRgb*>(screenPixels.constScanLine(source.y() + y - at.y()));
    for (int x = target.left(); x <= target.right(); ++x) {
      if (qAlpha(row[x]) < 255) row[x] = from[source.x() + x - at.x()] | 0xff000000u;
    }
  }
  return target == result.rect() ? result.convertToFormat(QImage::Format_RGB32) : result;
}

}  // namespace

platform::CaptureConfiguration makeStreamConfiguration(const ContentFilter& filter, std::optional<Rect> sourceRect) {
  platform::CaptureConfiguration configuration;
  configuration.showsCursor = true;
  const double s = filter.pointPixelScale();
  double width = 0;
  double height = 0;
  if (sourceRect && sourceRect->width() > 2 && sourceRect->height() > 2) {
    configuration.sourceRect = sourceRect;
    width = sourceRect->width() * s;
    height = sourceRect->height() * s;
  } else {
    width = filter.contentRect().width() * s;
    height = filter.contentRect().height() * s;
  }
  configuration.width = evenSize(width);
  configuration.height = evenSize(height);
  return configuration;
}

Task<QImage> capture(platform::CaptureDisplay display, std::optional<Rect> sourceRect, bool trim) {
  const auto configuration = makeStreamConfiguration(ContentFilter{.display = display}, sourceRect);
  QImage image;
  const auto frozen = frozenDisplays().find(display.displayID);
  if (frozen != frozenDisplays().end() && !configuration.sourceRect) {
    image = frozen->second;
  } else {
    image = valueOrThrow(platform::current().screenCapture().captureDisplay(display.displayID, configuration));
  }
  co_return trim ? croppingTransparentEdges(image, 12) : image;
}

Task<QImage> captureDisplayUnderMouse() {
  const auto screen = DisplayGeometry::screenUnderMouse();
  const std::optional<std::uint32_t> target = screen ? std::optional(screen->displayID) : std::nullopt;
  const auto content = valueOrThrow(platform::current().screenCapture().shareableContent());
  if (content.displays.empty()) throw CaptureException(CaptureError::noDisplay);
  // The primary display stands for the system's main display.
  auto display = target ? displayWithID(content, *target) : std::nullopt;
  if (!display) display = content.displays.front();
  const QImage image = co_await capture(*display, std::nullopt, false);
  co_return flattened(image, Qt::white);
}

Task<QImage> captureRectInScreenSpace(Rect rect) {
  const auto content = valueOrThrow(platform::current().screenCapture().shareableContent());
  const auto screen = DisplayGeometry::screenContaining(rect);
  if (!screen) throw CaptureException(CaptureError::noDisplay);
  const auto display = displayWithID(content, screen->displayID);
  if (!display) throw CaptureException(CaptureError::noDisplay);
  const QImage image = co_await capture(*display, std::nullopt, false);
  co_return crop(image, rect, *screen);
}

Task<QImage> captureSelected(std::uint32_t windowID, Rect cocoaFrame, WindowBackground background) {
  auto& system = platform::current().screenCapture();
  const auto content = valueOrThrow(system.shareableContent());
  std::optional<platform::CaptureWindow> window;
  for (const auto& candidate : content.windows) {
    if (candidate.windowID == windowID) {
      window = candidate;
      break;
    }
  }
  if (!window) {
    if (content.windows.empty()) co_return co_await captureDisplayCrop(cocoaFrame);
    // The window is gone: the one now nearest to where it was.
    double nearest = std::numeric_limits<double>::infinity();
    for (const auto& candidate : content.windows) {
      const Rect frame = cocoaBounds(candidate.bounds);
      const double distance = std::hypot(frame.midX() - cocoaFrame.midX(), frame.midY() - cocoaFrame.midY());
      if (distance < nearest) {
        nearest = distance;
        window = candidate;
      }
    }
  }
  auto configuration = makeStreamConfiguration(ContentFilter{.window = window}, std::nullopt);
  configuration.showsCursor = false;
  const QImage image = valueOrThrow(system.captureWindow(window->windowID, configuration));
  switch (background) {
    case WindowBackground::trimShadow:
      co_return croppingTransparentEdges(image, 180);
    case WindowBackground::solid:
      co_return flattened(croppingTransparentEdges(image, 8), Qt::white);
    case WindowBackground::wallpaper:
      co_return croppingTransparentEdges(onTheScreen(image, cocoaBounds(window->bounds)), 8);
    case WindowBackground::transparent:
      break;
  }
  co_return croppingTransparentEdges(image, 8);
}

Task<QImage> captureDisplayCrop(Rect rect) {
  const auto content = valueOrThrow(platform::current().screenCapture().shareableContent());
  auto screen = DisplayGeometry::screenContaining(rect);
  if (!screen) {
    for (const auto& candidate : platform::current().screens().screens()) {
      if (candidate.frame.intersects(rect)) {
        screen = candidate;
        break;
      }
    }
  }
  if (!screen) throw CaptureException(CaptureError::noDisplay);
  const auto display = displayWithID(content, screen->displayID);
  if (!display) throw CaptureException(CaptureError::noDisplay);
  const QImage image = co_await capture(*display, std::nullopt, true);
  const Rect grown = rect.insetBy(-12, -12).intersection(screen->frame);
  const QRect pixels = grown.isNull() ? QRect() : pixelRect(image, grown, *screen);
  if (pixels.width() > 8 && pixels.height() > 8) {
    const QImage cut = image.copy(pixels);
    if (!cut.isNull()) co_return cut;
  }
  throw CaptureException(CaptureError::captureFailed);
}

QImage crop(const QImage& image, Rect rect, const platform::Screen& screen) {
  const Rect r = rect.intersection(screen.frame);
  if (r.isNull() || !(r.width() > 2 && r.height() > 2)) return image;
  const QRect pixels = pixelRect(image, r, screen);
  if (pixels.width() > 2 && pixels.height() > 2) {
    QImage cut = image.copy(pixels);
    if (!cut.isNull()) return cut;
  }
  return image;
}

QImage flattened(const QImage& image, QColor onto) {
  // An opaque picture covers the colour entirely: it is its own flattening.
  if (image.format() == QImage::Format_RGB32) return image;
  QImage result(image.size(), QImage::Format_RGB32);
  if (result.isNull()) return image;
  result.fill(onto);
  QPainter painter(&result);
  painter.drawImage(0, 0, image);
  return result;
}

QImage croppingTransparentEdges(const QImage& image, std::uint8_t minAlpha) {
  const int width = image.width();
  const int height = image.height();
  if (width < 5 || height < 5) return image;
  // Every pixel of an opaque picture is ink: nothing to cut.
  if (!image.hasAlphaChannel()) return image;
  const QImage rgba = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (rgba.isNull()) return image;
  // Buffer row 0 is the picture's bottom row.
  auto alpha = [&](int column, int bufferRow) {
    return qAlpha(reinterpret_cast<const QRgb*>(rgba.constScanLine(height - 1 - bufferRow))[column]);
  };
  auto columnHasInk = [&](int column) {
    for (int row = 0; row < height; ++row) {
      if (alpha(column, row) > minAlpha) return true;
    }
    return false;
  };
  // Rows are sampled on every second column only.
  auto rowHasInk = [&](int row) {
    for (int column = 0; column < width; column += 2) {
      if (alpha(column, row) > minAlpha) return true;
    }
    return false;
  };
  const int lastColumn = width - 1;
  const int lastRow = height - 1;

  int left = 0;
  while (left < width && !columnHasInk(left)) ++left;
  int right = lastColumn;
  if (left == width) {
    right = lastColumn;
  } else {
    while (right > left && !columnHasInk(right)) --right;
  }
  int low = 0;
  while (low < height && !rowHasInk(low)) ++low;
  int high = lastRow;
  if (low < height) {
    while (high > low && !rowHasInk(high)) --high;
  }
  if (left <= 2 && low <= 2 && lastColumn - right <= 2 && lastRow - high <= 2) return image;
  const QRect cut(left, lastRow - high, right - left + 1, high - low + 1);
  if (cut.width() <= 0 || cut.height() <= 0) return image;
  const QImage result = image.copy(cut);
  return result.isNull() ? image : result;
}

std::optional<platform::Screen> displayScreenForRecording(std::optional<Rect> region) {
  if (region) {
    if (auto screen = DisplayGeometry::screenContaining(*region)) return screen;
  }
  return DisplayGeometry::screenUnderMouse();
}

void freezeDisplay(std::uint32_t displayID, QImage image) { frozenDisplays()[displayID] = std::move(image); }

void endFreeze() { frozenDisplays().clear(); }

}  // namespace ScreenCaptureService

}  // namespace vistrel
