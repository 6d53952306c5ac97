#pragma once
// A display stream fed by a PipeWire screen-cast node (the ScreenCast
// portal's): a PipeWire thread loop receives the frames the
// desktop sends, a capture thread of our own hands one out per tick.
//
// GNOME sends a frame only when something on the monitor changed, so a tick
// at which no new frame has come hands the last frame out again as unchanged
// (the keep-alive the movie writer needs for an even frame rate). Each frame
// handed out is a copy in one of up to queueDepth pooled images, reused once
// the handler's side has let go of it; a frame for which none is free is
// dropped, and a late tick is skipped, not made up for.
//
// start() opens the source's session on the main thread (the portal's chooser
// may show) and waits a bounded time for the first frame.

#include <QImage>
#include <QRect>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DisplayStream.h"
#include "platform/Screens.h"
#include "platform/linux/portal/ScreenCastSource.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;

namespace vistrel::portal {

class PipeWireDisplayStream : public platform::DisplayStream {
 public:
  // `screens` (for the display's size in points) must outlive this object.
  PipeWireDisplayStream(std::unique_ptr<ScreenCastSource> source, const platform::Screens& screens);
  ~PipeWireDisplayStream() override;

  std::optional<std::string> start(std::uint32_t displayID, const platform::StreamConfiguration& configuration,
                                   FrameHandler handler) override;
  void stop() override;

  // PipeWire's callbacks, on its thread loop.
  void onFormat(std::uint32_t format, int width, int height);
  void onFrame(const void* data, int stride, int height);
  void onError(const char* message);
  void onState(const char* state);
  // Takes the newest buffer PipeWire queued, copying its pixels when it has any.
  void drain();

 private:
  struct Counts {
    long buffers = 0;    // buffers PipeWire delivered
    long received = 0;   // of those, frames with pixels
    long ticks = 0;
    long fresh = 0;      // ticks that handed out a new frame
    long unchanged = 0;  // ticks that handed the last frame out again
    long late = 0;
    long noBuffer = 0;
  };

  void run();
  QImage* freeImage();
  void teardown();

  std::unique_ptr<ScreenCastSource> source_;
  const platform::Screens& screens_;
  std::uint32_t displayID_ = 0;
  platform::StreamConfiguration configuration_;
  FrameHandler handler_;
  std::vector<QImage> pool_;
  Counts counts_;

  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  struct Listener;
  std::unique_ptr<Listener> listener_;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // Guarded by mutex_: the latest frame PipeWire delivered, whole, as RGB32.
  bool running_ = false;
  QImage latest_;
  bool fresh_ = false;
  std::uint32_t format_ = 0;
  std::optional<std::string> error_;
  std::string state_ = "unconnected";  // PipeWire's stream state, for faults
};

}  // namespace vistrel::portal
