#pragma once
// Frames of an output, or of a region of it, through
// zwlr_screencopy_manager_v1 into shared-memory buffers. The compositor
// answers with the output's next rendered frame (6-8 ms for 1080p on sway).

#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/wayland/Deadline.h"
#include "platform/wayland/WaylandConnection.h"

struct wl_buffer;
struct zwlr_screencopy_frame_v1;

namespace vistrel::wayland {

struct CopyFault {
  std::string description;  // words for the user
};

// One frame in the making: the compositor first describes the buffer it
// wants (described()), the client copies into such a buffer, and the
// compositor answers with ready() or failed(). Events arrive while the
// connection dispatches; the object must not outlive it.
class ScreencopyFrame {
 public:
  // `region` is in the output's logical pixels (top-left origin); none takes the whole output.
  ScreencopyFrame(WaylandConnection& connection, const Output& output, const std::optional<QRect>& region,
                  bool withCursor);
  ~ScreencopyFrame();
  ScreencopyFrame(const ScreencopyFrame&) = delete;
  ScreencopyFrame& operator=(const ScreencopyFrame&) = delete;

  bool described() const { return described_; }
  bool ready() const { return ready_; }
  bool failed() const { return failed_; }
  // The shared-memory buffer wanted (once described); none when the
  // compositor copies only into graphics memory.
  std::optional<std::uint32_t> format() const { return format_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  bool yInverted() const;

  // Copies the frame into the buffer now, or (`whenDamaged`, version 2 and
  // up) once something on the output has changed since this manager's last copy.
  void copy(wl_buffer* buffer, bool whenDamaged);

 private:
  static void onBuffer(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
  static void onFlags(void*, zwlr_screencopy_frame_v1*, std::uint32_t);
  static void onReady(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t);
  static void onFailed(void*, zwlr_screencopy_frame_v1*);
  static void onDamage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);
  static void onDmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t);
  static void onBufferDone(void*, zwlr_screencopy_frame_v1*);

  zwlr_screencopy_frame_v1* frame_ = nullptr;
  std::optional<std::uint32_t> format_;
  int width_ = 0, height_ = 0, stride_ = 0;
  std::uint32_t flags_ = 0;
  bool described_ = false, ready_ = false, failed_ = false;
};

// The QImage reading of a wl_shm format's memory (wl_shm formats name the
// bits of a little-endian 32-bit word); Format_Invalid for the others.
QImage::Format imageFormat(std::uint32_t shmFormat);

// One frame, waited for up to the deadline: the output's device pixels,
// upright, in QImage::Format_RGB32. `region` must lie inside the output.
std::variant<QImage, CopyFault> copyOutput(WaylandConnection& connection, const Output& output,
                                           const std::optional<QRect>& region, bool withCursor, Deadline deadline);

}  // namespace vistrel::wayland
