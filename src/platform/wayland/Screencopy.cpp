#include "platform/wayland/Screencopy.h"

#include <wayland-client.h>

#include "platform/wayland/ShmBuffer.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace vistrel::wayland {

namespace {

// What the compositor has said about one frame so far.
struct FrameState {
  std::optional<std::uint32_t> format;
  int width = 0, height = 0, stride = 0;
  bool buffersListed = false;  // buffer_done (version 3), or the buffer event before it
  std::uint32_t flags = 0;
  bool ready = false;
  bool failed = false;
};

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    .buffer = [](void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format, std::uint32_t width,
                 std::uint32_t height, std::uint32_t stride) {
      auto* state = static_cast<FrameState*>(data);
      state->format = format;
      state->width = int(width);
      state->height = int(height);
      state->stride = int(stride);
      // Before version 3 the one buffer event is all there is.
      if (zwlr_screencopy_frame_v1_get_version(frame) < 3) state->buffersListed = true;
    },
    .flags = [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
      static_cast<FrameState*>(data)->flags = flags;
    },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
      static_cast<FrameState*>(data)->ready = true;
    },
    .failed = [](void* data, zwlr_screencopy_frame_v1*) { static_cast<FrameState*>(data)->failed = true; },
    .damage = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .buffer_done = [](void* data, zwlr_screencopy_frame_v1*) { static_cast<FrameState*>(data)->buffersListed = true; },
};

// The QImage reading of a wl_shm format's memory on a little-endian machine
// (wl_shm formats name the bits of a 32-bit word). Invalid for the rest.
QImage::Format imageFormat(std::uint32_t format) {
  switch (format) {
    case WL_SHM_FORMAT_XRGB8888: return QImage::Format_RGB32;
    case WL_SHM_FORMAT_ARGB8888: return QImage::Format_ARGB32_Premultiplied;
    case WL_SHM_FORMAT_XBGR8888: return QImage::Format_RGBX8888;
    case WL_SHM_FORMAT_ABGR8888: return QImage::Format_RGBA8888_Premultiplied;
    default: return QImage::Format_Invalid;
  }
}

struct FrameDeleter {
  void operator()(zwlr_screencopy_frame_v1* frame) const { zwlr_screencopy_frame_v1_destroy(frame); }
};

}  // namespace

std::variant<QImage, CopyFault> copyOutput(WaylandConnection& connection, const Output& output,
                                           const std::optional<QRect>& region, bool withCursor, Deadline deadline) {
  zwlr_screencopy_manager_v1* manager = connection.screencopy();
  if (!manager) return CopyFault{"The compositor offers no screen copying (zwlr_screencopy_manager_v1)."};
  const std::int32_t cursor = withCursor ? 1 : 0;
  std::unique_ptr<zwlr_screencopy_frame_v1, FrameDeleter> frame(
      region ? zwlr_screencopy_manager_v1_capture_output_region(manager, cursor, output.output, region->x(),
                                                                 region->y(), region->width(), region->height())
             : zwlr_screencopy_manager_v1_capture_output(manager, cursor, output.output));
  FrameState state;
  zwlr_screencopy_frame_v1_add_listener(frame.get(), &kFrameListener, &state);

  if (!connection.dispatchUntil([&state] { return state.buffersListed || state.failed; }, deadline)) {
    return CopyFault{"The compositor did not offer the screen's frame in time."};
  }
  if (state.failed) return CopyFault{"The compositor refused to copy the screen."};
  if (!state.format) return CopyFault{"The compositor copies the screen only into graphics memory."};
  const QImage::Format format = imageFormat(*state.format);
  if (format == QImage::Format_Invalid) {
    return CopyFault{"The screen's pixel format (wl_shm " + std::to_string(*state.format) + ") is not supported."};
  }
  const auto buffer = ShmBuffer::create(connection.shm(), *state.format, state.width, state.height, state.stride);
  if (!buffer) return CopyFault{"There is not enough memory for the screen's image."};

  zwlr_screencopy_frame_v1_copy(frame.get(), buffer->buffer());
  if (!connection.dispatchUntil([&state] { return state.ready || state.failed; }, deadline)) {
    return CopyFault{"The compositor did not copy the screen in time."};
  }
  if (state.failed) return CopyFault{"The compositor failed to copy the screen."};

  // The buffer's memory goes with it: the image takes a copy, upright.
  const QImage view(buffer->data(), state.width, state.height, state.stride, format);
  QImage image = format == QImage::Format_RGB32 ? view.copy() : view.convertToFormat(QImage::Format_RGB32);
  if (state.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) image.mirror(false, true);
  if (image.isNull()) return CopyFault{"There is not enough memory for the screen's image."};
  return image;
}

}  // namespace vistrel::wayland
