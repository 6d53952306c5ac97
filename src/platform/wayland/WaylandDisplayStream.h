#pragma once
// A display stream on wlroots compositors: a capture thread with a
// connection of its own asks for each frame with copy_with_damage, so the
// compositor answers only once something on the output has changed. A tick
// at which no new frame has come hands the last frame out again as
// unchanged; the request stays open for the next tick.
//
// Frames go to the handler on the capture thread. The compositor copies into
// one shared-memory buffer; each frame handed out is a copy in one of up to
// queueDepth pooled images, reused once the handler's side has let go of it.
// A frame for which no image is free is dropped, and a tick that comes too
// late (the handler took longer than the interval) is skipped, not made up for.

#include <QImage>
#include <QRect>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DisplayStream.h"
#include "platform/wayland/ShmBuffer.h"
#include "platform/wayland/WaylandConnection.h"

namespace vistrel::wayland {

class WaylandDisplayStream : public platform::DisplayStream {
 public:
  WaylandDisplayStream() = default;
  ~WaylandDisplayStream() override;

  std::optional<std::string> start(std::uint32_t displayID, const platform::StreamConfiguration& configuration,
                                   FrameHandler handler) override;
  void stop() override;

 private:
  struct Counts {
    long ticks = 0;
    long copied = 0;     // new frames the compositor copied
    long unchanged = 0;  // ticks that handed the last frame out again
    long late = 0;       // ticks skipped because the last one overran
    long noBuffer = 0;   // frames dropped: every pooled image still held downstream
    long failed = 0;     // copies the compositor refused or did not answer
  };

  void run();
  // A pooled image free for the next frame, or none.
  QImage* freeImage();
  // Copies the compositor's buffer into `target`, upright and at the configured size.
  void fill(QImage& target, const class ScreencopyFrame& frame) const;

  std::unique_ptr<WaylandConnection> connection_;
  const Output* output_ = nullptr;
  std::optional<QRect> region_;
  platform::StreamConfiguration configuration_;
  QSize size_;
  FrameHandler handler_;
  std::unique_ptr<ShmBuffer> buffer_;
  std::vector<QImage> pool_;
  Counts counts_;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool running_ = false;  // guarded by mutex_
};

}  // namespace vistrel::wayland
