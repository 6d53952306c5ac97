#include "platform/wayland/Screencopy.h"

#include <wayland-client.h>

#include "platform/wayland/ShmBuffer.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace vistrel::wayland {

ScreencopyFrame::ScreencopyFrame(WaylandConnection& connection, const Output& output,
                                 const std::optional<QRect>& region, bool withCursor) {
  zwlr_screencopy_manager_v1* manager = connection.screencopy();
  if (!manager) {
    failed_ = true;
    return;
  }
  const std::int32_t cursor = withCursor ? 1 : 0;
  frame_ = region ? zwlr_screencopy_manager_v1_capture_output_region(manager, cursor, output.output, region->x(),
                                                                      region->y(), region->width(), region->height())
                  : zwlr_screencopy_manager_v1_capture_output(manager, cursor, output.output);
  static const zwlr_screencopy_frame_v1_listener listener = {
      .buffer = &ScreencopyFrame::onBuffer,
      .flags = &ScreencopyFrame::onFlags,
      .ready = &ScreencopyFrame::onReady,
      .failed = &ScreencopyFrame::onFailed,
      .damage = &ScreencopyFrame::onDamage,
      .linux_dmabuf = &ScreencopyFrame::onDmabuf,
      .buffer_done = &ScreencopyFrame::onBufferDone,
  };
  zwlr_screencopy_frame_v1_add_listener(frame_, &listener, this);
}

ScreencopyFrame::~ScreencopyFrame() {
  if (frame_) zwlr_screencopy_frame_v1_destroy(frame_);
}

void ScreencopyFrame::onBuffer(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format, std::uint32_t width,
                               std::uint32_t height, std::uint32_t stride) {
  auto* self = static_cast<ScreencopyFrame*>(data);
  self->format_ = format;
  self->width_ = int(width);
  self->height_ = int(height);
  self->stride_ = int(stride);
  // Before version 3 the one buffer event is all there is.
  if (zwlr_screencopy_frame_v1_get_version(frame) < 3) self->described_ = true;
}

void ScreencopyFrame::onFlags(void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
  static_cast<ScreencopyFrame*>(data)->flags_ = flags;
}

void ScreencopyFrame::onReady(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
  static_cast<ScreencopyFrame*>(data)->ready_ = true;
}

void ScreencopyFrame::onFailed(void* data, zwlr_screencopy_frame_v1*) {
  static_cast<ScreencopyFrame*>(data)->failed_ = true;
}

void ScreencopyFrame::onDamage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
                               std::uint32_t) {}

void ScreencopyFrame::onDmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {}

void ScreencopyFrame::onBufferDone(void* data, zwlr_screencopy_frame_v1*) {
  static_cast<ScreencopyFrame*>(data)->described_ = true;
}

bool ScreencopyFrame::yInverted() const { return flags_ & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT; }

void ScreencopyFrame::copy(wl_buffer* buffer, bool whenDamaged) {
  if (whenDamaged && zwlr_screencopy_frame_v1_get_version(frame_) >= ZWLR_SCREENCOPY_FRAME_V1_COPY_WITH_DAMAGE_SINCE_VERSION) {
    zwlr_screencopy_frame_v1_copy_with_damage(frame_, buffer);
  } else {
    zwlr_screencopy_frame_v1_copy(frame_, buffer);
  }
}

QImage::Format imageFormat(std::uint32_t format) {
  switch (format) {
    case WL_SHM_FORMAT_XRGB8888: return QImage::Format_RGB32;
    case WL_SHM_FORMAT_ARGB8888: return QImage::Format_ARGB32_Premultiplied;
    case WL_SHM_FORMAT_XBGR8888: return QImage::Format_RGBX8888;
    case WL_SHM_FORMAT_ABGR8888: return QImage::Format_RGBA8888_Premultiplied;
    default: return QImage::Format_Invalid;
  }
}

std::variant<QImage, CopyFault> copyOutput(WaylandConnection& connection, const Output& output,
                                           const std::optional<QRect>& region, bool withCursor, Deadline deadline) {
  if (!connection.screencopy()) return CopyFault{"The compositor offers no screen copying (zwlr_screencopy_manager_v1)."};
  ScreencopyFrame frame(connection, output, region, withCursor);
  if (!connection.dispatchUntil([&frame] { return frame.described() || frame.failed(); }, deadline)) {
    return CopyFault{"The compositor did not offer the screen's frame in time."};
  }
  if (frame.failed()) return CopyFault{"The compositor refused to copy the screen."};
  if (!frame.format()) return CopyFault{"The compositor copies the screen only into graphics memory."};
  const QImage::Format format = imageFormat(*frame.format());
  if (format == QImage::Format_Invalid) {
    return CopyFault{"The screen's pixel format (wl_shm " + std::to_string(*frame.format()) + ") is not supported."};
  }
  const auto buffer = ShmBuffer::create(connection.shm(), *frame.format(), frame.width(), frame.height(), frame.stride());
  if (!buffer) return CopyFault{"There is not enough memory for the screen's image."};

  frame.copy(buffer->buffer(), false);
  if (!connection.dispatchUntil([&frame] { return frame.ready() || frame.failed(); }, deadline)) {
    return CopyFault{"The compositor did not copy the screen in time."};
  }
  if (frame.failed()) return CopyFault{"The compositor failed to copy the screen."};

  // The buffer's memory goes with it: the image takes a copy, upright.
  const QImage view(buffer->data(), frame.width(), frame.height(), frame.stride(), format);
  QImage image = format == QImage::Format_RGB32 ? view.copy() : view.convertToFormat(QImage::Format_RGB32);
  if (frame.yInverted()) image.mirror(false, true);
  if (image.isNull()) return CopyFault{"There is not enough memory for the screen's image."};
  return image;
}

}  // namespace vistrel::wayland
