#include "platform/linux/portal/PortalScreenCapture.h"

#include <QFile>
#include <QRectF>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "platform/linux/portal/PermissionStore.h"
#include "platform/linux/portal/PortalRequest.h"

namespace vistrel::portal {

namespace {

const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
// GNOME answers in about 0.5 s once the grant is stored.
constexpr double kCaptureSeconds = 10;
// The first request waits for the user at the portal's dialog.
constexpr double kDialogSeconds = 120;

platform::CaptureFault fault(const std::string& what) { return {"The desktop did not give a screenshot (" + what + ")."}; }

const platform::Screen* screenWithID(const std::vector<platform::Screen>& screens, std::uint32_t displayID) {
  const auto it = std::find_if(screens.begin(), screens.end(),
                               [displayID](const platform::Screen& s) { return s.displayID == displayID; });
  return it == screens.end() ? nullptr : &*it;
}

}  // namespace

Rect desktopBounds(const std::vector<platform::Screen>& screens) {
  if (screens.empty()) return Rect::null();
  double minX = screens.front().frame.minX(), minY = screens.front().frame.minY();
  double maxX = screens.front().frame.maxX(), maxY = screens.front().frame.maxY();
  for (const auto& screen : screens) {
    minX = std::min(minX, screen.frame.minX());
    minY = std::min(minY, screen.frame.minY());
    maxX = std::max(maxX, screen.frame.maxX());
    maxY = std::max(maxY, screen.frame.maxY());
  }
  return {minX, minY, maxX - minX, maxY - minY};
}

Rect fromTopOf(const Rect& bounds, const Rect& frame) {
  return {frame.minX() - bounds.minX(), bounds.maxY() - frame.maxY(), frame.width(), frame.height()};
}

PortalScreenCapture::PortalScreenCapture(QDBusConnection bus, const platform::Screens& screens, WindowLister windows)
    : bus_(std::move(bus)), screens_(screens), windows_(std::move(windows)) {}

bool PortalScreenCapture::preflightAccess() const {
  return permissionGranted(bus_, QStringLiteral("screenshot"), QStringLiteral("screenshot"));
}

bool PortalScreenCapture::requestAccess() {
  const auto image = desktopImage(kDialogSeconds);
  return std::holds_alternative<QImage>(image) || preflightAccess();
}

std::string PortalScreenCapture::accessSettingsHelp() const {
  return "GNOME asks once whether Vistrel may take screenshots and keeps the answer in its portal permission store, "
         "which its Settings shows only for Flatpak apps (Settings \u203a Apps \u203a Take Screenshots). To allow "
         "Vistrel again, run:\n\n"
         "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
         "--object-path /org/freedesktop/impl/portal/PermissionStore "
         "--method org.freedesktop.impl.portal.PermissionStore.SetPermission screenshot true screenshot \"\" "
         "\"['yes']\"";
}

platform::CaptureResult<QImage> PortalScreenCapture::desktopImage(double timeoutSeconds) {
  const PortalResponse response =
      request(bus_, kScreenshot, QStringLiteral("Screenshot"), {QString()},
              {{QStringLiteral("interactive"), false}, {QStringLiteral("modal"), false}}, timeoutSeconds);
  if (!response.ok()) return fault(response.error);
  const QUrl uri(response.results.value(QStringLiteral("uri")).toString());
  if (!uri.isLocalFile()) return fault("the answer names no local file");
  const QString path = uri.toLocalFile();
  QImage image(path);
  // The file is ours to remove: the portal wrote it into the user's pictures for us alone.
  QFile::remove(path);
  if (image.isNull()) return fault("its file could not be read");
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

platform::CaptureResult<platform::ShareableContent> PortalScreenCapture::shareableContent() {
  platform::ShareableContent content;
  for (const auto& screen : screens_.screens()) {
    content.displays.push_back({screen.displayID, screen.frame, screen.scale});
  }
  if (content.displays.empty()) return platform::CaptureFault{"There is no display to capture."};
  if (windows_) content.windows = windows_();
  return content;
}

platform::CaptureResult<QImage> PortalScreenCapture::crop(const QImage& desktop, const Rect& bounds,
                                                          const Rect& area, int width, int height) {
  // Pixels per point across the picture: the portal's picture is at device pixels.
  const double scale = bounds.width() > 0 ? desktop.width() / bounds.width() : 1.0;
  const QRect pixels = QRectF(area.minX() * scale, area.minY() * scale, area.width() * scale,
                              area.height() * scale).toAlignedRect();
  const QRect inside = pixels & desktop.rect();
  if (inside.isEmpty()) return platform::CaptureFault{"The area to capture lies outside the display."};
  QImage part = desktop.copy(pixels);  // what lies off the desktop is black
  if (width <= 0 || height <= 0 || part.size() == QSize(width, height)) return part;
  return part.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

platform::CaptureResult<QImage> PortalScreenCapture::captureDisplay(
    std::uint32_t displayID, const platform::CaptureConfiguration& configuration) {
  const auto screens = screens_.screens();
  const platform::Screen* screen = screenWithID(screens, displayID);
  if (!screen) return platform::CaptureFault{"The display is not available."};
  auto desktop = desktopImage(kCaptureSeconds);
  if (auto* failed = std::get_if<platform::CaptureFault>(&desktop)) return *failed;
  const Rect bounds = desktopBounds(screens);
  Rect area = fromTopOf(bounds, screen->frame);
  if (const auto& part = configuration.sourceRect) {
    area = Rect(area.minX() + part->minX(), area.minY() + part->minY(), part->width(), part->height());
  }
  return crop(std::get<QImage>(desktop), bounds, area, configuration.width, configuration.height);
}

platform::CaptureResult<QImage> PortalScreenCapture::captureWindow(
    std::uint32_t windowID, const platform::CaptureConfiguration& configuration) {
  if (!windows_) return platform::CaptureFault{"This desktop does not list its windows."};
  const auto windows = windows_();
  const auto it = std::find_if(windows.begin(), windows.end(),
                               [windowID](const platform::CaptureWindow& w) { return w.windowID == windowID; });
  if (it == windows.end()) return platform::CaptureFault{"The window has closed."};
  const auto screens = screens_.screens();
  if (screens.empty()) return platform::CaptureFault{"There is no display to capture."};
  auto desktop = desktopImage(kCaptureSeconds);
  if (auto* failed = std::get_if<platform::CaptureFault>(&desktop)) return *failed;
  // Window bounds have their origin at the primary display's top-left corner.
  const Rect bounds = desktopBounds(screens);
  const Rect primary = fromTopOf(bounds, screens.front().frame);
  const Rect area = it->bounds.offsetBy(primary.minX(), primary.minY());
  return crop(std::get<QImage>(desktop), bounds, area, configuration.width, configuration.height);
}

}  // namespace vistrel::portal
