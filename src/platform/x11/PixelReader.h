#pragma once
// Reads rectangles of pixels off the X server into QImages: through a
// MIT-SHM segment when the server can share memory with us (a local
// server), else with plain GetImage, which copies every pixel through the
// socket. The segment is made on first use, grown when a larger image is
// asked for, and freed with the reader.
//
// Main thread only; uses the backend's connection.

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <string>

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
  Pixels read(xcb_drawable_t drawable, const QRect& area, std::uint8_t depth, xcb_visualid_t visual,
              Deadline deadline);

 private:
  enum class Path { undecided, shared, copied };
  // Whether the segment holds `bytes`; makes or remakes it when it does not.
  bool ensureSegment(std::size_t bytes, Deadline deadline);
  void freeSegment();
  void choosePath(Deadline deadline);
  std::string layoutProblem(std::uint8_t depth, xcb_visualid_t visual) const;

  Connection& connection_;
  Path path_ = Path::undecided;
  xcb_shm_seg_t segment_ = 0;  // 0 while there is none
  void* memory_ = nullptr;
  std::size_t capacity_ = 0;
  bool announced_ = false;  // the shared path has been logged
};

}  // namespace vistrel::x11
