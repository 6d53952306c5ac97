#pragma once
// A display stream on X11: a capture thread with a connection of its own
// reads the monitor's pixels through MIT-SHM (PixelReader) at the frame
// interval and draws the pointer in from XFixes (CursorOverlay). XDamage on
// the root window tells whether anything was drawn since the last frame;
// when nothing was and the pointer kept its place and picture, the last
// frame is handed out again as unchanged, without reading the screen.
// Without XDamage every frame is read and compared with the last one.
//
// Frames go to the handler on the capture thread. Up to queueDepth frame
// buffers exist, each in shared memory the server writes into; one is reused
// once the handler's side has let go of it, and a frame for which none is
// free is dropped. A tick that comes too late
// (the handler or the read took longer than the interval) is skipped, not
// made up for.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/DisplayStream.h"
#include "platform/x11/Connection.h"
#include "platform/x11/CursorOverlay.h"
#include "platform/x11/PixelReader.h"

namespace vistrel::x11 {

class X11DisplayStream : public platform::DisplayStream {
 public:
  X11DisplayStream() = default;
  ~X11DisplayStream() override;

  std::optional<std::string> start(std::uint32_t displayID, const platform::StreamConfiguration& configuration,
                                   FrameHandler handler) override;
  void stop() override;

 private:
  // What the capture thread counted, written to stderr when it ends.
  struct Counts {
    long ticks = 0;
    long read = 0;        // frames read off the screen
    long unchanged = 0;   // frames handed out again without a read
    long late = 0;        // ticks skipped because the last one overran
    long noBuffer = 0;    // frames dropped: every buffer still held downstream
    long failed = 0;      // reads the server refused or did not answer
  };

  void warmUp();
  QImage newBuffer();
  void run();
  // Reads events, returns whether anything was drawn since the last call and re-arms the damage report.
  bool takeDamage();
  // A buffer for the next frame: a free one of the pool, a new one while the pool is not full, else none.
  std::optional<std::size_t> freeBuffer();
  // The next frame's pixels with the pointer drawn in; a null image when the read failed.
  QImage readFrame(std::size_t slot, const xcb_xfixes_get_cursor_image_reply_t* cursor);

  std::unique_ptr<Connection> connection_;
  std::unique_ptr<PixelReader> reader_;
  std::unique_ptr<CursorOverlay> cursor_;
  platform::StreamConfiguration configuration_;
  FrameHandler handler_;
  QRect area_;            // the pixels read, root coordinates
  std::uint8_t depth_ = 24;
  xcb_visualid_t visual_ = 0;
  xcb_damage_damage_t damage_ = 0;  // 0 without XDamage
  std::uint8_t damageEvent_ = 0;    // XDamage's first event code

  std::vector<QImage> pool_;
  QImage last_;  // the last frame handed out (also in the pool)
  struct CursorState {
    std::int16_t x = 0, y = 0;
    std::uint32_t serial = 0;
    friend bool operator==(const CursorState&, const CursorState&) = default;
  };
  std::optional<CursorState> lastCursor_;
  Counts counts_;

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;  // guarded by mutex_
};

}  // namespace vistrel::x11
