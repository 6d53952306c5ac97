#pragma once
// A source of the PulseAudio server (or of PipeWire through pipewire-pulse),
// read through a threaded main loop of its own in fragments of about 20 ms:
// the desktop's sound is the default sink's monitor, the microphone the
// default source. A microphone fragment's time is now less the stream's
// latency (how long its first sample waited); a monitor's is when it came,
// less its own length (see onRead).

#include <atomic>

#include "platform/SoundCapture.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace vistrel::desktop {

class PulseSoundCapture : public platform::SoundCapture {
 public:
  PulseSoundCapture() = default;
  ~PulseSoundCapture() override;
  std::optional<std::string> start(platform::SoundSource source, ChunkHandler chunks, LossHandler lost) override;
  void stop() override;

 private:
  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  static void onRead(pa_stream* stream, std::size_t bytes, void* self);
  // On the loop's thread: reports the loss once.
  void lose(const char* reason);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  ChunkHandler chunks_;
  LossHandler lost_;
  bool monitor_ = false;  // the desktop's sound: a sink's monitor
  std::atomic<bool> running_ = false;  // chunks go out; false once lost or stopping
};

}  // namespace vistrel::desktop
