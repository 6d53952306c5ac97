#include "platform/x11/PixelReader.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <QtEndian>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/x11/ServerSync.h"

namespace vistrel::x11 {

namespace {

// 32-bit Z-pixmap words as `format` holds them; `to` may be `from`. The pad
// byte of a depth-24 pixel is undefined in X and must be 0xff in Format_RGB32.
void convert(std::uint32_t* to, const std::uint32_t* from, std::size_t count, QImage::Format format, bool swapBytes) {
  const std::uint32_t opaque = format == QImage::Format_RGB32 ? 0xff000000u : 0;
  if (swapBytes) {
    for (std::size_t i = 0; i < count; ++i) to[i] = qbswap(from[i]) | opaque;
  } else if (opaque) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i] | opaque;
  } else if (to != from) {
    std::memcpy(to, from, count * 4);
  }
}

}  // namespace

PixelReader::PixelReader(Connection& connection) : connection_(connection) {}

PixelReader::~PixelReader() {
  // Images of shared segments may outlive the reader: their memory stays mapped until they go.
  for (const SharedSegment& shared : sharedSegments_) xcb_shm_detach(connection_.raw(), shared.segment);
  freeSegment();
}

void PixelReader::freeSegment() {
  if (segment_) {
    xcb_shm_detach(connection_.raw(), segment_);
    connection_.flush();
    segment_ = 0;
  }
  if (memory_) shmdt(memory_);
  memory_ = nullptr;
  capacity_ = 0;
}

void PixelReader::choosePath(Deadline deadline) {
  const xcb_query_extension_reply_t* shm = extensionData(connection_, &xcb_shm_id, deadline);
  if (!shm) return;  // no answer: decide on a later capture
  if (shm->present) {
    path_ = Path::shared;
  } else {
    path_ = Path::copied;
    qInfo("vistrel x11: the X server has no MIT-SHM; screen capture copies pixels with GetImage");
  }
}

std::optional<std::pair<xcb_shm_seg_t, void*>> PixelReader::attachSegment(std::size_t bytes, Deadline deadline) {
  const auto refuse = [this](const char* why, int code) {
    path_ = Path::copied;
    qInfo("vistrel x11: shared memory for screen capture failed (%s %d); capture copies pixels with GetImage", why,
          code);
    return std::nullopt;
  };
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return refuse("shmget errno", errno);
  void* memory = shmat(id, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    const int error = errno;
    shmctl(id, IPC_RMID, nullptr);
    return refuse("shmat errno", error);
  }
  const xcb_shm_seg_t segment = xcb_generate_id(connection_.raw());
  const xcb_void_cookie_t attach[] = {xcb_shm_attach_checked(connection_.raw(), segment, std::uint32_t(id), 0)};
  const Checked checked = checkRequests(connection_, attach, deadline);
  // Marked for removal only now that the server has attached it (or failed
  // to): the memory goes when both sides have let go, even if we crash.
  shmctl(id, IPC_RMID, nullptr);
  if (checked.status != ReplyStatus::ok || checked.errors.front()) {
    shmdt(memory);
    // A server on another machine (or in another IPC namespace) cannot see the segment.
    if (checked.status == ReplyStatus::ok) return refuse("X error", checked.errors.front()->error_code);
    return std::nullopt;
  }
  if (!announced_) {
    announced_ = true;
    qInfo("vistrel x11: screen capture reads pixels through MIT-SHM");
  }
  return std::pair(segment, memory);
}

bool PixelReader::ensureSegment(std::size_t bytes, Deadline deadline) {
  if (segment_ && capacity_ >= bytes) return true;
  freeSegment();
  const auto attached = attachSegment(bytes, deadline);
  if (!attached) return false;
  segment_ = attached->first;
  memory_ = attached->second;
  capacity_ = bytes;
  return true;
}

namespace {

// The memory of a shared image: unmapped when the last copy of the image goes.
struct SharedMemory {
  explicit SharedMemory(void* mapped) : memory(mapped) {}
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;
  ~SharedMemory() { shmdt(memory); }
  void* memory;
};

void releaseSharedMemory(void* info) { delete static_cast<std::shared_ptr<SharedMemory>*>(info); }

}  // namespace

QImage PixelReader::sharedImage(QSize size, QImage::Format format, Deadline deadline) {
  if (path_ == Path::undecided) choosePath(deadline);
  const std::size_t bytes = std::size_t(size.width()) * std::size_t(size.height()) * 4;
  if (path_ != Path::shared || size.isEmpty() || (format != QImage::Format_RGB32 &&
                                                 format != QImage::Format_ARGB32_Premultiplied)) {
    return QImage(size, format);
  }
  const auto attached = attachSegment(bytes, deadline);
  if (!attached) return QImage(size, format);
  auto memory = std::make_shared<SharedMemory>(attached->second);
  // Segments whose images are all gone are let go by the server too.
  std::erase_if(sharedSegments_, [this](const SharedSegment& s) {
    if (!s.memory.expired()) return false;
    xcb_shm_detach(connection_.raw(), s.segment);
    return true;
  });
  sharedSegments_.push_back({attached->first, memory, attached->second});
  return QImage(static_cast<uchar*>(attached->second), size.width(), size.height(), qsizetype(size.width()) * 4, format,
                releaseSharedMemory, new std::shared_ptr<SharedMemory>(std::move(memory)));
}

