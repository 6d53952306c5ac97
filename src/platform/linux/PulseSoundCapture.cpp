#include "platform/linux/PulseSoundCapture.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <chrono>
#include <string>

namespace vistrel::desktop {

namespace {

constexpr std::size_t kFrameBytes = platform::SoundCapture::kChannels * sizeof(float);

double steadyNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

PulseSoundCapture::~PulseSoundCapture() { stop(); }

void PulseSoundCapture::onContextState(pa_context* context, void* self) {
  auto* capture = static_cast<PulseSoundCapture*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (!PA_CONTEXT_IS_GOOD(state)) capture->lose(pa_strerror(pa_context_errno(context)));
  pa_threaded_mainloop_signal(capture->loop_, 0);
}

void PulseSoundCapture::onStreamState(pa_stream* stream, void* self) {
  auto* capture = static_cast<PulseSoundCapture*>(self);
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (!PA_STREAM_IS_GOOD(state)) capture->lose(pa_strerror(pa_context_errno(capture->context_)));
  pa_threaded_mainloop_signal(capture->loop_, 0);
}

void PulseSoundCapture::lose(const char* reason) {
  if (running_.exchange(false) && lost_) lost_(reason);
}

void PulseSoundCapture::onRead(pa_stream* stream, std::size_t, void* self) {
  auto* capture = static_cast<PulseSoundCapture*>(self);
  while (pa_stream_readable_size(stream) > 0) {
    // A source's latency: how long ago the first sample waiting was recorded.
    // A monitor's is the sink's latency instead (how far ahead it renders),
    // which a new playback stream cuts short by rewinding: a monitor's sound
    // is taken to be heard as it arrives, its last sample now.
    pa_usec_t latency = 0;
    int negative = 0;
    const bool timed = pa_stream_get_latency(stream, &latency, &negative) >= 0;
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
    // A hole (data null) is left out: the writer lays the next samples by their time.
    if (data && timed && capture->running_) {
      const int frames = int(bytes / kFrameBytes);
      const double age = capture->monitor_ ? double(frames) / kSampleRate : double(latency) / 1e6 * (negative ? -1 : 1);
      capture->chunks_(static_cast<const float*>(data), frames, steadyNow() - age);
    }
    pa_stream_drop(stream);
  }
}

std::optional<std::string> PulseSoundCapture::start(platform::SoundSource source, ChunkHandler chunks,
                                                     LossHandler lost) {
  if (loop_) return std::string("already reading");
  chunks_ = std::move(chunks);
  monitor_ = source == platform::SoundSource::desktop;
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return std::string("out of memory");
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Vistrel");
  if (!context_) return stop(), std::string("out of memory");
  pa_context_set_state_callback(context_, &onContextState, this);
  // No server is no reason to start one.
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    std::string reason = pa_strerror(pa_context_errno(context_));
    stop();
    return reason;
  }
  running_ = true;  // until the context or the stream fails
  pa_threaded_mainloop_start(loop_);
  pa_threaded_mainloop_lock(loop_);
  std::optional<std::string> refused;
  while (pa_context_get_state(context_) != PA_CONTEXT_READY && running_) pa_threaded_mainloop_wait(loop_);
  if (running_) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, std::uint32_t(kSampleRate), std::uint8_t(kChannels)};
    stream_ = pa_stream_new(context_, source == platform::SoundSource::desktop ? "desktop sound" : "microphone",
                            &spec, nullptr);
  }
  if (stream_) {
    pa_stream_set_state_callback(stream_, &onStreamState, this);
    pa_stream_set_read_callback(stream_, &onRead, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = std::uint32_t(-1);
    attributes.fragsize = std::uint32_t(kSampleRate / 50 * kFrameBytes);  // 20 ms
    const char* device = source == platform::SoundSource::desktop ? "@DEFAULT_MONITOR@" : "@DEFAULT_SOURCE@";
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                         PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_, device, &attributes, flags) < 0) running_ = false;
    while (running_ && pa_stream_get_state(stream_) != PA_STREAM_READY) pa_threaded_mainloop_wait(loop_);
  }
  if (!running_ || !stream_) {
    refused = pa_strerror(pa_context_errno(context_));
  } else {
    lost_ = std::move(lost);  // from here a failure is a loss; before, it is the answer
  }
  pa_threaded_mainloop_unlock(loop_);
  if (refused) stop();
  return refused;
}

void PulseSoundCapture::stop() {
  if (!loop_) return;
  pa_threaded_mainloop_lock(loop_);
  running_ = false;
  if (stream_) {
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pa_threaded_mainloop_unlock(loop_);
  // The loop's thread has left every callback once it has stopped.
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
  loop_ = nullptr;
}

}  // namespace vistrel::desktop
