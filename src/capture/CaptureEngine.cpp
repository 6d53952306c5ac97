#include "capture/CaptureEngine.h"

#include <cstdio>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "base/RectText.h"
#include "capture/CaptureCountdown.h"
#include "capture/CaptureError.h"
#include "capture/CaptureOutput.h"
#include "capture/CapturePreferences.h"
#include "capture/RegionSelector.h"
#include "capture/ScreenCaptureService.h"
#include "capture/ScrollingCapture.h"
#include "capture/TextRecognitionService.h"
#include "capture/WindowSelector.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/Platform.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

double atLeastOne(double divisor) { return divisor <= 1 ? 1 : divisor; }

// Picture pixels per logical unit of the screen holding `points`, so that the
// editor shows a shot of a scaled screen one pixel to a device pixel.
EditorDisplayMath::PixelScale scaleOver(const QImage& image, const Rect& points) {
  const double ratio =
      ScreenSpace::GlobalSpace(platform::current().screens().screens()).ratioAt({points.midX(), points.midY()});
  return {ratio * image.width() / atLeastOne(points.width()), ratio * image.height() / atLeastOne(points.height())};
}

// Undoes a window pick's preparation when the window flow ends, however it ends.
struct WindowPickScope {
  ~WindowPickScope() { platform::current().screenCapture().endWindowPick(); }
};

// Ends an overlay's frozen picture when the selection flow ends.
struct FreezeScope {
  ~FreezeScope() { ScreenCaptureService::endFreeze(); }
};

// A flow started from the menu or a key: its failures have had their alert.
Task<> quietly(Task<std::string> flow) {
  try {
    co_await std::move(flow);
  } catch (const std::exception&) {
  }
}

