#pragma once
// Animated GIFs from stream frames, through FFmpeg: frames are kept while
// recording in a lossless file beside the GIF (FFV1; a GIF's one palette can
// only be chosen once every frame is known), and on finishing, palettegen
// chooses the palette from all of them and paletteuse maps each frame onto
// it for the GIF encoder, which writes only the rectangle that changed.
//
// At most one frame is kept per 1/14.3 s (GIF delays are whole hundredths
// of a second: 7 is the shortest that keeps to 15 frames a second); an
// unchanged frame lengthens the previous one instead. The threads are those
// of LibavMovieWriter: the caller's and a thread of the writer's own.

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/MovieWriter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace vistrel::desktop {

// Which frames a GIF keeps and when each starts, in hundredths of a second
// from the first. A changed frame that comes sooner than kMinimumDelay after
// the last one kept waits; a later changed frame whose turn has come takes
// its place and its turn, and an unchanged one lets it out at its turn, so
// the last picture of a burst of changes is never lost.
class GifFrameTimeline {
 public:
  static constexpr std::int64_t kMinimumDelay = 7;

  struct Decision {
    std::optional<std::int64_t> pendingAt;  // the waiting frame goes out first, starting then
    std::optional<std::int64_t> frameAt;    // this frame goes out, starting then
    bool waits = false;                     // this frame becomes the waiting one
  };

  // A frame `seconds` after the first.
  Decision offer(double seconds, bool changed);
  // When the waiting frame starts, if one waits, at the end.
  std::optional<std::int64_t> finish();
  // When the last frame kept ends: a frame's interval after the last one offered.
  std::int64_t end() const;

 private:
  bool kept_ = false;
  std::int64_t last_ = 0;     // start of the last frame kept
  std::optional<std::int64_t> waiting_;
  std::int64_t lastOffered_ = 0;
};

class LibavGifWriter : public platform::MovieWriter {
 public:
  explicit LibavGifWriter(std::string path);
  ~LibavGifWriter() override;

  bool canAdd(const platform::VideoSettings& settings) const override;
  void add(const platform::VideoSettings& settings) override { settings_ = settings; }
  bool startWriting() override;
  void startSession(double sourceTime) override { origin_ = sourceTime; }
  bool isReadyForMoreMediaData() const override;
  bool append(const platform::StreamFrame& frame) override;
  void markAsFinished() override;
  void finishWriting(std::function<void()> completion) override;
  platform::MovieWriterStatus status() const override { return status_.load(); }
  std::string errorDescription() const override;

 private:
  struct Item {
    QImage image;
    double time = 0;
    bool changed = true;
  };

  void run();
  void take(Item& item);
  bool keep(const QImage& image, std::int64_t pts);  // into the lossless file
  bool closeFrames();
  bool makeGif();
  void fail(const std::string& what, int error);

  std::string path_;
  std::string framesPath_;  // the lossless file, removed when done
  platform::VideoSettings settings_;
  double origin_ = 0;
  std::atomic<platform::MovieWriterStatus> status_{platform::MovieWriterStatus::unknown};

  // Writer thread only, once started.
  GifFrameTimeline timeline_;
  QImage waiting_;
  AVFormatContext* frames_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVPacket* packet_ = nullptr;
  long kept_ = 0;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<Item> queue_;
  bool inputFinished_ = false;
  bool finishing_ = false;
  std::function<void()> completion_;
  std::string error_;
  std::thread thread_;
};

}  // namespace vistrel::desktop
