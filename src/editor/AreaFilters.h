#pragma once
// The renderer's two area effects on 32-bit premultiplied pixels: a Gaussian
// blur with extended edges and the pixel blocks of a mosaic.

#include <QImage>
#include <QRect>

namespace vistrel::AreaFilters {

// Standard deviation of the blur, in pixels.
inline constexpr double kBlurSigma = 16;
// Side of a mosaic block, in pixels.
inline constexpr int kBlockSide = 14;

// `area` (inside `surface`, which is 32 bits a pixel) blurred with a Gaussian
// of standard deviation 16, its edge pixels extended outward, the same size
// and format as the area. Small results live in memory kept for the calling
// thread: a result is valid until the next call on that thread.
QImage blurred(const QImage& surface, const QRect& area);

// `area` of `surface` scaled down to (width / 14) x (height / 14) pixels,
// each at least 1, by nearest sample; drawn back over the area without
// interpolation it makes blocks of about 14 pixels.
QImage blocks(const QImage& surface, const QRect& area);

}  // namespace vistrel::AreaFilters
