#pragma once
// One still capture from request to result: the permission check, the
// selection, the image, one log line, then clipboard, file and editor as the
// after-capture switches say. At most one capture runs at a time. Main
// thread only.

#include <QImage>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Task.h"
#include "base/UtilityAction.h"
#include "capture/CaptureCountdown.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

// What a caller outside the menu may ask of one shot.
struct CaptureOptions {
  // Seconds counted down before the shot, at most CaptureEngine::kMaxDelay. A
  // window shot with a delay takes the window under the pointer when the count ends.
  double delay = 0;
  // The after-capture switches for this shot alone; none: the stored ones.
  std::optional<bool> copy;
  std::optional<bool> save;
  std::optional<bool> show;
};

// A capture was asked for while another one ran.
class CaptureBusy : public std::runtime_error {
 public:
  CaptureBusy() : std::runtime_error("Another capture is running.") {}
};

class CaptureEngine {
 public:
  static constexpr double kMaxDelay = 60;

  static CaptureEngine& shared();

  // Returns at once; ignored while a capture runs. `delay`: as in CaptureOptions.
  void perform(CaptureMode mode, double delay = 0);
  bool capturing() const { return capturing_; }

  // The same for a caller that waits for the outcome: the path of the file the
  // shot was saved to (empty when none was). Throws CaptureBusy while another
  // capture runs, CaptureException(cancelled) when the user cancels, and
  // CaptureSystemError with the reason when the shot fails (after its alert).
  Task<std::string> capture(CaptureMode mode, CaptureOptions options);

  // How a countdown watches its cancel key without taking the keyboard; unset,
  // the countdown holds the keyboard while it counts.
  CancelKeyWatch watchCancelKey;

  // Told of every shot that reached its outputs, with the file it was saved to (or empty).
  std::function<void(const std::string& path)> onCaptureDone;

  // Opens the editor on a finished shot, with the file it was saved to (or
  // none). Until the editor window exists nothing is opened.
  using EditorShow =
      std::function<void(const QImage& image, std::optional<std::string> savedPath, EditorDisplayMath::PixelScale)>;
  EditorShow showEditor;

  void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) { presenter_ = std::move(presenter); }

 private:
  CaptureEngine() = default;
  Task<std::string> request(CaptureMode mode, CaptureOptions options);
  Task<std::string> run(CaptureMode mode, CaptureOptions options);
  std::string afterCapture(const QImage& image, const std::string& detail, EditorDisplayMath::PixelScale scale,
                           const CaptureOptions& options);
  void alert(const std::string& title, const std::string& text);

  bool capturing_ = false;
  std::shared_ptr<AlertPresenter> presenter_;
};

}  // namespace vistrel
