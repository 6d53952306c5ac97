#pragma once
// Sound for recordings: one source of the sound server read as it comes,
// 48 kHz stereo 32-bit float, each chunk stamped with the time of its first
// sample on the monotonic clock the display streams stamp their frames with
// (std::chrono::steady_clock), so that a writer can lay both on one timeline.

#include <functional>
#include <optional>
#include <string>

namespace vistrel::platform {

enum class SoundSource { desktop, microphone };

class SoundCapture {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr int kChannels = 2;

  // `samples` holds `frames` interleaved stereo frames; on the capture's own thread.
  using ChunkHandler = std::function<void(const float* samples, int frames, double time)>;
  // Once, on the capture's thread, when the source stops giving sound (the
  // server quit, the device went away), with the reason; no chunk follows.
  using LossHandler = std::function<void(const std::string& reason)>;

  virtual ~SoundCapture() = default;
  // Connects to the server and starts reading. None once running, else why
  // not (no server, no such source). Main thread.
  virtual std::optional<std::string> start(SoundSource source, ChunkHandler chunks, LossHandler lost) = 0;
  // Returns once no handler runs any more. Safe to call twice and before start.
  virtual void stop() = 0;
};

}  // namespace vistrel::platform
