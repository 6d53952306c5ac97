#include "recording/RecordingFrameCropper.h"

#include <cmath>
#include <cstring>

namespace vistrel {

namespace {

// More buffers than the stream's queue depth: the writer and the encoder each hold one.
constexpr std::size_t kMaxBuffers = 8;

int evenSide(double value) {
  long v = std::lround(value);
  if (v < 3) return 2;
  return int(v - v % 2);
}

}  // namespace

std::optional<RecordingFrameCropper> RecordingFrameCropper::make(Rect cropRect) {
  const Rect rect = cropRect.integral();
  if (!(rect.width() > 2 && rect.height() > 2)) return std::nullopt;
  return RecordingFrameCropper(rect, evenSide(rect.width()), evenSide(rect.height()));
}

std::optional<platform::StreamFrame> RecordingFrameCropper::crop(const platform::StreamFrame& frame) {
  const QImage& source = frame.image;
  if (source.isNull() || source.depth() != 32) return std::nullopt;
  QImage* target = nullptr;
  for (QImage& buffer : pool_) {
    if (buffer.isDetached()) {
      target = &buffer;
      break;
    }
  }
  if (!target) {
    if (pool_.size() >= kMaxBuffers) return std::nullopt;
    QImage buffer(outputWidth_, outputHeight_, QImage::Format_RGB32);
    if (buffer.isNull()) return std::nullopt;
    pool_.push_back(std::move(buffer));
    target = &pool_.back();
  }

  // The crop keeps its bottom-left corner: an odd height loses the top row, an odd width the last column.
  const int left = int(cropRect_.minX());
  const int top = int(cropRect_.maxY()) - outputHeight_;
  const QRect wanted(left, top, outputWidth_, outputHeight_);
  const QRect inside = wanted & source.rect();
  if (inside != wanted) target->fill(Qt::black);
  const int offsetX = inside.x() - left;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    std::memcpy(target->scanLine(y - top) + std::size_t(offsetX) * 4,
                source.constScanLine(y) + std::size_t(inside.x()) * 4, std::size_t(inside.width()) * 4);
  }
  // A change elsewhere on the display leaves the area as it was: the writer need not encode it again.
  const bool changed = frame.changed && !(last_.size() == target->size() &&
                                          std::memcmp(last_.constBits(), target->constBits(),
                                                      std::size_t(target->sizeInBytes())) == 0);
  last_ = *target;
  return platform::StreamFrame{*target, frame.time, changed};
}

}  // namespace vistrel
