#pragma once
// Reads rectangles of pixels off the X server into QImages: through a
// MIT-SHM segment when the server can share memory with us (a local
// server), else with plain GetImage, which copies every pixel through the
// socket. The segment is made on first use, grown when a larger image is
// asked for, and freed with the reader.
//
// Used by one thread at a time, with the connection it was made for.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/Connection.h"

namespace vistrel::x11 {

struct Pixels {
  QImage image;  // null unless status is ok and the error empty
  ReplyStatus status = ReplyStatus::disconnected;
  std::uint8_t errorCode = 0;  // the X error when status is xError
  std::string unsupported;     // set when the server's pixel layout cannot be read
};

class PixelReader {
 public:
  explicit PixelReader(Connection& connection);
  ~PixelReader();
  PixelReader(const PixelReader&) = delete;
  PixelReader& operator=(const PixelReader&) = delete;

  // The pixels of `area` (the drawable's coordinates) of a drawable of
  // `depth` whose visual is `visual` (for a pixmap, that of the window it
  // shows). Depth 32 gives Format_ARGB32_Premultiplied (X's ARGB visuals are
  // premultiplied), depth 24 Format_RGB32.
  //
  // `reuse`, when it has the area's size and format and nobody else holds it,
  // receives the pixels instead of a new image (through shared memory only):
  // fresh memory is what a capture of this size spends most time on. When it
  // is a sharedImage() of this reader, the server writes into it directly.
  Pixels read(xcb_drawable_t drawable, const QRect& area, std::uint8_t depth, xcb_visualid_t visual,
              Deadline deadline, QImage reuse = QImage());

  // An image whose memory is a shared memory segment of its own, for a caller
  // that reads the same area again and again (a recording): read() into it
  // copies nothing. Unlike other images, the pad byte of its depth-24 pixels
  // is whatever the server left there (X does not define it), not 0xff.
  // Without shared memory, a plain image. Its memory lives as long as the
  // image does, also past the reader.
  QImage sharedImage(QSize size, QImage::Format format, Deadline deadline);

 private:
  enum class Path { undecided, shared, copied };
  // Whether the segment holds `bytes`; makes or remakes it when it does not.
  bool ensureSegment(std::size_t bytes, Deadline deadline);
  // A new segment the server has attached, and where it is mapped here; none when refused.
  std::optional<std::pair<xcb_shm_seg_t, void*>> attachSegment(std::size_t bytes, Deadline deadline);
  void freeSegment();
  void choosePath(Deadline deadline);
  std::string layoutProblem(std::uint8_t depth, xcb_visualid_t visual) const;

  Connection& connection_;
  Path path_ = Path::undecided;
  xcb_shm_seg_t segment_ = 0;  // 0 while there is none
  void* memory_ = nullptr;
  std::size_t capacity_ = 0;
  bool announced_ = false;  // the shared path has been logged
  struct SharedSegment {
    xcb_shm_seg_t segment;
    std::weak_ptr<void> memory;  // alive while an image of it exists
    const void* address;
  };
  std::vector<SharedSegment> sharedSegments_;
};

}  // namespace vistrel::x11
