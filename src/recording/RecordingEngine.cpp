#include "recording/RecordingEngine.h"

#include <exception>
#include <string>

#include "base/LayoutLog.h"
#include "base/MessageBoxAlertPresenter.h"
#include "capture/CaptureError.h"
#include "capture/RegionSelector.h"
#include "capture/ScreenCaptureService.h"
#include "permissions/ScreenRecordingAccess.h"
#include "platform/Platform.h"
#include "recording/RecordSession.h"

namespace vistrel {

namespace {

// Clears a flag when the flow that set it ends, however it ends.
struct Reset {
  bool& flag;
  ~Reset() { flag = false; }
};

}  // namespace

RecordingEngine& RecordingEngine::shared() {
  static RecordingEngine engine;
  return engine;
}

void RecordingEngine::toggleScreen() {
  if (session_) return stop();
  if (starting_) return;
  starting_ = true;
  spawn(start(std::nullopt, RecordFormat::mp4));
}

void RecordingEngine::toggleArea() {
  if (session_) return stop();
  if (starting_) return;
  starting_ = true;
  spawn(startArea(RecordFormat::mp4));
}

void RecordingEngine::toggleAreaGif() {
  if (session_) return stop();
  if (starting_) return;
  starting_ = true;
  spawn(startArea(RecordFormat::gif));
}

void RecordingEngine::stop() {
  if (!session_) return;
  auto session = std::move(session_);
  session_.reset();
  recording_ = false;
  changed();
  spawn(finish(std::move(session)));
}

Task<> RecordingEngine::finish(std::shared_ptr<RecordSession> session) {
  const auto url = co_await session->finish();
  if (onFinished) onFinished(url.value_or(""));
  if (!url) {
    LayoutLog::write("record stop-failed no-file");
    co_return;
  }
  platform::current().workspace().activateFileViewerSelecting({*url});
}

Task<> RecordingEngine::startArea(RecordFormat format) {
  Reset reset{starting_};
  std::optional<Rect> rect;
  std::optional<std::string> failure;
  try {
    rect = co_await RegionSelector::pickRegion();
  } catch (const CaptureException& error) {
    if (error.error() != CaptureError::cancelled) failure = error.what();
  } catch (const std::exception& error) {
    failure = error.what();
  }
  // The selection may have frozen the displays' pictures; a recording reads the live screen.
  ScreenCaptureService::endFreeze();
  if (failure) alert(*failure);
  if (!rect) co_return;
  co_await start(*rect, format);
}

Task<> RecordingEngine::start(std::optional<Rect> region, RecordFormat format) {
  Reset reset{starting_};
  if (!co_await ScreenRecordingAccess::ensure()) co_return;
  std::shared_ptr<RecordSession> session;
  std::optional<std::string> failure;
  try {
    session = co_await RecordSession::start(region, format);
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (failure) {
    LayoutLog::write("record start-failed " + *failure);
    alert(*failure);
    co_return;
  }
  session->onWriterFailure = [this, weak = std::weak_ptr<RecordSession>(session)] {
    // The file can take no more: end the recording as if the user had stopped it.
    if (session_ && session_ == weak.lock()) stop();
  };
  session_ = std::move(session);
  recording_ = true;
  changed();
}

void RecordingEngine::alert(const std::string& text) {
  if (!presenter_) presenter_ = std::make_shared<MessageBoxAlertPresenter>();
  presenter_->runModal({"Record failed", text});
}

void RecordingEngine::changed() {
  if (refreshMenuBarIcon) refreshMenuBarIcon();
}

}  // namespace vistrel
