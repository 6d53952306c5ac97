#pragma once
// Opens the capture editor on a finished shot and reuses its one window for
// every later shot: a second show hands the new picture to the same shot, and
// the editor starts over on it. Closing the window only hides it. Main thread
// only; lives for the whole run.

#include <QImage>
#include <memory>
#include <optional>
#include <string>

#include "base/Rect.h"
#include "editor/CaptureShot.h"
#include "ui/ScreenSpace.h"

class QWidget;

namespace vistrel {

class CapturePreviewView;

class CapturePreviewWindowController {
 public:
  static CapturePreviewWindowController& shared();

  // Shows `image` (saved to `savedURL`, a file path, or not saved) in the
  // editor window, centred on the main screen, in front and with the focus.
  void show(const QImage& image, std::optional<std::string> savedURL, EditorDisplayMath::PixelScale pixelScale);

  // "Vistrel Capture  1.4.2 (57) · L40", "?" for a missing version.
  static std::string windowTitle();

  // The window's content size for a picture of `pixels`, bounded by the main
  // screen's visible frame (none: no screen).
  static Size contentSize(QSize pixels, const std::optional<Rect>& visibleFrame);

  QWidget* window() const { return window_; }
  CapturePreviewView* view() const { return view_; }

 private:
  CapturePreviewWindowController() = default;

  QWidget* window_ = nullptr;
  std::shared_ptr<CaptureShot> shot_;
  CapturePreviewView* view_ = nullptr;
};

}  // namespace vistrel
