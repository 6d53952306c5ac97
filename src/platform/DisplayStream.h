#pragma once
// A running capture of one display: frames at a bounded rate, handed to the
// caller on a thread of the stream's own, for recordings.

#include <QImage>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ScreenCapture.h"

namespace vistrel::platform {

struct StreamFrame {
  // Format_RGB32 (B, G, R, X bytes in memory) at the configuration's size;
  // the X byte may be anything (read straight off the display, it is
  // undefined there), so it is for encoders and copies, not for compositing.
  // The stream reuses a frame's buffer once nobody holds the image any more.
  QImage image;
  // Presentation time in seconds on a monotonic clock of the stream's own.
  double time = 0;
  // False when no pixel differs from the previous frame's: `image` is then
  // that frame again, and a writer may extend it instead of encoding it anew.
  bool changed = true;
};

struct StreamConfiguration {
  CaptureConfiguration capture;        // size, cursor, and the part of the display
  double minimumFrameInterval = 0;     // seconds between frames, at least
  int queueDepth = 3;                  // frames held by the caller at once, at most
};

class DisplayStream {
 public:
  // Runs on the stream's thread, one frame at a time, in order.
  using FrameHandler = std::function<void(const StreamFrame& frame)>;

  virtual ~DisplayStream() = default;

  // Starts capturing the display; frames go to `handler` until stop(). None
  // once running, else why it could not start. Main thread.
  virtual std::optional<std::string> start(std::uint32_t displayID, const StreamConfiguration& configuration,
                                           FrameHandler handler) = 0;
  // Ends the capture and returns once the handler has returned for the last
  // time. Main thread; safe to call twice, and before start.
  virtual void stop() = 0;
};

}  // namespace vistrel::platform