std::string PixelReader::layoutProblem(std::uint8_t depth, xcb_visualid_t visual) const {
  const xcb_setup_t* setup = xcb_get_setup(connection_.raw());
  bool thirtyTwoBits = false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth == depth) thirtyTwoBits = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
  }
  const std::string what = "pixels of depth " + std::to_string(depth);
  if ((depth != 24 && depth != 32) || !thirtyTwoBits) return what + " are not 8-bit RGB";
  const xcb_screen_t* screen = screenOf(connection_);
  if (!screen) return what + ": no screen";
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
      if (v.data->visual_id != visual) continue;
      const bool rgb = v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
      return rgb ? std::string() : what + " are not in R, G, B order";
    }
  }
  return what + ": unknown visual";
}

Pixels PixelReader::read(xcb_drawable_t drawable, const QRect& area, std::uint8_t depth, xcb_visualid_t visual,
                         Deadline deadline, QImage reuse) {
  Pixels pixels;
  if (area.isEmpty() || area.width() > 0xffff || area.height() > 0xffff) {
    pixels.unsupported = "an empty or oversized area";
    return pixels;
  }
  pixels.unsupported = layoutProblem(depth, visual);
  if (!pixels.unsupported.empty()) return pixels;
  const QImage::Format format = depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  const bool serverMsbFirst = xcb_get_setup(connection_.raw())->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  const bool swapBytes = serverMsbFirst != (Q_BYTE_ORDER == Q_BIG_ENDIAN);
  const std::size_t bytes = std::size_t(area.width()) * std::size_t(area.height()) * 4;
  const auto x = std::int16_t(area.x()), y = std::int16_t(area.y());
  const auto width = std::uint16_t(area.width()), height = std::uint16_t(area.height());

  if (path_ == Path::undecided) choosePath(deadline);
  const bool ownSegment = reuse.width() == width && reuse.height() == height && reuse.format() == format &&
                          reuse.isDetached();
  if (path_ == Path::shared && ownSegment) {
    const auto shared = std::find_if(sharedSegments_.begin(), sharedSegments_.end(), [&](const SharedSegment& s) {
      return !s.memory.expired() && s.address == reuse.constBits();
    });
    if (shared != sharedSegments_.end()) {
      // Straight into the image: no copy, and the pad byte of depth-24 pixels stays what the server left.
      auto request = connection_.request<xcb_shm_get_image_reply_t>(xcb_shm_get_image(
          connection_.raw(), drawable, x, y, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, shared->segment, 0));
      auto reply = request.get(deadline);
      pixels.status = reply.status;
      if (reply.error) pixels.errorCode = reply.error->error_code;
      if (!reply) return pixels;
      if (swapBytes) {
        auto* data = reinterpret_cast<std::uint32_t*>(reuse.bits());
        convert(data, data, std::size_t(width) * height, format, swapBytes);
      }
      pixels.image = std::move(reuse);
      return pixels;
    }
  }
  if (path_ == Path::shared && ensureSegment(bytes, deadline)) {
    auto request = connection_.request<xcb_shm_get_image_reply_t>(xcb_shm_get_image(
        connection_.raw(), drawable, x, y, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0));
    auto reply = request.get(deadline);
    pixels.status = reply.status;
    if (reply.error) pixels.errorCode = reply.error->error_code;
    if (!reply) return pixels;
    // Copied out: the segment is the next capture's.
    QImage image = ownSegment ? std::move(reuse) : QImage(width, height, format);
    if (image.isNull()) return pixels;
    convert(reinterpret_cast<std::uint32_t*>(image.bits()), static_cast<const std::uint32_t*>(memory_),
            std::size_t(width) * height, format, swapBytes);
    pixels.image = std::move(image);
    return pixels;
  }
  if (path_ == Path::shared) {
    pixels.status = ReplyStatus::timedOut;  // the segment could not be set up in time
    return pixels;
  }
  auto request = connection_.request<xcb_get_image_reply_t>(
      xcb_get_image(connection_.raw(), XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, x, y, width, height, ~0u));
  auto reply = request.get(deadline);
  pixels.status = reply.status;
  if (reply.error) pixels.errorCode = reply.error->error_code;
  if (!reply) return pixels;
  if (std::size_t(xcb_get_image_data_length(reply.value.get())) < bytes) {
    pixels.unsupported = "a short GetImage reply";
    return pixels;
  }
  // The image keeps the reply's buffer (fixed up in place) instead of copying
  // it: fresh memory is what a capture of this size spends most time on.
  auto* data = reinterpret_cast<std::uint32_t*>(xcb_get_image_data(reply.value.get()));
  convert(data, data, std::size_t(width) * height, format, swapBytes);
  pixels.image = QImage(reinterpret_cast<uchar*>(data), width, height, qsizetype(width) * 4, format,
                        [](void* buffer) { std::free(buffer); }, reply.value.get());
  if (!pixels.image.isNull()) reply.value.release();
  return pixels;
}

}  // namespace vistrel::x11
