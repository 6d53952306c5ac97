#include "platform/wayland/WaylandDisplayStream.h"

#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/linux/FramePacer.h"
#include "platform/wayland/Screencopy.h"

namespace vistrel::wayland {

namespace {

// How long the compositor may take to describe a frame's buffer.
constexpr double kDescribeSeconds = 1.0;

double seconds(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

}  // namespace

WaylandDisplayStream::~WaylandDisplayStream() { stop(); }

std::optional<std::string> WaylandDisplayStream::start(std::uint32_t displayID,
                                                       const platform::StreamConfiguration& configuration,
                                                       FrameHandler handler) {
  if (thread_.joinable()) return "The stream is already running.";
  connection_ = WaylandConnection::connect(deadlineAfter(kConnectSeconds));
  if (!connection_) return "The compositor did not answer.";
  if (!connection_->screencopy()) return "The compositor offers no screen copying (zwlr_screencopy_manager_v1).";
  output_ = connection_->output(displayID);
  if (!output_) return "The display is not available.";

  const Rect layout = output_->layoutRect();
  const QRect whole(0, 0, int(std::lround(layout.w)), int(std::lround(layout.h)));
  region_.reset();
  if (const auto& r = configuration.capture.sourceRect) {
    const QRect area = QRectF(r->minX(), r->minY(), r->width(), r->height()).toAlignedRect() & whole;
    if (area.isEmpty()) return "The area to record lies outside the display.";
    if (area != whole) region_ = area;
  }
  const QRect logical = region_.value_or(whole);
  const double scale = output_->pixelScale();
  size_ = QSize(configuration.capture.width, configuration.capture.height);
  if (size_.isEmpty()) size_ = QSize(int(std::lround(logical.width() * scale)), int(std::lround(logical.height() * scale)));

  configuration_ = configuration;
  handler_ = std::move(handler);
  counts_ = {};
  pool_.clear();
  pool_.reserve(std::size_t(std::max(configuration.queueDepth, 2)));  // the run keeps pointers into it
  buffer_.reset();
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  thread_ = std::thread(&WaylandDisplayStream::run, this);
  return std::nullopt;
}

void WaylandDisplayStream::stop() {
  {
    std::lock_guard lock(mutex_);
    if (!running_ && !thread_.joinable()) return;
    running_ = false;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  qInfo("vistrel wayland: record stream %dx%d ticks=%ld copied=%ld unchanged=%ld late=%ld no-buffer=%ld failed=%ld",
        size_.width(), size_.height(), counts_.ticks, counts_.copied, counts_.unchanged, counts_.late,
        counts_.noBuffer, counts_.failed);
  pool_.clear();
  buffer_.reset();
  connection_.reset();
}

QImage* WaylandDisplayStream::freeImage() {
  for (QImage& image : pool_) {
    if (image.isDetached()) return &image;  // nobody downstream holds it
  }
  if (int(pool_.size()) >= std::max(configuration_.queueDepth, 2)) return nullptr;
  pool_.emplace_back(size_, QImage::Format_RGB32);
  return pool_.back().isNull() ? nullptr : &pool_.back();
}

void WaylandDisplayStream::fill(QImage& target, const ScreencopyFrame& frame) const {
  const QImage view(buffer_->data(), frame.width(), frame.height(), frame.stride(), imageFormat(*frame.format()));
  if (view.size() == target.size() && view.format() == QImage::Format_RGB32) {
    const int rowBytes = int(std::min<qsizetype>(view.bytesPerLine(), target.bytesPerLine()));
    for (int y = 0; y < view.height(); ++y) {
      const int from = frame.yInverted() ? view.height() - 1 - y : y;
      std::memcpy(target.scanLine(y), view.constScanLine(from), std::size_t(rowBytes));
    }
    return;
  }
  QImage converted = view.convertToFormat(QImage::Format_RGB32);
  if (frame.yInverted()) converted.mirror(false, true);
  target = converted.size() == target.size()
               ? converted
               : converted.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void WaylandDisplayStream::run() {
  desktop::FramePacer pacer(configuration_.minimumFrameInterval);
  std::unique_ptr<ScreencopyFrame> pending;  // a copy asked for, not answered yet
  QImage* last = nullptr;                    // the pooled image of the last frame handed out

  for (;;) {
    desktop::FramePacer::Beat beat;
    {
      std::unique_lock lock(mutex_);
      beat = pacer.wait(lock, wake_, [this] { return !running_; });
    }
    if (beat == desktop::FramePacer::Beat::stopped) break;
    if (beat == desktop::FramePacer::Beat::late) {
      ++counts_.late;
      continue;
    }
    ++counts_.ticks;

    if (!pending) {
      pending = std::make_unique<ScreencopyFrame>(*connection_, *output_, region_, configuration_.capture.showsCursor);
      const bool described = connection_->dispatchUntil(
          [&pending] { return pending->described() || pending->failed(); }, deadlineAfter(kDescribeSeconds));
      const bool usable = described && !pending->failed() && pending->format() &&
                          imageFormat(*pending->format()) != QImage::Format_Invalid;
      if (!usable) {
        ++counts_.failed;
        pending.reset();
        if (connection_->failed()) break;
        continue;
      }
      if (!buffer_ || buffer_->size() != std::size_t(pending->stride()) * std::size_t(pending->height())) {
        buffer_ = ShmBuffer::create(connection_->shm(), *pending->format(), pending->width(), pending->height(),
                                    pending->stride());
        if (!buffer_) break;
      }
      pending->copy(buffer_->buffer(), true);
    }
    // Until the next tick for the copy; the first one of a manager is answered at once.
    connection_->dispatchUntil([&pending] { return pending->ready() || pending->failed(); }, pacer.next());
    if (connection_->failed()) break;

    platform::StreamFrame frame;
    frame.time = seconds(std::chrono::steady_clock::now());
    if (pending->ready()) {
      QImage* image = freeImage();
      if (!image) {
        ++counts_.noBuffer;
        pending.reset();
        continue;
      }
      fill(*image, *pending);
      pending.reset();
      ++counts_.copied;
      last = image;
      frame.image = *image;
    } else if (pending->failed()) {
      ++counts_.failed;
      pending.reset();
      continue;
    } else if (last) {
      ++counts_.unchanged;
      frame.image = *last;
      frame.changed = false;
    } else {
      continue;
    }
    handler_(frame);
  }
}

}  // namespace vistrel::wayland
