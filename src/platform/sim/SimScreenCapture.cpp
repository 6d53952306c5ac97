#include "platform/sim/SimScreenCapture.h"

#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace vistrel::sim {

namespace {

// A pattern in which nearby pixels differ, so a crop shows where it came from.
QImage patternImage(int width, int height, std::uint32_t displayID) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      line[x] = qRgb((x + int(displayID) * 37) & 255, y & 255, (x / 256 + (y / 256) * 8 + int(displayID) * 50) & 255);
    }
  }
  return image;
}

QImage windowImage(const SimScreenCapture::Window& window, double scale) {
  if (!window.image.isNull()) return window.image;
  QImage image(int(std::lround(window.info.bounds.width() * scale)), int(std::lround(window.info.bounds.height() * scale)),
               QImage::Format_ARGB32);
  image.fill(QColor::fromHsv(int(window.info.windowID * 47 % 360), 200, 220));
  return image;
}

}  // namespace

bool SimScreenCapture::requestAccess() {
  ++requestCount;
  if (grantOnRequest) allowed = true;
  return allowed;
}

platform::CaptureResult<platform::ShareableContent> SimScreenCapture::shareableContent() {
  if (failure) return platform::CaptureFault{*failure};
  platform::ShareableContent content;
  for (const auto& screen : screens_.screens()) content.displays.push_back({screen.displayID, screen.frame, screen.scale});
  for (const auto& window : windows) content.windows.push_back(window.info);
  return content;
}

QImage SimScreenCapture::displayPicture(const platform::Screen& screen) const {
  const int width = int(std::lround(screen.frame.width() * screen.scale));
  const int height = int(std::lround(screen.frame.height() * screen.scale));
  const auto given = displayImages.find(screen.displayID);
  QImage picture = given != displayImages.end() ? given->second.convertToFormat(QImage::Format_RGB32)
                                                : patternImage(width, height, screen.displayID);
  const auto all = screens_.screens();
  const double primaryTop = all.empty() ? 0 : all.front().frame.maxY();
  // The display's top-left corner in window-server space.
  const double left = screen.frame.minX();
  const double top = primaryTop - screen.frame.maxY();
  QPainter painter(&picture);
  if (page) {
    const Rect& b = page->bounds;
    const QRect shown(0, page->offset, int(std::lround(b.width() * screen.scale)),
                      int(std::lround(b.height() * screen.scale)));
    painter.drawImage(QPointF((b.minX() - left) * screen.scale, (b.minY() - top) * screen.scale), page->image, shown);
  }
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Rect& b = it->info.bounds;
    painter.drawImage(QRectF((b.minX() - left) * screen.scale, (b.minY() - top) * screen.scale, b.width() * screen.scale,
                             b.height() * screen.scale),
                      windowImage(*it, screen.scale));
  }
  return picture;
}

platform::CaptureResult<QImage> SimScreenCapture::captureDisplay(std::uint32_t displayID,
                                                                 const platform::CaptureConfiguration& configuration) {
  if (failure) return platform::CaptureFault{*failure};
  for (const auto& screen : screens_.screens()) {
    if (screen.displayID != displayID) continue;
    ++displayCaptures;
    QImage picture = displayPicture(screen);
    if (configuration.sourceRect) {
      const Rect& r = *configuration.sourceRect;
      picture = picture.copy(QRectF(r.minX() * screen.scale, r.minY() * screen.scale, r.width() * screen.scale,
                                    r.height() * screen.scale)
                                 .toAlignedRect());
    }
    if (picture.width() != configuration.width || picture.height() != configuration.height) {
      picture = picture.scaled(configuration.width, configuration.height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    return picture;
  }
  return platform::CaptureFault{"The display is not available."};
}

platform::CaptureResult<QImage> SimScreenCapture::captureWindow(std::uint32_t windowID,
                                                                const platform::CaptureConfiguration&) {
  if (failure) return platform::CaptureFault{*failure};
  for (const auto& window : windows) {
    if (window.info.windowID == windowID) return windowImage(window, 1.0);
  }
  return platform::CaptureFault{"The window is no longer on screen."};
}

std::optional<platform::Screen> SimScreenCapture::pageScreen() const {
  const auto all = screens_.screens();
  if (!page || all.empty()) return std::nullopt;
  const Point centre{page->bounds.midX(), all.front().frame.maxY() - page->bounds.midY()};
  for (const auto& screen : all) {
    if (screen.frame.contains(centre)) return screen;
  }
  return std::nullopt;
}

void SimScreenCapture::scrollPage(Point point, int pixels) {
  if (!page || !page->bounds.contains(point)) return;
  const auto screen = pageScreen();
  const double scale = screen ? screen->scale : 1.0;
  const int shownRows = int(std::lround(page->bounds.height() * scale));
  const int last = std::max(page->image.height() - shownRows, 0);
  page->offset = std::clamp(page->offset + pixels, 0, last);
}

bool SimEventMonitors::grabInput(QWindow& window) {
  if (refuse) return false;
  holder = &window;
  keyboardOnly = false;
  return true;
}

bool SimEventMonitors::grabKeyboard(QWindow& window) {
  if (!grabInput(window)) return false;
  keyboardOnly = true;
  return true;
}

void SimEventMonitors::releaseInput(QWindow& window) {
  if (holder == &window) holder = nullptr;
}

}  // namespace vistrel::sim
