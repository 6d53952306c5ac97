#include "platform/wayland/WaylandScreenCapture.h"

#include <QFile>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>

#include "platform/linux/ProcessName.h"
#include "platform/wayland/LayoutSpace.h"
#include "platform/wayland/Screencopy.h"

namespace vistrel::wayland {

namespace {

// Lists come at once; a frame takes until the output's next repaint.
constexpr double kReadSeconds = 1.0;
constexpr double kImageSeconds = 3.0;

platform::CaptureFault faultOf(const std::string& error) {
  return {"sway did not list its windows (" + error + ")."};
}

std::vector<Rect> areasOf(const std::vector<const Output*>& outputs) {
  std::vector<Rect> areas;
  for (const Output* output : outputs) areas.push_back(output->layoutRect());
  return areas;
}

}  // namespace

WaylandScreenCapture::WaylandScreenCapture(WaylandConnection& connection, SwayIpc* sway)
    : connection_(connection), sway_(sway) {}

platform::CaptureResult<platform::ShareableContent> outputDisplays(WaylandConnection& connection, Deadline deadline,
                                                                 Rect& primaryArea) {
  if (!connection.sync(deadline)) return platform::CaptureFault{"The compositor did not answer in time."};
  const auto outputs = connection.outputs();
  const auto areas = areasOf(outputs);
  const auto primary = primaryIndex(areas);
  if (!primary) return platform::CaptureFault{"There is no display to capture."};

  platform::ShareableContent content;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    platform::CaptureDisplay display{outputs[i]->globalName, layoutToAppKit(areas[i], areas[*primary]),
                                     outputs[i]->pixelScale()};
    content.displays.insert(i == *primary ? content.displays.begin() : content.displays.end(), display);
  }
  primaryArea = areas[*primary];
  return content;
}

platform::CaptureResult<platform::ShareableContent> WaylandScreenCapture::shareableContent() {
  const Deadline deadline = deadlineAfter(kReadSeconds);
  Rect primaryArea;
  auto listed = outputDisplays(connection_, deadline, primaryArea);
  auto* displays = std::get_if<platform::ShareableContent>(&listed);
  if (!displays || !sway_) return listed;
  platform::ShareableContent content = std::move(*displays);
  const auto tree = sway_->tree(deadline);
  if (!tree.value) return faultOf(tree.error);
  for (const SwayView& view : tree.value->views) {
    if (!view.visible || view.scratchpad) continue;
    platform::CaptureWindow window;
    window.windowID = std::uint32_t(view.id);
    window.bounds = layoutToAccessibility(view.frame, primaryArea);
    window.ownerPID = std::max(view.pid, 0);
    window.ownerName = view.appId.empty() ? desktop::processName(view.pid) : view.appId;
    window.title = view.title;
    content.windows.push_back(std::move(window));
  }
  return content;
}

platform::CaptureResult<QImage> WaylandScreenCapture::captureArea(const Output& output, const Rect& wanted,
                                                                  bool withCursor) {
  const Rect layout = output.layoutRect();
  const QRect whole(0, 0, int(std::lround(layout.w)), int(std::lround(layout.h)));
  const QRect aligned = QRectF(wanted.minX(), wanted.minY(), wanted.width(), wanted.height()).toAlignedRect();
  const QRect area = aligned & whole;
  if (area.isEmpty()) return platform::CaptureFault{"The area to capture lies outside the display."};

  auto copied = copyOutput(connection_, output, area == whole ? std::nullopt : std::optional(area), withCursor,
                           deadlineAfter(kImageSeconds));
  if (auto* fault = std::get_if<CopyFault>(&copied)) return platform::CaptureFault{fault->description};
  QImage image = std::move(std::get<QImage>(copied));
  if (area == aligned) return image;
  // What lies off the display is black, as on a screen, rather than the rest stretched over it.
  const double scale = output.pixelScale();
  QImage framed(QSize(int(std::lround(aligned.width() * scale)), int(std::lround(aligned.height() * scale))),
                QImage::Format_RGB32);
  framed.fill(Qt::black);
  const QPointF offset = QPointF(area.topLeft() - aligned.topLeft()) * scale;
  QPainter(&framed).drawImage(offset, image);
  return framed;
}

platform::CaptureResult<QImage> WaylandScreenCapture::captureDisplay(
    std::uint32_t displayID, const platform::CaptureConfiguration& configuration) {
  if (!connection_.sync(deadlineAfter(kReadSeconds))) {
    return platform::CaptureFault{"The compositor did not answer in time."};
  }
  const Output* output = connection_.output(displayID);
  if (!output) return platform::CaptureFault{"The display is not available."};
  const Rect layout = output->layoutRect();
  const Rect wanted = configuration.sourceRect.value_or(Rect(0, 0, layout.w, layout.h));
  auto result = captureArea(*output, wanted, configuration.showsCursor);
  auto* image = std::get_if<QImage>(&result);
  const QSize size(configuration.width, configuration.height);
  if (image && !size.isEmpty() && size != image->size()) {
    return image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return result;
}

platform::CaptureResult<QImage> WaylandScreenCapture::captureWindow(std::uint32_t windowID,
                                                                    const platform::CaptureConfiguration&) {
  if (!sway_) return platform::CaptureFault{"Windows can be captured only on sway."};
  const Deadline deadline = deadlineAfter(kReadSeconds);
  const auto tree = sway_->tree(deadline);
  if (!tree.value) return faultOf(tree.error);
  const SwayView* view = tree.value->find(windowID);
  if (!view || !view->visible || view->scratchpad) return platform::CaptureFault{"The window is no longer on screen."};
  if (!connection_.sync(deadline)) return platform::CaptureFault{"The compositor did not answer in time."};
  // The output holding the window's centre; a window across two outputs is cut at its edge.
  const Point centre{view->frame.midX(), view->frame.midY()};
  for (const Output* output : connection_.outputs()) {
    const Rect layout = output->layoutRect();
    if (!layout.contains(centre)) continue;
    return captureArea(*output, view->frame.offsetBy(-layout.minX(), -layout.minY()), false);
  }
  return platform::CaptureFault{"The window is no longer on screen."};
}

}  // namespace vistrel::wayland
