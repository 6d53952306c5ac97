#include "platform/linux/portal/PipeWireDisplayStream.h"

#include <pipewire/pipewire.h>
#include <spa/debug/types.h>
#include <spa/param/video/format-utils.h>
#include <spa/param/video/type-info.h>

#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <unistd.h>

#include "platform/linux/FramePacer.h"

namespace vistrel::portal {

namespace {

// How long the desktop may take to send the first frame once the session runs.
constexpr double kFirstFrameSeconds = 5.0;

double seconds(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

bool swapsRedAndBlue(std::uint32_t format) {
  return format == SPA_VIDEO_FORMAT_RGBx || format == SPA_VIDEO_FORMAT_RGBA;
}

}  // namespace

// PipeWire's stream events, forwarded to the stream object.
struct PipeWireDisplayStream::Listener {
  spa_hook hook{};
  pw_stream_events events{};
};

namespace {

void onParamChanged(void* data, uint32_t id, const spa_pod* param) {
  auto* self = static_cast<PipeWireDisplayStream*>(data);
  if (!param || id != SPA_PARAM_Format) return;
  uint32_t mediaType = 0, mediaSubtype = 0;
  if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
      mediaSubtype != SPA_MEDIA_SUBTYPE_raw) {
    return;
  }
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(param, &info) < 0) return;
  self->onFormat(info.format, int(info.size.width), int(info.size.height));
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
  auto* self = static_cast<PipeWireDisplayStream*>(data);
  self->onState(pw_stream_state_as_string(state));
  if (state == PW_STREAM_STATE_ERROR) self->onError(error ? error : "stream error");
}

}  // namespace

PipeWireDisplayStream::PipeWireDisplayStream(std::unique_ptr<ScreenCastSource> source,
                                             const platform::Screens& screens)
    : source_(std::move(source)), screens_(screens) {}

PipeWireDisplayStream::~PipeWireDisplayStream() { stop(); }

void PipeWireDisplayStream::onFormat(std::uint32_t format, int width, int height) {
  std::lock_guard lock(mutex_);
  format_ = format;
  latest_ = QImage(width, height, QImage::Format_RGB32);
}

void PipeWireDisplayStream::onFrame(const void* data, int stride, int height) {
  {
    std::lock_guard lock(mutex_);
    if (latest_.isNull()) return;
    const int rows = std::min(height, latest_.height());
    const auto rowBytes = std::size_t(std::min<qsizetype>(stride, latest_.bytesPerLine()));
    for (int y = 0; y < rows; ++y) {
      std::memcpy(latest_.scanLine(y), static_cast<const uchar*>(data) + std::ptrdiff_t(y) * stride, rowBytes);
    }
    if (swapsRedAndBlue(format_)) latest_.rgbSwap();
    fresh_ = true;
    ++counts_.received;
  }
  wake_.notify_all();
}

void PipeWireDisplayStream::onState(const char* state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

void PipeWireDisplayStream::onError(const char* message) {
  {
    std::lock_guard lock(mutex_);
    error_ = message;
  }
  wake_.notify_all();
}

std::optional<std::string> PipeWireDisplayStream::start(std::uint32_t displayID,
                                                        const platform::StreamConfiguration& configuration,
                                                        FrameHandler handler) {
  if (thread_.joinable() || loop_) return "The stream is already running.";
  auto opened = source_->open(displayID, configuration.capture.showsCursor);
  if (auto* why = std::get_if<std::string>(&opened)) return *why;
  const ScreenCastNode node = std::get<ScreenCastNode>(opened);

  pw_init(nullptr, nullptr);
  displayID_ = displayID;
  configuration_ = configuration;
  handler_ = std::move(handler);
  counts_ = {};
  pool_.clear();
  pool_.reserve(std::size_t(std::max(configuration.queueDepth, 2)));
  {
    std::lock_guard lock(mutex_);
    latest_ = QImage();
    fresh_ = false;
    error_.reset();
    state_ = "unconnected";
  }

  loop_ = pw_thread_loop_new("vistrel-cast", nullptr);
  context_ = loop_ ? pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0) : nullptr;
  if (!context_ || pw_thread_loop_start(loop_) < 0) {
    if (node.fd >= 0) ::close(node.fd);
    teardown();
    return "PipeWire could not start its loop.";
  }
  pw_thread_loop_lock(loop_);
  core_ = node.fd >= 0 ? pw_context_connect_fd(context_, node.fd, nullptr, 0) : pw_context_connect(context_, nullptr, 0);
  if (core_) {
    stream_ = pw_stream_new(core_, "vistrel-recording",
                            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                              PW_KEY_MEDIA_ROLE, "Screen", nullptr));
  }
  if (stream_) {
    listener_ = std::make_unique<Listener>();
    listener_->events.version = PW_VERSION_STREAM_EVENTS;
    listener_->events.param_changed = onParamChanged;
    listener_->events.state_changed = onStateChanged;
    listener_->events.process = [](void* data) {
      auto* self = static_cast<PipeWireDisplayStream*>(data);
      self->drain();
    };
    pw_stream_add_listener(stream_, &listener_->hook, &listener_->events, this);

    const int fps = int(std::clamp(std::lround(1.0 / std::max(configuration.minimumFrameInterval, 0.001)), 1L, 240L));
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_rectangle defaultSize = SPA_RECTANGLE(1920, 1080), minSize = SPA_RECTANGLE(1, 1),
                        maxSize = SPA_RECTANGLE(16384, 16384);
    const spa_fraction noRate = SPA_FRACTION(0, 1), wanted = SPA_FRACTION(uint32_t(fps), 1);
    const spa_pod* params[1];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,
        SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
        SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                               SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&noRate),
        SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&wanted, &noRate, &wanted)));
    if (pw_stream_connect(stream_, PW_DIRECTION_INPUT, node.nodeId,
                          pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params, 1) < 0) {
      onError("the stream could not connect to the node");
    }
  }
  pw_thread_loop_unlock(loop_);
  if (!core_ || !stream_) {
    teardown();
    return "PipeWire refused the screen-cast connection.";
  }

  std::unique_lock lock(mutex_);
  const bool answered = wake_.wait_for(lock, std::chrono::duration<double>(kFirstFrameSeconds),
                                       [this] { return fresh_ || error_.has_value(); });
  if (!answered || error_) {
    const std::string why = error_ ? "PipeWire: " + *error_
                                   : "The desktop sent no frame (stream " + state_ + ", " +
                                         std::to_string(counts_.buffers) + " empty buffers).";
    lock.unlock();
    teardown();
    return why;
  }
  running_ = true;
  lock.unlock();
  thread_ = std::thread(&PipeWireDisplayStream::run, this);
  return std::nullopt;
}

