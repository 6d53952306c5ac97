#include "editor/AreaFilters.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/LargeImage.h"

namespace vistrel::AreaFilters {

namespace {

// The blur is three box blurs (running sums, separable), the classic
// approximation of a Gaussian, run at half resolution: the area is averaged
// 2x2, blurred with σ ≈ 8 there and scaled back up bilinearly. A σ of 16
// leaves nothing above about 1/30 cycle a pixel, so the half-resolution copy
// loses nothing visible, at a quarter of the work: an 800x600 area takes
// about 1 ms, which lets a burn re-blur every area on every change. Box
// radii 7, 7, 8 there give σ² = 61.3 half pixels; with the 2x2 average and
// the bilinear scaling that is σ ≈ 15.7 full-size pixels. The radius 16 of
// the design is taken as the standard deviation, as blur filters' radii are.
constexpr int kBoxRadii[3] = {7, 7, 8};

// Every pass works on "positions" of 64 bytes: 16 pixels of one row (for the
// vertical passes) or one pixel of 16 rows (for the horizontal ones), so the
// inner loops have a fixed length the compiler turns into vector code.
constexpr int kLanes = 64;
constexpr int kBandRows = kLanes / 4;

// Results larger than this get memory of their own instead of the thread's
// kept buffers, so one huge blur does not pin its memory for good.
constexpr std::size_t kKeptBytes = std::size_t(16) << 20;

// The fixed-length lane loops below are what the blur's time goes into. They
// stay out of line so the compiler keeps their 16-bit multiply-high, and on
// x86-64 they are built twice, for AVX2 and for the SSE2 baseline, the
// better one picked once when the program loads.
#if defined(__x86_64__) && defined(__GNUC__)
#define VISTREL_LANE_KERNEL [[gnu::noinline, gnu::target_clones("avx2", "default")]]
#else
#define VISTREL_LANE_KERNEL [[gnu::noinline]]
#endif

struct Scratch {
  std::vector<std::uint8_t> half;   // the half-resolution copy, rows padded to kLanes bytes
  std::vector<std::uint8_t> lineA;  // one run of positions being blurred
  std::vector<std::uint8_t> lineB;
  std::vector<std::uint16_t> sums;  // row sums while scaling
  std::vector<std::uint8_t> even, odd;
  std::vector<std::uint8_t> result;
};

Scratch& scratch() {
  thread_local Scratch kept;
  return kept;
}

template <typename T>
T* sized(std::vector<T>& buffer, std::size_t count) {
  if (buffer.size() < count) buffer.resize(count);
  return buffer.data();
}

std::size_t roundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

// One position of a box pass: writes the mean of the window and slides it.
VISTREL_LANE_KERNEL void boxStep(std::uint8_t* __restrict out, std::uint16_t* __restrict sum,
                                 const std::uint8_t* __restrict add, const std::uint8_t* __restrict drop,
                                 std::uint16_t bias, std::uint16_t reciprocal) {
  for (int k = 0; k < kLanes; ++k) {
    out[k] = std::uint8_t((std::uint32_t(std::uint16_t(sum[k] + bias)) * reciprocal) >> 16);
    sum[k] = std::uint16_t(sum[k] + add[k] - drop[k]);
  }
}

// 64 lanes of two rows added, of two rows weighed 3:1, and of a row's
// pixels weighed 3:1 with their left and their right neighbours.
VISTREL_LANE_KERNEL void addRows(std::uint16_t* __restrict out, const std::uint8_t* __restrict a,
                                 const std::uint8_t* __restrict b) {
  for (int k = 0; k < kLanes; ++k) out[k] = std::uint16_t(a[k] + b[k]);
}

VISTREL_LANE_KERNEL void weighRows(std::uint16_t* __restrict out, const std::uint8_t* __restrict near,
                                   const std::uint8_t* __restrict far) {
  for (int k = 0; k < kLanes; ++k) out[k] = std::uint16_t(3 * near[k] + far[k]);
}

VISTREL_LANE_KERNEL void weighNeighbours(std::uint8_t* __restrict even, std::uint8_t* __restrict odd,
                                         const std::uint16_t* __restrict row) {
  for (int k = 0; k < kLanes; ++k) {
    even[k] = std::uint8_t((3 * row[k] + row[k - 4] + 8) >> 4);
    odd[k] = std::uint8_t((3 * row[k] + row[k + 4] + 8) >> 4);
  }
}

// A box of radius r over n positions of `source`, positions past either end
// reading as the end one. (sum + r) × ⌈65536 / (2r + 1)⌉ >> 16 is the rounded
// mean to within 0.1 and keeps 0 and 255 exact, so opaque stays opaque.
void boxPass(const std::uint8_t* source, std::uint8_t* target, int n, int r) {
  const int width = 2 * r + 1;
  const auto reciprocal = std::uint16_t((65536 + width - 1) / width);
  std::uint16_t sum[kLanes];
  for (int k = 0; k < kLanes; ++k) sum[k] = std::uint16_t((r + 1) * source[k]);
  for (int i = 1; i <= r; ++i) {
    const std::uint8_t* row = source + std::size_t(std::min(i, n - 1)) * kLanes;
    for (int k = 0; k < kLanes; ++k) sum[k] = std::uint16_t(sum[k] + row[k]);
  }
  for (int pos = 0; pos < n; ++pos) {
    const std::uint8_t* add = source + std::size_t(std::min(pos + r + 1, n - 1)) * kLanes;
    const std::uint8_t* drop = source + std::size_t(std::max(pos - r, 0)) * kLanes;
    boxStep(target + std::size_t(pos) * kLanes, sum, add, drop, std::uint16_t(r), reciprocal);
  }
}

// Three passes from `a`, ending in `b`.
void threeBoxes(std::uint8_t* a, std::uint8_t* b, int n) {
  boxPass(a, b, n, kBoxRadii[0]);
  boxPass(b, a, n, kBoxRadii[1]);
  boxPass(a, b, n, kBoxRadii[2]);
}

// The half-resolution copy: each pixel the mean of a 2x2 block, the last
// column and row repeated when the area's size is odd.
void halve(const QImage& surface, const QRect& area, std::uint8_t* half, std::size_t stride, int halfWidth,
           int halfHeight, std::uint16_t* sums) {
  const int w = area.width();
  const std::size_t rowBytes = std::size_t(w) * 4;
  for (int j = 0; j < halfHeight; ++j) {
    const int y0 = area.y() + 2 * j;
    const int y1 = area.y() + std::min(2 * j + 1, area.height() - 1);
    const std::uint8_t* top = surface.constScanLine(y0) + std::size_t(area.x()) * 4;
    const std::uint8_t* bottom = surface.constScanLine(y1) + std::size_t(area.x()) * 4;
    std::size_t k = 0;
    for (; k + kLanes <= rowBytes; k += kLanes) addRows(sums + k, top + k, bottom + k);
    for (; k < rowBytes; ++k) sums[k] = std::uint16_t(top[k] + bottom[k]);
    std::uint8_t* out = half + std::size_t(j) * stride;
    for (int i = 0; i < halfWidth; ++i) {
      const std::size_t left = std::size_t(2 * i) * 4;
      const std::size_t right = std::size_t(std::min(2 * i + 1, w - 1)) * 4;
      for (int c = 0; c < 4; ++c) out[4 * i + c] = std::uint8_t((sums[left + c] + sums[right + c] + 2) >> 2);
    }
  }
}

// Back to full size, bilinear: full pixel x sits at half x / 2 − 1/4, so even
// pixels weigh their neighbours 1:3 and odd ones 3:1, in both directions.
void doubleUp(const std::uint8_t* half, std::size_t stride, int halfWidth, int halfHeight, std::uint8_t* result,
              std::size_t resultStride, int w, int h, Scratch& s) {
  // One pixel of margin either side repeats the edge pixels.
  const std::size_t lanes = roundUp(std::size_t(halfWidth) * 4, kLanes);
  std::uint16_t* padded = sized(s.sums, lanes + 8 + kLanes);
  std::uint16_t* rows = padded + 4;
  std::uint8_t* even = sized(s.even, lanes);
  std::uint8_t* odd = sized(s.odd, lanes);
  for (int y = 0; y < h; ++y) {
    const int j = y / 2;
    const int near = j, far = (y % 2 == 0) ? std::max(j - 1, 0) : std::min(j + 1, halfHeight - 1);
    const std::uint8_t* a = half + std::size_t(near) * stride;
    const std::uint8_t* b = half + std::size_t(far) * stride;
    for (std::size_t k = 0; k < lanes; k += kLanes) weighRows(rows + k, a + k, b + k);
    for (int c = 0; c < 4; ++c) {
      padded[c] = rows[c];
      rows[std::size_t(halfWidth) * 4 + c] = rows[std::size_t(halfWidth - 1) * 4 + c];
    }
    for (std::size_t k = 0; k < lanes; k += kLanes) weighNeighbours(even + k, odd + k, rows + k);
    auto* out = reinterpret_cast<std::uint32_t*>(result + std::size_t(y) * resultStride);
    const auto* evens = reinterpret_cast<const std::uint32_t*>(even);
    const auto* odds = reinterpret_cast<const std::uint32_t*>(odd);
    for (int x = 0; x + 1 < w; x += 2) {
      out[x] = evens[x / 2];
      out[x + 1] = odds[x / 2];
    }
    if (w % 2) out[w - 1] = evens[w / 2];
  }
}

}  // namespace

QImage blurred(const QImage& surface, const QRect& area) {
  if (surface.depth() != 32) return blurred(surface.convertToFormat(QImage::Format_ARGB32_Premultiplied), area);
  const QRect inside = area & surface.rect();
  if (inside.isEmpty()) return {};
  Scratch& s = scratch();
  const int w = inside.width(), h = inside.height();
  const int halfWidth = (w + 1) / 2, halfHeight = (h + 1) / 2;
  const std::size_t stride = roundUp(std::size_t(halfWidth) * 4, kLanes);
  const int paddedRows = int(roundUp(std::size_t(halfHeight), kBandRows));
  std::uint8_t* half = sized(s.half, stride * std::size_t(paddedRows));
  const std::size_t longest = std::size_t(std::max(halfWidth, halfHeight)) * kLanes;
  std::uint8_t* a = sized(s.lineA, longest);
  std::uint8_t* b = sized(s.lineB, longest);

  halve(surface, inside, half, stride, halfWidth, halfHeight, sized(s.sums, std::size_t(w) * 4));

  // Along the rows, 16 rows at a time; the padding rows are blurred with
  // them and never read.
  for (int y0 = 0; y0 < paddedRows; y0 += kBandRows) {
    for (int x = 0; x < halfWidth; ++x)
      for (int g = 0; g < kBandRows; ++g)
        std::memcpy(a + std::size_t(x) * kLanes + g * 4, half + std::size_t(y0 + g) * stride + std::size_t(x) * 4, 4);
    threeBoxes(a, b, halfWidth);
    for (int x = 0; x < halfWidth; ++x)
      for (int g = 0; g < kBandRows; ++g)
        std::memcpy(half + std::size_t(y0 + g) * stride + std::size_t(x) * 4, b + std::size_t(x) * kLanes + g * 4, 4);
  }
  // Down the columns, 16 pixels at a time.
  for (std::size_t x0 = 0; x0 < stride; x0 += kLanes) {
    for (int y = 0; y < halfHeight; ++y)
      std::memcpy(a + std::size_t(y) * kLanes, half + std::size_t(y) * stride + x0, kLanes);
    threeBoxes(a, b, halfHeight);
    for (int y = 0; y < halfHeight; ++y)
      std::memcpy(half + std::size_t(y) * stride + x0, b + std::size_t(y) * kLanes, kLanes);
  }

  const std::size_t resultStride = std::size_t(w) * 4;
  QImage result;
  if (resultStride * std::size_t(h) > kKeptBytes) {
    result = makeLargeImage(w, h, surface.format());
    if (result.isNull()) return surface.copy(inside);
  } else {
    result = QImage(sized(s.result, resultStride * std::size_t(h)), w, h, qsizetype(resultStride), surface.format());
  }
  doubleUp(half, stride, halfWidth, halfHeight, result.bits(), std::size_t(result.bytesPerLine()), w, h, s);
  return result;
}

QImage blocks(const QImage& surface, const QRect& area) {
  const QRect inside = area & surface.rect();
  if (inside.isEmpty()) return {};
  if (surface.depth() % 8) return blocks(surface.convertToFormat(QImage::Format_ARGB32_Premultiplied), inside);
  const int w = std::max(inside.width() / kBlockSide, 1);
  const int h = std::max(inside.height() / kBlockSide, 1);
  // A view of the area in place: no copy of it is needed to sample it.
  const QImage view(surface.constScanLine(inside.y()) + std::size_t(inside.x()) * std::size_t(surface.depth() / 8),
                    inside.width(), inside.height(), surface.bytesPerLine(), surface.format());
  return view.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace vistrel::AreaFilters
