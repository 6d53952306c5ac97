#include "capture/PinBoard.h"

#include <QWindow>

#include <algorithm>
#include <cmath>

#include "platform/Platform.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

constexpr double kMaxWidth = 420;

// The Qt global rectangle of `size` (logical units) centred on the main screen's visible frame.
QRect centredOnMainScreen(QSize size) {
  auto& screens = platform::current().screens();
  const auto main = screens.mainScreen();
  if (!main) return {QPoint(0, 0), size};
  const QRectF visible = ScreenSpace::GlobalSpace(screens.screens()).toGlobal(main->visibleFrame);
  return {(visible.center() - QPointF(size.width() / 2.0, size.height() / 2.0)).toPoint(), size};
}

}  // namespace

PinBoard& PinBoard::shared() {
  // Never destroyed: the pins are widgets and must not outlive the
  // application object, which a static's destructor would.
  static PinBoard* const board = new PinBoard;
  return *board;
}

Size PinBoard::contentSize(double pixelWidth, double pixelHeight) {
  const double scale = std::min(kMaxWidth / pixelWidth, 1.0);
  return {scale * pixelWidth, scale * pixelHeight};
}

void PinBoard::pin(const QImage& image) {
  if (image.isNull()) return;
  const Size points = contentSize(image.width(), image.height());
  const QSize size(std::max(1, int(std::lround(points.width))), std::max(1, int(std::lround(points.height))));

  auto window = std::make_unique<PinWindow>(image, size);
  window->setGeometry(centredOnMainScreen(size));
  window->winId();  // the native window, so the desktop setting goes in before it is shown
  platform::current().floatingWindows().keepOnAllDesktops(*window->windowHandle());
  window->show();
  window->activateWindow();

  windows_.push_back(std::move(window));
  std::erase_if(windows_, [](const std::unique_ptr<PinWindow>& pin) { return !pin->isVisible(); });
}

}  // namespace vistrel
