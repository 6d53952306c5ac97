#include "capture/ImageStitcher.h"

#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include "base/LargeImage.h"

namespace vistrel::ImageStitcher {

namespace {

constexpr QImage::Format kResultFormat = QImage::Format_RGBA8888_Premultiplied;
constexpr int kNotCompared = 999;
// Mean channel difference below which rows count as showing the same content.
constexpr int kOverlapThreshold = 41;
// Largest mean channel difference of a frame that shows the page where it was.
constexpr int kUnchangedThreshold = 7;
constexpr int kProbeRows = 16;

// The alpha byte of an RGBA8888 pixel read as a native word.
constexpr quint32 kRgbaOpaque = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 0xff000000u : 0xffu;

// A QRgb word (0xAARRGGBB) as the native word of the bytes R, G, B, A.
constexpr quint32 argbToRgba(quint32 p) {
  if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
    return (p & 0xff00ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
  else
    return (p << 8) | (p >> 24);
}

// Whole blocks of 8 words let the compiler vectorise the loop without a scalar remainder.
template <typename Convert>
void convertWords(const quint32* __restrict source, quint32* __restrict target, int count, Convert convert) {
  const int blocked = count & ~7;
  for (int i = 0; i < blocked; ++i) target[i] = convert(source[i]);
  for (int i = blocked; i < count; ++i) target[i] = convert(source[i]);
}

// The pixels of one image as premultiplied RGBA. The 32-bit formats screen
// captures come in are read where they lie; any other format is converted once.
class Pixels {
 public:
  explicit Pixels(const QImage& image) {
    switch (image.format()) {
      case QImage::Format_RGB32: layout_ = Layout::xrgb; image_ = image; break;
      case QImage::Format_ARGB32_Premultiplied: layout_ = Layout::argb; image_ = image; break;
      case QImage::Format_RGBX8888: layout_ = Layout::rgbx; image_ = image; break;
      case QImage::Format_RGBA8888_Premultiplied: layout_ = Layout::rgba; image_ = image; break;
      default:
        layout_ = Layout::rgba;
        if (!image.isNull()) image_ = image.convertToFormat(kResultFormat);
        break;
    }
    bits_ = image_.constBits();
    stride_ = image_.bytesPerLine();
  }

  bool isNull() const { return image_.isNull(); }
  int width() const { return image_.width(); }
  int height() const { return image_.height(); }

  // Colour channels of pixel (x, y), premultiplied.
  void rgb(int x, int y, std::uint8_t* out) const {
    const std::uint8_t* p = bits_ + qsizetype(y) * stride_ + 4 * x;
    if (layout_ == Layout::rgba || layout_ == Layout::rgbx) {
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
    } else {
      const QRgb value = qFromUnaligned<QRgb>(p);
      out[0] = std::uint8_t(qRed(value));
      out[1] = std::uint8_t(qGreen(value));
      out[2] = std::uint8_t(qBlue(value));
    }
  }

  // Writes row y as RGBA bytes (4 x width) to out, which is 4-byte aligned
  // like every QImage row; formats without alpha come out opaque.
  void rgbaRow(int y, std::uint8_t* out) const {
    // QImage rows are 4-byte aligned, so the 32-bit formats read as words.
    const auto* source = reinterpret_cast<const quint32*>(bits_ + qsizetype(y) * stride_);
    auto* target = reinterpret_cast<quint32*>(out);
    const int w = width();
    switch (layout_) {
      case Layout::rgba: std::memcpy(out, source, std::size_t(4) * w); break;
      case Layout::rgbx: convertWords(source, target, w, [](quint32 p) { return p | kRgbaOpaque; }); break;
      case Layout::xrgb: convertWords(source, target, w, [](quint32 p) { return argbToRgba(p | 0xff000000u); }); break;
      case Layout::argb: convertWords(source, target, w, argbToRgba); break;
    }
  }

 private:
  enum class Layout { xrgb, argb, rgbx, rgba };
  QImage image_;
  Layout layout_ = Layout::rgba;
  const std::uint8_t* bits_ = nullptr;
  qsizetype stride_ = 0;
};

// The columns every comparison samples for images m pixels wide.
std::vector<int> sampledColumns(int m) {
  std::vector<int> columns;
  if (m <= 8) return columns;
  const int step = m < 192 ? 8 : m / 24;
  for (int x = 4; x < m - 4; x += step) columns.push_back(x);
  return columns;
}

int absoluteDifference(const std::uint8_t* a, const std::uint8_t* b, int count) {
  const int blocked = count & ~15;  // vectorised, as in convertWords
  int sum = 0;
  for (int i = 0; i < blocked; ++i) sum += std::abs(int(a[i]) - int(b[i]));
  for (int i = blocked; i < count; ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum;
}

// Fills the colours of row y at the sampled columns, 3 bytes each.
using RowReader = std::function<void(int y, const std::vector<int>& columns, std::uint8_t* out)>;

RowReader readerOf(const Pixels& pixels) {
  return [&pixels](int y, const std::vector<int>& columns, std::uint8_t* out) {
    for (std::size_t i = 0; i < columns.size(); ++i) pixels.rgb(columns[i], y, out + 3 * i);
  };
}

// The sampled colours of consecutive rows, with whether each row is one colour
// at every sampled column (a blank row between lines of text, for instance).
struct Band {
  int stride = 0;
  std::vector<std::uint8_t> bytes;
  std::vector<char> blank;

  const std::uint8_t* row(int i) const { return bytes.data() + std::size_t(i) * stride; }
};

bool isBlank(const std::uint8_t* row, int stride) {
  for (int c = 3; c < stride; c += 3)
    if (row[c] != row[0] || row[c + 1] != row[1] || row[c + 2] != row[2]) return false;
  return true;
}

Band readBand(const RowReader& read, int first, int count, const std::vector<int>& columns) {
  Band band;
  band.stride = int(columns.size()) * 3;
  band.bytes.resize(std::size_t(count) * band.stride);
  band.blank.resize(std::size_t(count));
  for (int i = 0; i < count; ++i) {
    std::uint8_t* row = band.bytes.data() + std::size_t(i) * band.stride;
    read(first + i, columns, row);
    band.blank[std::size_t(i)] = isBlank(row, band.stride);
  }
  return band;
}

// A mean difference as a fraction: compared exactly, never rounded.
struct Score {
  std::int64_t sum = 0;
  std::int64_t rows = 1;
};

bool lessThan(const Score& a, const Score& b) { return a.sum * b.rows < b.sum * a.rows; }

// The overlap search. Every candidate overlap k is scored over all of its row
// pairs (sampled columns); pairs of equal one-colour rows count for nothing,
// so blank stretches neither make a wrong candidate look good nor dilute a
// mismatch. The lowest mean wins, the larger k among equal means. Candidates
// are tried in the order a few probe rows suggest, and a candidate stops as
// soon as it can no longer win, so the result does not depend on that order.
int searchOverlap(const RowReader& previous, int previousHeight, int previousWidth, const RowReader& next,
                  int nextHeight, int nextWidth) {
  const int h = std::min(previousHeight, nextHeight);
  if (h < 21) return 0;
  const int fallback = int(0.2 * h);
  const int lo = std::max(int(0.12 * h), 8);
  const int hi = h - 1;
  const std::vector<int> columns = sampledColumns(std::min(previousWidth, nextWidth));
  if (columns.empty()) return fallback;

  // before.row(hi - k + i) is row (previous height - k + i); after.row(i) is row i of next.
  const Band before = readBand(previous, previousHeight - hi, hi, columns);
  const Band after = readBand(next, 0, hi, columns);
  const int stride = before.stride;

  std::vector<int> content;
  for (int i = 0; i < lo; ++i)
    if (!after.blank[std::size_t(i)]) content.push_back(i);
  if (content.empty())
    for (int i = 0; i < lo; ++i) content.push_back(i);
  std::vector<int> probes;
  const int probeCount = std::min<int>(kProbeRows, int(content.size()));
  for (int j = 0; j < probeCount; ++j) probes.push_back(content[std::size_t(j) * content.size() / probeCount]);

  std::vector<std::pair<std::int64_t, int>> order;  // (probe difference, k)
  order.reserve(std::size_t(hi - lo + 1));
  for (int k = hi; k >= lo; --k) {
    std::int64_t sum = 0;
    for (int i : probes) sum += absoluteDifference(before.row(hi - k + i), after.row(i), stride);
    order.emplace_back(sum, k);
  }
  std::sort(order.begin(), order.end(),
            [](const auto& a, const auto& b) { return a.first != b.first ? a.first < b.first : a.second > b.second; });

  int bestK = -1;
  Score best;
  for (const auto& [probeSum, k] : order) {
    Score score{0, 0};
    bool beaten = false;
    for (int i = 0; i < k && !beaten; ++i) {
      const std::uint8_t* a = before.row(hi - k + i);
      const std::uint8_t* b = after.row(i);
      const bool bothBlank = before.blank[std::size_t(hi - k + i)] && after.blank[std::size_t(i)];
      const int difference = bothBlank && std::memcmp(a, b, 3) == 0 ? 0 : absoluteDifference(a, b, stride);
      if (difference == 0 && bothBlank) continue;
      score.sum += difference;
      ++score.rows;
      // score.sum / k is the least mean this candidate can still reach.
      if (bestK >= 0) {
        const std::int64_t bound = score.sum * best.rows, held = best.sum * k;
        beaten = bound > held || (bound == held && k < bestK);
      }
    }
    if (beaten) continue;
    score.rows = std::max<std::int64_t>(score.rows, 1);
    if (bestK < 0 || lessThan(score, best) || (!lessThan(best, score) && k > bestK)) {
      bestK = k;
      best = score;
    }
  }
  if (bestK >= 0 && best.sum < std::int64_t(kOverlapThreshold) * best.rows * stride) return bestK;
  return fallback;
}

// One stretch of the stitched image: rows of a source frame placed at `top`.
struct Piece {
  const Pixels* pixels;
  int sourceTop;
  int rows;
  int top;
};

// Writes the pieces, converted to the result format, into a new image of the
// given width; columns a narrower piece does not cover stay transparent.
std::optional<QImage> compose(const std::vector<Piece>& pieces, int width, int height) {
  QImage result = makeLargeImage(width, height, kResultFormat);
  if (result.isNull()) return std::nullopt;
  for (const Piece& piece : pieces) {
    const std::size_t covered = std::size_t(4) * piece.pixels->width();
    for (int i = 0; i < piece.rows; ++i) {
      std::uint8_t* row = result.scanLine(piece.top + i);
      piece.pixels->rgbaRow(piece.sourceTop + i, row);
      std::memset(row + covered, 0, std::size_t(4) * width - covered);
    }
  }
  return result;
}

// The rows of next that an append keeps: the bottom `keep` rows.
std::optional<int> keptRows(int nextHeight, int skippingTop) {
  const int skipped = std::min(skippingTop, nextHeight - 1);
  const int keep = std::max(nextHeight - skipped, 1);
  if (nextHeight <= 0 || keep > nextHeight) return std::nullopt;
  return keep;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> sample(const QImage& image) {
  const Pixels pixels(image);
  if (pixels.isNull()) return std::nullopt;
  const std::size_t rowBytes = std::size_t(4) * pixels.width();
  std::vector<std::uint8_t> buffer(rowBytes * pixels.height());
  std::vector<quint32> row(std::size_t(pixels.width()));
  for (int y = 0; y < pixels.height(); ++y) {
    pixels.rgbaRow(y, reinterpret_cast<std::uint8_t*>(row.data()));
    std::memcpy(buffer.data() + rowBytes * y, row.data(), rowBytes);
  }
  return buffer;
}

int rowDifference(const QImage& a, int y, const QImage& b, int y2, int rows) {
  const Pixels first(a), second(b);
  if (first.isNull() || second.isNull()) return kNotCompared;
  const std::vector<int> columns = sampledColumns(std::min(first.width(), second.width()));
  std::int64_t sum = 0, count = 0;
  std::uint8_t p[3], q[3];
  for (int i = 0; i < rows; ++i) {
    const int ya = y + i, yb = y2 + i;
    if (ya < 0 || ya >= first.height() || yb < 0 || yb >= second.height()) continue;
    for (int x : columns) {
      first.rgb(x, ya, p);
      second.rgb(x, yb, q);
      sum += absoluteDifference(p, q, 3);
      count += 3;
    }
  }
  return count == 0 ? kNotCompared : int(sum / count);
}

int overlapRows(const QImage& previous, const QImage& next) {
  const Pixels before(previous), after(next);
  return searchOverlap(readerOf(before), before.height(), before.width(), readerOf(after), after.height(),
                       after.width());
}

std::optional<QImage> append(const QImage& previous, const QImage& next, int skippingTop) {
  const Pixels before(previous), after(next);
  const std::optional<int> keep = keptRows(after.height(), skippingTop);
  if (after.isNull() || !keep) return std::nullopt;
  std::vector<Piece> pieces{{&after, after.height() - *keep, *keep, before.height()}};
  if (!before.isNull()) pieces.insert(pieces.begin(), Piece{&before, 0, before.height(), 0});
  return compose(pieces, std::max(before.width(), after.width()), before.height() + *keep);
}

// Joins like appending each image to the result so far, but composes the
// result once: each overlap is searched against the pieces the result would
// be made of, read straight from the frames.
std::optional<QImage> vertical(const std::vector<QImage>& images) {
  if (images.empty()) return std::nullopt;
  std::vector<Pixels> frames;
  frames.reserve(images.size());
  for (const QImage& image : images) frames.emplace_back(image);

  std::vector<Piece> pieces;
  if (!frames[0].isNull()) pieces.push_back({&frames[0], 0, frames[0].height(), 0});
  int width = frames[0].width(), height = frames[0].height();
  const RowReader stitched = [&pieces](int y, const std::vector<int>& columns, std::uint8_t* out) {
    const auto piece = std::prev(std::upper_bound(pieces.begin(), pieces.end(), y,
                                                  [](int row, const Piece& p) { return row < p.top; }));
    const int sourceRow = piece->sourceTop + y - piece->top;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] < piece->pixels->width())
        piece->pixels->rgb(columns[i], sourceRow, out + 3 * i);
      else
        std::memset(out + 3 * i, 0, 3);
    }
  };

  for (std::size_t n = 1; n < frames.size(); ++n) {
    const Pixels& frame = frames[n];
    if (frame.isNull()) break;
    const int overlap = searchOverlap(stitched, height, width, readerOf(frame), frame.height(), frame.width());
    const std::optional<int> keep = keptRows(frame.height(), overlap);
    if (!keep) break;
    pieces.push_back({&frame, frame.height() - *keep, *keep, height});
    height += *keep;
    width = std::max(width, frame.width());
  }
  // An image too large to make ends the join where repeated appends would have stopped.
  while (!pieces.empty() && pieces.back().pixels != &frames[0]) {
    int composedWidth = 0;
    for (const Piece& piece : pieces) composedWidth = std::max(composedWidth, piece.pixels->width());
    const Piece& last = pieces.back();
    if (std::optional<QImage> result = compose(pieces, composedWidth, last.top + last.rows)) return result;
    pieces.pop_back();
  }
  if (pieces.empty()) return std::nullopt;
  return images[0];
}

bool unchanged(const QImage& last, const QImage& next) {
  const Pixels before(last), after(next);
  if (before.isNull() || after.isNull() || before.width() != after.width() || before.height() != after.height())
    return false;
  const std::vector<int> columns = sampledColumns(before.width());
  if (columns.empty()) return false;
  const int stride = int(columns.size()) * 3;
  const RowReader readBefore = readerOf(before), readAfter = readerOf(after);
  std::vector<std::uint8_t> a(static_cast<std::size_t>(stride)), b(static_cast<std::size_t>(stride));
  // Unchanged while the mean difference, rounded down, stays at most the threshold.
  const std::int64_t limit = std::int64_t(kUnchangedThreshold + 1) * stride;
  std::int64_t sum = 0, rows = 0;
  const int h = before.height();
  for (int y = 0; y < h; ++y) {
    readBefore(y, columns, a.data());
    readAfter(y, columns, b.data());
    const int difference = absoluteDifference(a.data(), b.data(), stride);
    if (difference == 0 && isBlank(a.data(), stride)) continue;
    sum += difference;
    ++rows;
    if (sum >= limit * (rows + (h - 1 - y))) return false;
  }
  return sum < limit * std::max<std::int64_t>(rows, 1);
}

}  // namespace vistrel::ImageStitcher
