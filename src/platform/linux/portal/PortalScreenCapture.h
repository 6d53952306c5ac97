#pragma once
// Screen capture through the Screenshot portal (org.freedesktop.portal.Screenshot),
// for desktops that let no client read the screen itself (GNOME; KDE for a
// copy run without its desktop file's authorisation).
//
// Every capture is one portal screenshot of the whole desktop: the portal
// writes a PNG file and answers with its URI; we load it, delete the file and
// crop the display, area or window asked for. The picture spans the bounding
// box of all displays; displays come from `screens` (same numbers).
// Windows come from `windows` where the desktop has a way to list them (the
// GNOME Shell extension), else none are offered. The portal draws no pointer.
//
// Access: GNOME asks the user once and keeps the answer in the portal's
// permission store (table "screenshot", entry "screenshot"); preflight reads
// the store, the request takes one screenshot, which is what brings up the
// portal's dialog. Main thread only; each capture runs a local event loop
// until the portal answers (about 0.5 s on GNOME).

#include <QDBusConnection>

#include <functional>
#include <vector>

#include "platform/ScreenCapture.h"
#include "platform/Screens.h"

namespace vistrel::portal {

class PortalScreenCapture : public platform::ScreenCapture {
 public:
  using WindowLister = std::function<std::vector<platform::CaptureWindow>()>;

  // `screens` must outlive this object; `windows` may be empty.
  PortalScreenCapture(QDBusConnection bus, const platform::Screens& screens, WindowLister windows = {});

  bool preflightAccess() const override;
  bool requestAccess() override;
  std::string accessSettingsHelp() const override;
  platform::CaptureResult<platform::ShareableContent> shareableContent() override;
  platform::CaptureResult<QImage> captureDisplay(std::uint32_t displayID,
                                                 const platform::CaptureConfiguration& configuration) override;
  platform::CaptureResult<QImage> captureWindow(std::uint32_t windowID,
                                                const platform::CaptureConfiguration& configuration) override;
  // Each capture takes a new picture of the composited desktop: nothing to prepare.
  void beginWindowPick() override {}
  void endWindowPick() override {}
  bool compositorRunning() const override { return true; }

  // One screenshot of the whole desktop through the portal, at device pixels.
  platform::CaptureResult<QImage> desktopImage(double timeoutSeconds);

 private:
  // `area` (top-left origin, points, relative to the desktop's bounding box)
  // out of `desktop`, at `width` x `height` pixels (the area's pixels when 0).
  static platform::CaptureResult<QImage> crop(const QImage& desktop, const Rect& bounds, const Rect& area,
                                              int width, int height);

  QDBusConnection bus_;
  const platform::Screens& screens_;
  WindowLister windows_;
};

// The box of all `screens` in AppKit space; what a portal screenshot spans.
Rect desktopBounds(const std::vector<platform::Screen>& screens);
// `frame` (AppKit space) as a rectangle with a top-left origin inside `bounds`.
Rect fromTopOf(const Rect& bounds, const Rect& frame);

}  // namespace vistrel::portal
