#include "platform/sim/SimRecording.h"

#include <QFile>

#include <functional>

namespace vistrel::sim {

namespace {

using platform::MovieWriterStatus;

class SimDisplayStream : public platform::DisplayStream {
 public:
  SimDisplayStream(SimRecording& recording, VirtualClock& clock, SimScreenCapture& capture)
      : recording_(recording), clock_(clock), capture_(capture) {}
  ~SimDisplayStream() override { stop(); }

  std::optional<std::string> start(std::uint32_t displayID, const platform::StreamConfiguration& configuration,
                                   FrameHandler handler) override {
    if (recording_.streamStartFailure) return recording_.streamStartFailure;
    recording_.streamStarts.push_back({displayID, configuration});
    ++recording_.runningStreams;
    running_ = std::make_shared<bool>(true);
    displayID_ = displayID;
    configuration_ = configuration;
    handler_ = std::move(handler);
    schedule();
    return std::nullopt;
  }

  void stop() override {
    if (!running_ || !*running_) return;
    *running_ = false;
    --recording_.runningStreams;
  }

 private:
  void schedule() {
    clock_.after(configuration_.minimumFrameInterval, [this, running = running_] {
      if (!*running) return;
      if (recording_.framesFlow) {
        auto picture = capture_.captureDisplay(displayID_, configuration_.capture);
        if (auto* image = std::get_if<QImage>(&picture)) {
          handler_({image->convertToFormat(QImage::Format_RGB32), clock_.uptime(), true});
        }
      }
      if (*running) schedule();
    });
  }

  SimRecording& recording_;
  VirtualClock& clock_;
  SimScreenCapture& capture_;
  std::shared_ptr<bool> running_;  // shared with the scheduled ticks, which outlive a stopped stream
  std::uint32_t displayID_ = 0;
  platform::StreamConfiguration configuration_;
  FrameHandler handler_;
};

class SimMovieWriter : public platform::MovieWriter {
 public:
  SimMovieWriter(SimRecording& recording, VirtualClock& clock, std::shared_ptr<SimMovie> movie)
      : recording_(recording), clock_(clock), movie_(std::move(movie)) {}

  bool canAdd(const platform::VideoSettings& settings) const override {
    return settings.width >= 2 && settings.height >= 2 && settings.width % 2 == 0 && settings.height % 2 == 0;
  }
  void add(const platform::VideoSettings& settings) override { movie_->settings = settings; }
  bool startWriting() override {
    if (movie_->status != MovieWriterStatus::unknown) return false;
    movie_->status = recording_.writerStartFails ? MovieWriterStatus::failed : MovieWriterStatus::writing;
    return movie_->status == MovieWriterStatus::writing;
  }
  void startSession(double sourceTime) override { movie_->sessionStart = sourceTime; }
  bool isReadyForMoreMediaData() const override {
    return movie_->status == MovieWriterStatus::writing && !movie_->markedFinished;
  }
  bool append(const platform::StreamFrame& frame) override {
    if (!isReadyForMoreMediaData()) return false;
    if (recording_.writerFailsAfterFrames && int(movie_->frameTimes.size()) >= *recording_.writerFailsAfterFrames) {
      movie_->status = MovieWriterStatus::failed;
      return false;
    }
    movie_->frameTimes.push_back(frame.time);
    movie_->lastFrame = frame.image;
    return true;
  }
  void markAsFinished() override { movie_->markedFinished = true; }
  void finishWriting(std::function<void()> completion) override {
    movie_->finishWritingCalled = true;
    if (movie_->status == MovieWriterStatus::writing) {
      QFile file(QString::fromStdString(movie_->path));
      const bool written = file.open(QIODevice::WriteOnly) &&
                           file.write(QByteArray::number(qsizetype(movie_->frameTimes.size())) + " frames\n") > 0;
      movie_->status = written ? MovieWriterStatus::completed : MovieWriterStatus::failed;
    }
    // Like the real writer's, the completion comes later and from elsewhere.
    if (completion) clock_.after(0, std::move(completion));
  }
  MovieWriterStatus status() const override { return movie_->status; }
  std::string errorDescription() const override {
    return movie_->status == MovieWriterStatus::failed ? "The simulated writer failed." : "";
  }

 private:
  SimRecording& recording_;
  VirtualClock& clock_;
  std::shared_ptr<SimMovie> movie_;
};

}  // namespace

std::unique_ptr<platform::DisplayStream> SimRecording::makeStream() {
  return std::make_unique<SimDisplayStream>(*this, clock_, capture_);
}

platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> SimRecording::makeWriter(const std::string& path) {
  if (writerCreationFailure) return platform::CaptureFault{*writerCreationFailure};
  auto movie = std::make_shared<SimMovie>();
  movie->path = path;
  movies.push_back(movie);
  return std::unique_ptr<platform::MovieWriter>(std::make_unique<SimMovieWriter>(*this, clock_, movie));
}

}  // namespace vistrel::sim
