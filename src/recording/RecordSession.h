#pragma once
// One recording: the display stream, the movie writer and, for an area, the
// cropper. Set up and finished on the main thread; frames arrive on the
// stream's own thread. The lock serialises the frame callback against
// finishing: no frame is appended once finishing has begun, and the input
// is marked finished exactly once.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Rect.h"
#include "base/Task.h"
#include "platform/DisplayStream.h"
#include "platform/MovieWriter.h"
#include "platform/SoundCapture.h"
#include "recording/ClickRings.h"
#include "recording/RecordingFrameCropper.h"

namespace vistrel {

// What a recording writes: H.264 in MPEG-4, or an animated GIF of at most 15 frames a second.
enum class RecordFormat { mp4, gif };

class RecordSession : public std::enable_shared_from_this<RecordSession> {
 public:
  static constexpr double kMinimumFrameInterval = 1.0 / 30;
  static constexpr double kGifFrameInterval = 1.0 / 15;
  static constexpr int kQueueDepth = 6;

  // Starts recording the display of `region` (screen points; none: the
  // display under the pointer, whole). Throws CaptureException (noDisplay,
  // encodeFailed) or CaptureSystemError (the stream's or the writer's own refusal).
  static Task<std::shared_ptr<RecordSession>> start(std::optional<Rect> region,
                                                    RecordFormat format = RecordFormat::mp4);

  // Stops the stream and closes the file; the file's path, or none when
  // nothing usable was written. Call once.
  Task<std::optional<std::string>> finish();

  // The stream's frame callback, on the stream's thread.
  void stream(const platform::StreamFrame& frame);

  // Runs once on the main thread when the writer fails while frames still
  // come (a full disk), unless finishing has begun.
  std::function<void()> onWriterFailure;

  ~RecordSession();
  RecordSession(const RecordSession&) = delete;
  RecordSession& operator=(const RecordSession&) = delete;

 private:
  RecordSession(std::unique_ptr<platform::DisplayStream> stream, std::unique_ptr<platform::MovieWriter> writer,
                std::optional<RecordingFrameCropper> cropper, std::string url);

  // Where a screen point lands in the frames, for "Show clicks".
  struct PixelMap {
    double minX = 0, maxY = 0;  // the display's frame (AppKit space)
    double scale = 1;           // pixels per point
    double cropLeft = 0, cropTop = 0;
  };
  void watchClicks(PixelMap map);
  // Starts the sound sources the setting names and gives the writer a track
  // for those that run; a source that cannot be read is logged and left out.
  void startSound();
  // Main thread: a source stopped or never started; noted for the user when the recording stops.
  void soundFailed(const std::string& line, const std::string& note);
  // Draws the rings showing at the frame's time; the frame is marked changed
  // while rings show and for the one after the last.
  platform::StreamFrame markClicks(platform::StreamFrame frame);

  std::unique_ptr<platform::DisplayStream> stream_;
  std::vector<std::unique_ptr<platform::SoundCapture>> sound_;  // main thread; stopped before the writer finishes
  std::string soundNote_;                                       // main thread
  std::unique_ptr<platform::MovieWriter> writer_;
  std::optional<RecordingFrameCropper> frameCropper_;
  std::string url_;

  std::mutex lock_;  // guards the fields below and every writer call
  bool started_ = false;
  bool finishing_ = false;
  std::int64_t appendedFrames_ = 0;
  bool failureReported_ = false;
  std::optional<PixelMap> clickMap_;
  std::vector<ClickMark> clicks_;  // start < 0: waiting for the first frame after the press
  bool ringsShown_ = false;
  bool watchingClicks_ = false;  // main thread
};

}  // namespace vistrel