void PipeWireDisplayStream::drain() {
  // Only the newest queued buffer matters; the older ones go straight back.
  pw_buffer* newest = nullptr;
  while (pw_buffer* b = pw_stream_dequeue_buffer(stream_)) {
    if (newest) pw_stream_queue_buffer(stream_, newest);
    newest = b;
  }
  if (!newest) return;
  {
    std::lock_guard lock(mutex_);
    ++counts_.buffers;
  }
  const spa_data& data = newest->buffer->datas[0];
  // GNOME sends buffers without pixels when only the pointer moved or nothing changed.
  if (data.data && data.chunk && data.chunk->size > 0 && data.chunk->stride > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(data.data) + data.chunk->offset;
    onFrame(bytes, data.chunk->stride, int(data.chunk->size / std::uint32_t(data.chunk->stride)));
  }
  pw_stream_queue_buffer(stream_, newest);
}

void PipeWireDisplayStream::teardown() {
  if (loop_) pw_thread_loop_lock(loop_);
  if (stream_) {
    pw_stream_disconnect(stream_);
    pw_stream_destroy(stream_);
    stream_ = nullptr;
  }
  if (core_) {
    pw_core_disconnect(core_);
    core_ = nullptr;
  }
  if (loop_) pw_thread_loop_unlock(loop_);
  if (loop_) pw_thread_loop_stop(loop_);
  if (context_) {
    pw_context_destroy(context_);
    context_ = nullptr;
  }
  if (loop_) {
    pw_thread_loop_destroy(loop_);
    loop_ = nullptr;
  }
  listener_.reset();
  source_->close();
}

void PipeWireDisplayStream::stop() {
  {
    std::lock_guard lock(mutex_);
    if (!running_ && !thread_.joinable() && !loop_) return;
    running_ = false;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  teardown();
  qInfo("vistrel portal: record stream buffers=%ld received=%ld ticks=%ld fresh=%ld unchanged=%ld late=%ld no-buffer=%ld",
        counts_.buffers, counts_.received, counts_.ticks, counts_.fresh, counts_.unchanged, counts_.late, counts_.noBuffer);
  pool_.clear();
}

QImage* PipeWireDisplayStream::freeImage() {
  for (QImage& image : pool_) {
    if (image.isDetached()) return &image;  // nobody downstream holds it
  }
  if (int(pool_.size()) >= std::max(configuration_.queueDepth, 2)) return nullptr;
  pool_.emplace_back();
  return &pool_.back();
}

void PipeWireDisplayStream::run() {
  desktop::FramePacer pacer(configuration_.minimumFrameInterval);
  QImage* last = nullptr;

  // The part of the frame to record: the configured area, in the display's
  // points, scaled to the frame's pixels.
  Rect displayPoints;
  for (const auto& screen : screens_.screens()) {
    if (screen.displayID == displayID_) displayPoints = screen.frame;
  }
  for (;;) {
    std::unique_lock lock(mutex_);
    const auto beat = pacer.wait(lock, wake_, [this] { return !running_; });
    if (beat == desktop::FramePacer::Beat::stopped) break;
    if (beat == desktop::FramePacer::Beat::late) {
      ++counts_.late;
      continue;
    }
    ++counts_.ticks;

    platform::StreamFrame frame;
    frame.time = seconds(pacer.woke());
    if (fresh_) {
      QImage* image = freeImage();
      if (!image) {
        ++counts_.noBuffer;
        continue;
      }
      QRect area = latest_.rect();
      if (const auto& r = configuration_.capture.sourceRect; r && displayPoints.width() > 0) {
        const double scale = latest_.width() / displayPoints.width();
        area = QRectF(r->minX() * scale, r->minY() * scale, r->width() * scale, r->height() * scale).toAlignedRect() &
               latest_.rect();
      }
      QSize size(configuration_.capture.width, configuration_.capture.height);
      if (size.isEmpty()) size = area.size();
      *image = area == latest_.rect() && size == area.size()
                   ? latest_.copy()
                   : latest_.copy(area).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      fresh_ = false;
      ++counts_.fresh;
      last = image;
      frame.image = *image;
    } else if (last) {
      ++counts_.unchanged;
      frame.image = *last;
      frame.changed = false;
    } else {
      continue;
    }
    lock.unlock();
    handler_(frame);
  }
}

}  // namespace vistrel::portal
