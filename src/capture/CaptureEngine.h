#pragma once
// One still capture from request to result: the permission check, the
// selection, the image, one log line, then clipboard, file and editor as the
// after-capture switches say. At most one capture runs at a time. Main
// thread only.

#include <QImage>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Task.h"
#include "base/UtilityAction.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

class CaptureEngine {
 public:
  static CaptureEngine& shared();

  // Returns at once; ignored while a capture runs.
  void perform(CaptureMode mode);
  bool capturing() const { return capturing_; }

  // Opens the editor on a finished shot, with the file it was saved to (or
  // none). Until the editor window exists nothing is opened.
  using EditorShow =
      std::function<void(const QImage& image, std::optional<std::string> savedPath, EditorDisplayMath::PixelScale)>;
  EditorShow showEditor;

  void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) { presenter_ = std::move(presenter); }

 private:
  CaptureEngine() = default;
  Task<> request(CaptureMode mode);
  Task<> run(CaptureMode mode);
  void afterCapture(const QImage& image, const std::string& detail, EditorDisplayMath::PixelScale scale);
  void alert(const std::string& title, const std::string& text);

  bool capturing_ = false;
  std::shared_ptr<AlertPresenter> presenter_;
};

}  // namespace vistrel
