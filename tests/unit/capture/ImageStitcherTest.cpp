#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "capture/ImageStitcher.h"

namespace vistrel {
namespace {

constexpr int kFrameHeight = 300;

// A page of text-like lines: dark glyph runs on white, a few blank rows
// between lines and blank gaps of 14 rows or more between paragraphs.
QImage textPage(int width, int height, unsigned seed) {
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::white);
  std::mt19937 random(seed);
  for (int y = 8; y + 14 < height;) {
    const int lineHeight = 9 + int(random() % 5);
    for (int x = 6 + int(random() % 10); x < width - 20;) {
      const int run = 2 + int(random() % 14);
      const QRgb ink = qRgb(int(random() % 60), int(random() % 60), int(random() % 90));
      const int top = y + int(random() % 3), bottom = y + lineHeight - int(random() % 3);
      for (int row = top; row < bottom; ++row)
        for (int column = x; column < x + run; ++column) page.setPixel(column, row, ink);
      x += run + 1 + int(random() % 8);
    }
    y += lineHeight + (random() % 5 == 0 ? 14 + int(random() % 20) : 4 + int(random() % 4));
  }
  return page;
}

bool blankRows(const QImage& page, int first, int count) {
  for (int y = first; y < first + count; ++y)
    for (int x = 0; x < page.width(); ++x)
      if (page.pixel(x, y) != qRgb(255, 255, 255)) return false;
  return true;
}

// The first row from `from` on where a blank gap of at least `rows` rows starts.
int blankGapFrom(const QImage& page, int from, int rows) {
  for (int y = from; y + rows <= page.height(); ++y)
    if (blankRows(page, y, rows) && !blankRows(page, y - 1, 1)) return y;
  return -1;
}

std::vector<QImage> framesAt(const QImage& page, const std::vector<int>& offsets) {
  std::vector<QImage> frames;
  for (int offset : offsets) frames.push_back(page.copy(0, offset, page.width(), kFrameHeight));
  return frames;
}

// A band overlap search: 6-row bands of next's top tried every 6 rows.
int bandOverlap(const QImage& previous, const QImage& next) {
  const int h = std::min(previous.height(), next.height());
  if (h < 21) return 0;
  const int hi = int(0.8 * h), lo = std::max(int(0.12 * h), 8);
  int bestK = -1, bestScore = 0;
  for (int k = hi; k >= lo; k -= 6) {
    const int score = ImageStitcher::rowDifference(previous, previous.height() - k, next, 0, 6);
    if (bestK < 0 || score < bestScore) bestK = k, bestScore = score;
  }
  return bestScore < 41 ? bestK : int(0.2 * h);
}

// Joining by appending each image to the whole result, with a given overlap search.
template <typename Overlap>
std::optional<QImage> appendRepeatedly(const std::vector<QImage>& images, Overlap overlap) {
  QImage result = images.front();
  for (std::size_t i = 1; i < images.size(); ++i) {
    std::optional<QImage> joined = ImageStitcher::append(result, images[i], overlap(result, images[i]));
    if (!joined) break;
    result = *joined;
  }
  return result;
}

QImage rendered(const QImage& image) { return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied); }

// A frame whose top rows are blank is placed by its content, not by the first
// blank band of the previous frame that the 6-row band test takes for a match.
TEST(ImageStitcherTest, OverlapOnTextPageIgnoresBlankBands) {
  const QImage page = textPage(480, 2400, 7);
  int checked = 0;
  for (int next = blankGapFrom(page, 400, 14); next > 0 && checked < 5; next = blankGapFrom(page, next + 40, 14)) {
    const int previous = next - 170;
    const QImage a = page.copy(0, previous, 480, kFrameHeight), b = page.copy(0, next, 480, kFrameHeight);
    EXPECT_EQ(ImageStitcher::overlapRows(a, b), 130) << "frame at row " << next;
    EXPECT_NE(bandOverlap(a, b), 130) << "frame at row " << next;
    ++checked;
  }
  EXPECT_EQ(checked, 5);
}

// Frames of a scrolled text page (steps of any size, including ones of a few
// rows and frames starting in paragraph gaps) stitch back into the page.
TEST(ImageStitcherTest, StitchesScrolledFramesIntoThePage) {
  const QImage page = textPage(640, 2600, 11);
  std::vector<int> offsets{0, 170, 401, 425, 680, 939, 1100};
  offsets.push_back(blankGapFrom(page, 1150, 14));
  offsets.push_back(offsets.back() + 250);
  offsets.push_back(offsets.back() + 37);
  const std::vector<QImage> frames = framesAt(page, offsets);

  const std::optional<QImage> stitched = ImageStitcher::vertical(frames);
  ASSERT_TRUE(stitched);
  EXPECT_EQ(stitched->format(), QImage::Format_RGBA8888_Premultiplied);
  EXPECT_EQ(stitched->height(), offsets.back() + kFrameHeight);
  EXPECT_TRUE(*stitched == rendered(page.copy(0, 0, 640, offsets.back() + kFrameHeight)));
  EXPECT_FALSE(*appendRepeatedly(frames, bandOverlap) == *stitched);
}

