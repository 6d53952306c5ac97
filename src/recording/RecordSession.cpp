#include "recording/RecordSession.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "base/Continuation.h"
#include "base/LayoutLog.h"
#include "base/RectText.h"
#include "capture/CaptureError.h"
#include "capture/CaptureOutput.h"
#include "capture/ScreenCaptureService.h"
#include "platform/Platform.h"
#include "recording/SoundSetting.h"
#include "ui/ScreenSpace.h"

namespace vistrel {

namespace {

// ISO 8601 in UTC to the second, e.g. "2026-12-06T18:42:10Z".
std::string recordingTimestamp(double now) {
  const auto whole = static_cast<std::time_t>(std::floor(now));
  std::tm utc{};
  gmtime_r(&whole, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

RecordSession::RecordSession(std::unique_ptr<platform::DisplayStream> stream,
                             std::unique_ptr<platform::MovieWriter> writer,
                             std::optional<RecordingFrameCropper> cropper, std::string url)
    : stream_(std::move(stream)), writer_(std::move(writer)), frameCropper_(std::move(cropper)), url_(std::move(url)) {}

RecordSession::~RecordSession() {
  if (watchingClicks_) platform::current().eventMonitors().stopWatchingClicks();
  // The sound threads append to the writer until they have stopped.
  for (auto& capture : sound_) capture->stop();
  // The stream's thread calls into this session until it has stopped.
  if (stream_) stream_->stop();
}

void RecordSession::watchClicks(PixelMap map) {
  clickMap_ = map;
  watchingClicks_ = platform::current().eventMonitors().watchClicks([weak = weak_from_this()](platform::PointerButton button) {
    const auto session = weak.lock();
    if (!session) return;
    // The press and this call are a moment apart: the pointer is where it was pressed, or a few points on.
    const Point at = platform::current().screens().mouseLocation();
    std::lock_guard lock(session->lock_);
    const PixelMap& m = *session->clickMap_;
    session->clicks_.push_back({QPointF((at.x - m.minX) * m.scale - m.cropLeft, (m.maxY - at.y) * m.scale - m.cropTop),
                                button == platform::PointerButton::right, -1});
  });
  if (!watchingClicks_) LayoutLog::write("record clicks-unavailable");
}

namespace {

std::string_view sourceName(platform::SoundSource source) {
  return source == platform::SoundSource::desktop ? "desktop" : "microphone";
}

}  // namespace

void RecordSession::startSound() {
  auto& system = platform::current();
  for (const platform::SoundSource source : SoundSetting::sources(SoundSetting::current())) {
    auto capture = system.makeSoundCapture();
    const int index = int(sound_.size());
    std::optional<std::string> refused = capture ? std::nullopt : std::optional<std::string>("no sound on this desktop");
    if (capture) {
      // The writer outlives the captures: the session stops them first.
      auto* writer = writer_.get();
      refused = capture->start(
          source,
          [writer, index](const float* samples, int frames, double time) {
            writer->appendAudio(index, samples, frames, time);
          },
          [writer, index, source, weak = weak_from_this()](const std::string& reason) {
            writer->endAudio(index);
            platform::current().clock().after(0, [weak, source, reason] {
              if (const auto session = weak.lock()) {
                session->soundFailed("record sound-lost source=" + std::string(sourceName(source)) + " reason=" + reason,
                                     "The sound (" + std::string(sourceName(source)) + ") stopped during the recording: " +
                                         reason + ".");
              }
            });
          });
    }
    if (refused) {
      soundFailed("record sound-unavailable source=" + std::string(sourceName(source)) + " reason=" + *refused,
                  "The recording has no " + std::string(source == platform::SoundSource::desktop ? "desktop sound" : "microphone") +
                      ": " + *refused + ".");
      continue;
    }
    sound_.push_back(std::move(capture));
  }
  if (sound_.empty()) return;
  platform::AudioSettings settings;
  settings.sources = int(sound_.size());
  if (!writer_->addAudio(settings)) {
    for (auto& capture : sound_) capture->stop();
    sound_.clear();
    soundFailed("record sound-unavailable reason=encoder", "The recording has no sound: no AAC encoder.");
  }
}

void RecordSession::soundFailed(const std::string& line, const std::string& note) {
  LayoutLog::write(line);
  soundNote_ += (soundNote_.empty() ? "" : "\n") + note;
}

platform::StreamFrame RecordSession::markClicks(platform::StreamFrame frame) {
  for (ClickMark& mark : clicks_) {
    if (mark.start < 0) mark.start = frame.time;
  }
  std::erase_if(clicks_, [&](const ClickMark& mark) { return frame.time >= mark.start + ClickRings::kSeconds; });
  if (clicks_.empty()) {
    if (ringsShown_) frame.changed = true;  // the last ring's picture is replaced
    ringsShown_ = false;
    return frame;
  }
  // Drawn on a copy: the stream and the cropper compare the next frame with this one as captured.
  QImage marked = frame.image.copy();
  ClickRings::draw(marked, clicks_, frame.time, clickMap_->scale);
  ringsShown_ = true;
  return {std::move(marked), frame.time, true};
}

Task<std::shared_ptr<RecordSession>> RecordSession::start(std::optional<Rect> region, RecordFormat format) {
  auto& system = platform::current();
  auto content = system.screenCapture().shareableContent();
  if (auto* fault = std::get_if<platform::CaptureFault>(&content)) throw CaptureSystemError(fault->description);
  const auto& displays = std::get<platform::ShareableContent>(content).displays;

  const auto screen = ScreenCaptureService::displayScreenForRecording(region);
  if (!screen) throw CaptureException(CaptureError::noDisplay);
  if (displays.empty()) throw CaptureException(CaptureError::noDisplay);
  auto display = std::find_if(displays.begin(), displays.end(),
                              [&](const platform::CaptureDisplay& d) { return d.displayID == screen->displayID; });
  if (display == displays.end()) display = displays.begin();

  platform::StreamConfiguration configuration;
  ContentFilter filter;
  filter.display = *display;
  configuration.capture = ScreenCaptureService::makeStreamConfiguration(filter, std::nullopt);
  configuration.minimumFrameInterval = format == RecordFormat::gif ? kGifFrameInterval : kMinimumFrameInterval;
  configuration.queueDepth = kQueueDepth;
  const int width = configuration.capture.width;
  const int height = configuration.capture.height;

  std::optional<Rect> pixelCrop;
  std::optional<RecordingFrameCropper> cropper;
  int outputWidth = width;
  int outputHeight = height;
  if (region) {
    const Rect& frame = screen->frame;
    const Rect r = region->intersection(frame);
    Rect crop;
    if (r.width() > 2 && r.height() > 2) {
      crop = ScreenSpace::pixelRect(r, frame, width, height);
      if (crop.isNull()) crop = Rect();
    }
    pixelCrop = crop;
    cropper = RecordingFrameCropper::make(crop);
    if (cropper) {
      outputWidth = cropper->outputWidth();
      outputHeight = cropper->outputHeight();
    }
  }

  LayoutLog::write("record start mode=" + std::string(region ? "area" : "screen") +
                   " screen=" + RectText::frame(screen->frame) +
                   " cocoa=" + (region ? RectText::frame(*region) : std::string("nil")) +
                   " pixelCrop=" + (pixelCrop ? RectText::frame(*pixelCrop) : std::string("nil")) +
                   " stream=" + std::to_string(width) + "x" + std::to_string(height) +
                   " out=" + std::to_string(outputWidth) + "x" + std::to_string(outputHeight) +
                   " display=" + std::to_string(display->displayID));

  const std::string url = (std::filesystem::path(CaptureOutput::saveDirectory()) /
                           ("Vistrel-" + recordingTimestamp(system.clock().now()) +
                            (format == RecordFormat::gif ? ".gif" : ".mp4")))
                              .string();
  auto made = system.makeMovieWriter(url);
  if (auto* fault = std::get_if<platform::CaptureFault>(&made)) throw CaptureSystemError(fault->description);
  auto writer = std::move(std::get<std::unique_ptr<platform::MovieWriter>>(made));
  platform::VideoSettings settings;
  settings.width = outputWidth;
  settings.height = outputHeight;
  settings.averageBitRate = std::max<std::int64_t>(4LL * outputWidth * outputHeight, 2'000'000);
  settings.maxKeyFrameInterval = 30;
  settings.expectsMediaDataInRealTime = true;
  if (!writer->canAdd(settings)) throw CaptureException(CaptureError::encodeFailed);
  writer->add(settings);

  std::shared_ptr<RecordSession> session(
      new RecordSession(system.makeDisplayStream(), std::move(writer), std::move(cropper), url));
  if (system.defaults().boolean(ClickRings::kShowClicksKey).value_or(false)) {
    PixelMap map{screen->frame.minX(), screen->frame.maxY(), width / screen->frame.width(), 0, 0};
    if (session->frameCropper_) {
      map.cropLeft = int(session->frameCropper_->cropRect().minX());
      map.cropTop = int(session->frameCropper_->cropRect().maxY()) - session->frameCropper_->outputHeight();
    }
    session->watchClicks(map);
  }
  if (format == RecordFormat::mp4) session->startSound();
  RecordSession* self = session.get();
  if (auto error = session->stream_->start(display->displayID, configuration,
                                           [self](const platform::StreamFrame& frame) { self->stream(frame); })) {
    throw CaptureSystemError(*error);
  }
  co_return session;
}

void RecordSession::stream(const platform::StreamFrame& frame) {
  if (frame.image.isNull()) return;
  std::lock_guard lock(lock_);
  if (finishing_) return;
  if (!started_) {
    if (!writer_->startWriting()) return;  // the frame is dropped; the next one tries again
    writer_->startSession(frame.time);
    started_ = true;
  }
  if (writer_->isReadyForMoreMediaData()) {
    std::optional<platform::StreamFrame> cropped = frameCropper_ ? frameCropper_->crop(frame) : std::nullopt;
    if (clickMap_) cropped = markClicks(cropped ? *cropped : frame);
    if (writer_->append(cropped ? *cropped : frame)) ++appendedFrames_;
  }
  if (!failureReported_ && writer_->status() == platform::MovieWriterStatus::failed) {
    failureReported_ = true;
    platform::current().clock().after(0, [weak = weak_from_this()] {
      const auto session = weak.lock();
      if (session && session->onWriterFailure) session->onWriterFailure();
    });
  }
}

Task<std::optional<std::string>> RecordSession::finish() {
  if (watchingClicks_) platform::current().eventMonitors().stopWatchingClicks();
  watchingClicks_ = false;
  {
    std::lock_guard lock(lock_);
    finishing_ = true;
  }
  stream_->stop();
  for (auto& capture : sound_) capture->stop();
  bool started = false;
  {
    std::lock_guard lock(lock_);
    started = started_;
    if (started) writer_->markAsFinished();
  }
  // A writer that never started takes no finishing steps: there is no file to finish.
  if (started) {
    auto [finished, resume] = makeContinuation<bool>();
    auto& clock = platform::current().clock();
    writer_->finishWriting([&clock, resume]() mutable {
      // From the writer's thread: the flow resumes on the main thread.
      clock.after(0, [resume]() mutable { resume.returning(true); });
    });
    co_await finished;
  }
  if (!soundNote_.empty()) {
    platform::current().notifications().add({"vistrel.recording.sound", "Recorded without sound", soundNote_, false});
  }
  std::lock_guard lock(lock_);
  const auto status = writer_->status();
  if (status == platform::MovieWriterStatus::completed && appendedFrames_ > 0) {
    LayoutLog::write("record stop-ok frames=" + std::to_string(appendedFrames_) +
                     " file=" + std::filesystem::path(url_).filename().string());
    co_return url_;
  }
  LayoutLog::write("record finish-failed status=" + std::to_string(int(status)) +
                   " frames=" + std::to_string(appendedFrames_));
  co_return std::nullopt;
}

}  // namespace vistrel