// The front-most window offered for capture that holds the pointer.
std::optional<SelectedWindow> windowUnderPointer() {
  const Point pointer = platform::current().screens().mouseLocation();
  for (const SelectedWindow& window : WindowSelector::onScreenWindows()) {
    if (window.frame.contains(pointer)) return window;
  }
  return std::nullopt;
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

CaptureEngine& CaptureEngine::shared() {
  static CaptureEngine engine;
  return engine;
}

void CaptureEngine::perform(CaptureMode mode, double delay) {
  if (capturing_) return;
  capturing_ = true;
  CaptureOptions options;
  options.delay = delay;
  spawn(quietly(request(mode, options)));
}

Task<std::string> CaptureEngine::capture(CaptureMode mode, CaptureOptions options) {
  if (capturing_) throw CaptureBusy();
  capturing_ = true;
  co_return co_await request(mode, options);
}

Task<std::string> CaptureEngine::request(CaptureMode mode, CaptureOptions options) {
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{capturing_};
  if (!co_await ScreenRecordingAccess::ensure()) {
    LayoutLog::write("capture-aborted-permission");
    throw CaptureSystemError("Screen capture is not allowed.");
  }
  co_return co_await run(mode, options);
}

Task<std::string> CaptureEngine::run(CaptureMode mode, CaptureOptions options) {
  std::string detail = "mode=" + std::string(CaptureModes::rawValue(mode));
  if (options.delay > 0) detail += " delay=" + seconds(options.delay);
  std::optional<std::string> failure;
  std::string savedPath;
  try {
    // Undoes a window pick's preparation when the window flow ends, however it ends.
    std::optional<WindowPickScope> pickScope;
    if (mode == CaptureMode::window) pickScope.emplace();
    if (options.delay > 0) {
      // Windows are prepared for capture while the count runs: a window
      // prepared at the last moment may not have its pixels yet.
      if (mode == CaptureMode::window) platform::current().screenCapture().beginWindowPick();
      co_await CaptureCountdown::run(options.delay, watchCancelKey);
    }
    switch (mode) {
      case CaptureMode::screen: {
        const auto screen = DisplayGeometry::screenUnderMouse();
        const QImage image = co_await ScreenCaptureService::captureDisplayUnderMouse();
        detail += " display=under-mouse";
        EditorDisplayMath::PixelScale scale;
        if (screen) {
          scale = scaleOver(image, screen->frame);
        } else {
          std::vector<Rect> frames;
          for (const auto& s : platform::current().screens().screens()) frames.push_back(s.frame);
          scale = EditorDisplayMath::pixelScaleForEditor(image.width(), image.height(), frames);
        }
        savedPath = afterCapture(image, detail, scale, options);
        break;
      }
      case CaptureMode::window: {
        std::optional<SelectedWindow> selected;
        if (options.delay > 0) {
          selected = windowUnderPointer();
          if (!selected) throw CaptureSystemError("There is no window under the pointer.");
        } else {
          selected = co_await WindowSelector::pick();
          co_await sleep(0.16);
        }
        detail += " windowID=" + std::to_string(selected->id) + " frame=" + RectText::frame(selected->frame);
        const QImage image = co_await ScreenCaptureService::captureSelected(selected->id, selected->frame,
                                                                            CapturePreferences::windowBackground());
        savedPath = afterCapture(image, detail, scaleOver(image, selected->frame), options);
        break;
      }
      case CaptureMode::area:
      case CaptureMode::scrolling: {
        FreezeScope freezeScope;
        const Rect rect = co_await RegionSelector::pickRegion();
        detail += " rect=" + RectText::frame(rect);
        // A compositing manager needs a frame to take the overlays off the screen.
        if (platform::current().screenCapture().compositorRunning()) co_await sleep(0.05);
        QImage image;
        if (mode == CaptureMode::area) {
          image = co_await ScreenCaptureService::captureRectInScreenSpace(rect);
        } else {
          image = co_await ScrollingCapture::capture(rect);
        }
        savedPath = afterCapture(image, detail, scaleOver(image, rect), options);
        break;
      }
      case CaptureMode::recognizeTextOrQR: {
        FreezeScope freezeScope;
        const Rect rect = co_await RegionSelector::pickRegion();
        detail += " rect=" + RectText::frame(rect);
        if (platform::current().screenCapture().compositorRunning()) co_await sleep(0.05);
        const QImage image = co_await ScreenCaptureService::captureRectInScreenSpace(rect);
        // The picture as captured, not reduced: recognition wants every pixel.
        const std::string text = TextRecognitionService::recognizeTextOrCodes(image);
        if (!text.empty()) {
          auto& pasteboard = platform::current().pasteboard();
          pasteboard.clear();
          pasteboard.setString(text);
        }
        const auto result = TextRecognitionService::resultAlert(text);
        alert(result.message, result.informativeText);
        break;
      }
    }
  } catch (const CaptureException& error) {
    if (error.error() == CaptureError::cancelled) throw;
    failure = error.what();
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (failure) {
    alert("Capture failed", *failure);
    throw CaptureSystemError(*failure);
  }
  co_return savedPath;
}

std::string CaptureEngine::afterCapture(const QImage& image, const std::string& detail,
                                        EditorDisplayMath::PixelScale scale, const CaptureOptions& options) {
  const QImage reduced = CaptureOutput::applyingQuality(image);
  char scaleText[64];
  std::snprintf(scaleText, sizeof scaleText, "%.3fx%.3f", scale.x, scale.y);
  LayoutLog::write("capture-done " + detail + " out=" + std::to_string(reduced.width()) + "x" +
                   std::to_string(reduced.height()) + " pxScale=" + scaleText + " stamp=L40");
  if (options.copy.value_or(CapturePreferences::boolValue("vistrel.capture.copy", true))) {
    CaptureOutput::copyToClipboard(reduced);
  }
  std::optional<std::string> savedPath;
  if (options.save.value_or(CapturePreferences::boolValue("vistrel.capture.save", true))) {
    const std::string path = CaptureOutput::fileURL(reduced);
    try {
      CaptureOutput::write(reduced, path);
      savedPath = path;
    } catch (const std::exception&) {
      // A failed save is silent: the shot still reaches the clipboard and the editor.
    }
  }
  if (options.show.value_or(CapturePreferences::boolValue("vistrel.capture.show", true)) && showEditor) {
    showEditor(reduced, savedPath, scale);
  }
  if (onCaptureDone) onCaptureDone(savedPath.value_or(""));
  return savedPath.value_or("");
}

void CaptureEngine::alert(const std::string& title, const std::string& text) {
  if (!presenter_) presenter_ = std::make_shared<MessageBoxAlertPresenter>();
  presenter_->runModal({title, text});
}

}  // namespace vistrel