// Composing once gives exactly what appending to the whole result gives:
// frames of differing widths and formats, an unmoved frame, a step of two
// rows (the next search reaches above the last frame's kept rows), and a
// frame matched against the transparent margin a narrower one left.
TEST(ImageStitcherTest, VerticalMatchesRepeatedAppend) {
  const QImage page = textPage(560, 2000, 3);
  const std::vector<int> offsets{0, 180, 180, 182, 420, 430, 700, 950, 1100};
  const std::vector<int> widths{500, 560, 540, 420, 560, 300, 560, 100, 480};
  std::vector<QImage> frames;
  for (std::size_t i = 0; i < offsets.size(); ++i)
    frames.push_back(page.copy(0, offsets[i], widths[i], kFrameHeight));
  frames[4] = frames[4].convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < kFrameHeight; ++y) frames[4].setPixel(y, y, qRgba(200, 100, 50, 128));
  frames[6] = frames[6].convertToFormat(QImage::Format_RGB888);
  // Black where the narrow frame before it leaves the result transparent, so the two match there.
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 100; x < 480; ++x) frames[8].setPixel(x, y, qRgb(0, 0, 0));

  const std::optional<QImage> linear = ImageStitcher::vertical(frames);
  const std::optional<QImage> repeated = appendRepeatedly(frames, ImageStitcher::overlapRows);
  ASSERT_TRUE(linear && repeated);
  EXPECT_EQ(linear->size(), repeated->size());
  EXPECT_TRUE(*linear == *repeated);
  EXPECT_EQ(linear->pixel(540, 0), 0u) << "uncovered pixels stay transparent";

  EXPECT_TRUE(*ImageStitcher::vertical({frames[1]}) == frames[1]);
  EXPECT_FALSE(ImageStitcher::vertical({}));
}

// Short frames, frames that share nothing, equal frames, the row kept at
// least, and the row difference itself.
TEST(ImageStitcherTest, EdgeCases) {
  QImage white(200, 100, QImage::Format_RGB32), black(200, 100, QImage::Format_RGB32);
  white.fill(Qt::white);
  black.fill(Qt::black);
  const QImage page = textPage(200, 600, 5);

  EXPECT_EQ(ImageStitcher::overlapRows(page.copy(0, 0, 200, 20), page.copy(0, 10, 200, 20)), 0);
  EXPECT_EQ(ImageStitcher::overlapRows(white, black), 20) << "no match drops the top 20 %";
  EXPECT_EQ(ImageStitcher::overlapRows(page.copy(0, 0, 200, 100), page.copy(0, 300, 200, 100)), 20);
  EXPECT_EQ(ImageStitcher::overlapRows(white, white), 99) << "equal scores: the larger overlap";
  EXPECT_EQ(ImageStitcher::append(white, black, 500)->height(), 101) << "at least one row is kept";

  EXPECT_EQ(ImageStitcher::rowDifference(white, 0, black, 0, 6), 255);
  EXPECT_EQ(ImageStitcher::rowDifference(white, 98, white, 0, 6), 0);
  EXPECT_EQ(ImageStitcher::rowDifference(white, 100, black, 0, 6), 999);
  EXPECT_EQ(ImageStitcher::rowDifference(white.copy(0, 0, 8, 100), 0, black, 0, 6), 999);
}

// A page moved by a few rows whose middle rows are blank is not "unchanged",
// although the 6 middle rows alone look the same; nor is a nearly empty page
// whose few lines moved.
TEST(ImageStitcherTest, UnchangedComparesTheWholeFrame) {
  const QImage page = textPage(480, 1600, 9);
  const int middle = blankGapFrom(page, 600, 14);
  const QImage last = page.copy(0, middle - kFrameHeight / 2, 480, kFrameHeight);
  const QImage moved = page.copy(0, middle - kFrameHeight / 2 + 3, 480, kFrameHeight);

  EXPECT_LE(ImageStitcher::rowDifference(last, kFrameHeight / 2, moved, kFrameHeight / 2, 6), 7);
  EXPECT_FALSE(ImageStitcher::unchanged(last, moved));
  EXPECT_TRUE(ImageStitcher::unchanged(last, last.copy()));
  EXPECT_FALSE(ImageStitcher::unchanged(last, last.copy(0, 0, 480, 299)));

  QImage sparse(480, kFrameHeight, QImage::Format_RGB32), sparseMoved(480, kFrameHeight, QImage::Format_RGB32);
  sparse.fill(Qt::white);
  sparseMoved.fill(Qt::white);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 480; ++x) {
      sparse.setPixel(x, 200 + y, page.pixel(x, 8 + y));
      sparseMoved.setPixel(x, 197 + y, page.pixel(x, 8 + y));
    }
  EXPECT_FALSE(ImageStitcher::unchanged(sparse, sparseMoved));
}

// Samples are RGBA bytes, premultiplied, top row first, whatever the format.
TEST(ImageStitcherTest, SampleIsPremultipliedRgba) {
  QImage image(2, 2, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(200, 100, 50, 255));
  image.setPixel(1, 0, qRgba(200, 100, 0, 128));
  image.setPixel(0, 1, qRgba(0, 0, 0, 0));
  image.setPixel(1, 1, qRgba(10, 20, 30, 255));
  const std::vector<std::uint8_t> expected{200, 100, 50, 255, 100, 50, 0, 128, 0, 0, 0, 0, 10, 20, 30, 255};
  EXPECT_EQ(ImageStitcher::sample(image), expected);
  EXPECT_EQ(ImageStitcher::sample(image.convertToFormat(QImage::Format_RGB32))->at(7), 255);
  EXPECT_FALSE(ImageStitcher::sample(QImage()));
}

}  // namespace
}  // namespace vistrel
