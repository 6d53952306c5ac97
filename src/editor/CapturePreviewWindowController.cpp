#include "editor/CapturePreviewWindowController.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "base/LayoutLog.h"
#include "editor/CapturePreviewView.h"
#include "platform/Platform.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 480;

// A close, from the window manager's button too, only hides the window. An
// accepted close would also destroy the native window, and the next shot
// would come up in a new one.
class EditorWindow : public QWidget {
 public:
  EditorWindow() : QWidget(nullptr, Qt::Window) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    hide();
  }
};

}  // namespace

CapturePreviewWindowController& CapturePreviewWindowController::shared() {
  // Never destroyed: the window must not outlive the application object,
  // which a static's destructor would make it do.
  static auto* const controller = new CapturePreviewWindowController;
  return *controller;
}

std::string CapturePreviewWindowController::windowTitle() {
  const auto& bundle = platform::current().bundle();
  return "Vistrel Capture  " + bundle.infoString("CFBundleShortVersionString").value_or("?") + " (" +
         bundle.infoString("CFBundleVersion").value_or("?") + ") \u00B7 L40";
}

Size CapturePreviewWindowController::contentSize(QSize pixels, const std::optional<Rect>& visibleFrame) {
  const double maxHeight = visibleFrame ? 0.82 * visibleFrame->height() : 656;
  const double maxWidth = visibleFrame ? 0.78 * visibleFrame->width() : 998.4;
  return {std::min(std::max(pixels.width() * 0.62, 980.0), maxWidth),
          std::min(std::max(pixels.height() * 0.62 + 56, 700.0), maxHeight)};
}

void CapturePreviewWindowController::show(const QImage& image, std::optional<std::string> savedURL,
                                          EditorDisplayMath::PixelScale pixelScale) {
  auto& screens = platform::current().screens();
  const std::optional<platform::Screen> main = screens.mainScreen();
  const ScreenSpace::GlobalSpace space(screens.screens());
  // Window sizes are Qt's logical units: the visible frame as Qt sees it on a scaled screen.
  std::optional<Rect> visible;
  if (main) {
    const QRectF global = space.toGlobal(main->visibleFrame);
    visible = Rect(global.x(), global.y(), global.width(), global.height());
  }
  const Size content = contentSize(image.size(), visible);
  const QSize size(int(std::lround(content.width)), int(std::lround(content.height)));

  CaptureShot::Payload payload;
  payload.image = image;
  payload.savedURL = std::move(savedURL);
  payload.pixelScale = pixelScale;
  if (shot_) {
    shot_->setPayload(std::move(payload));
  } else {
    shot_ = std::make_shared<CaptureShot>(std::move(payload));
    window_ = new EditorWindow;
    window_->setMinimumSize(kMinimumWidth, kMinimumHeight);
    view_ = new CapturePreviewView(shot_, window_);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
  }

  window_->setWindowTitle(QString::fromStdString(windowTitle()));
  QRect frame(QPoint(0, 0), size);
  if (main) {
    frame.moveCenter(space.toGlobal(main->visibleFrame).center().toPoint());
  }
  window_->setGeometry(frame);
  window_->show();
  window_->raise();
  window_->activateWindow();

  LayoutLog::write("crop editor-open stamp=L40 px=" + std::to_string(image.width()) + "x" +
                   std::to_string(image.height()) + " win=" + std::to_string(size.width()) + "x" +
                   std::to_string(size.height()));
}

}  // namespace vistrel
