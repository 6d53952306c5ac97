#pragma once
// Screen recordings: the toggle the record actions drive, the one running
// session, and whether there is one. The menu, the status icon and the
// dispatcher ask it; main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/AlertPresenter.h"
#include "base/Rect.h"
#include "base/Task.h"

namespace vistrel {

class RecordSession;
enum class RecordFormat;

class RecordingEngine {
 public:
  static RecordingEngine& shared();

  // True while a recording session runs: the status icon shows the recording
  // image and a plain click on it stops the recording.
  bool isRecording() const { return recording_; }

  // Each returns at once; the work goes on in main-thread tasks. While a
  // recording runs, either toggle stops it. A start still asking for the
  // permission or the area takes no second one.
  void toggleScreen();
  void toggleArea();
  // As toggleArea, writing an animated GIF.
  void toggleAreaGif();
  // Stops the recording at once; the file is finished in the background and
  // then shown in the file manager.
  void stop();

  // Redraws the status icon; called whenever isRecording changes.
  std::function<void()> refreshMenuBarIcon;
  // Told when a stopped recording's file is finished, with its path (empty when there is no file).
  std::function<void(const std::string& path)> onFinished;

  void setAlertPresenter(std::shared_ptr<AlertPresenter> presenter) { presenter_ = std::move(presenter); }
  // Test-only: the recording state without a session.
  void setRecordingForTesting(bool recording) { recording_ = recording; }

 private:
  RecordingEngine() = default;
  Task<> start(std::optional<Rect> region, RecordFormat format);
  Task<> startArea(RecordFormat format);
  Task<> finish(std::shared_ptr<RecordSession> session);
  void alert(const std::string& text);
  void changed();

  bool recording_ = false;
  bool starting_ = false;
  std::shared_ptr<RecordSession> session_;
  std::shared_ptr<AlertPresenter> presenter_;
};

}  // namespace vistrel
