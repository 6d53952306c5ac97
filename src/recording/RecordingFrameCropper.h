#pragma once
// Cuts an area out of each frame of a whole-display stream, for area
// recordings. Output sizes are even (the encoder's 4:2:0 pictures need
// them); an odd crop loses its last column or its top row. Buffers are
// pooled and reused once the writer has let go of them; a crop equal to the
// last one is marked unchanged. Used on the stream's queue only.

#include <optional>
#include <vector>

#include <QImage>

#include "base/Rect.h"
#include "platform/DisplayStream.h"

namespace vistrel {

class RecordingFrameCropper {
 public:
  // `cropRect` in stream pixels, origin top-left; made integral. None when it
  // is not wider and taller than 2 pixels.
  static std::optional<RecordingFrameCropper> make(Rect cropRect);

  Rect cropRect() const { return cropRect_; }
  int outputWidth() const { return outputWidth_; }
  int outputHeight() const { return outputHeight_; }

  // The frame's crop at the output size, with the frame's time and change
  // mark; none when no buffer can be had (the caller writes the frame uncropped).
  std::optional<platform::StreamFrame> crop(const platform::StreamFrame& frame);

 private:
  RecordingFrameCropper(Rect cropRect, int width, int height)
      : cropRect_(cropRect), outputWidth_(width), outputHeight_(height) {}

  Rect cropRect_;
  int outputWidth_;
  int outputHeight_;
  std::vector<QImage> pool_;
  QImage last_;  // the last crop handed out (also in the pool)
};

}  // namespace vistrel
