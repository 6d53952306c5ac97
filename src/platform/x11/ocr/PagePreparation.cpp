#include "platform/x11/ocr/PagePreparation.h"

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

namespace vistrel::x11::ocr {

namespace {

using Histogram = std::array<long, 256>;

// Lines of text whose ink is lower than this many pixels are enlarged 2x.
// Measured on terminal text: at 11 px (xterm's 6x13) and 14 px (DejaVu Sans
// Mono 10) 2x halves the character error rate; at 21 px it gains nothing and
// costs a quarter more time, at 28 px it reads worse.
constexpr int kSmallTextHeight = 18;
// Enlarged pages stay within the pixels of a 4K screen: a full 1080p screen
// still gains, larger areas would cost Tesseract hundreds of megabytes.
constexpr long kMaxEnlargedPixels = 3840L * 2160L;
// Runs of inked rows lower than this are rules and specks, not text lines.
constexpr int kMinLineHeight = 3;
// Pages whose two commonest levels cover this share of the pixels were drawn
// without smoothing (bitmap fonts such as xterm's 6x13); antialiased text
// leaves about a tenth of a terminal crop in between.
constexpr double kBitmapShare = 0.99;
// Ink must differ from the ground by this many levels; less is noise of a
// plain area (JPEG ringing, gradients), not text.
constexpr int kMinContrast = 32;

Histogram histogramOf(const QImage& gray) {
  Histogram histogram{};
  for (int y = 0; y < gray.height(); ++y) {
    const uchar* row = gray.constScanLine(y);
    for (int x = 0; x < gray.width(); ++x) ++histogram[row[x]];
  }
  return histogram;
}

int medianOf(const Histogram& histogram, long total) {
  long seen = 0;
  for (int level = 0; level < 256; ++level) {
    seen += histogram[level];
    if (2 * seen >= total) return level;
  }
  return 255;
}

struct Split {
  int threshold = 0;  // levels below it are ink
  double contrast = 0;
};

// Otsu's threshold: the split with the greatest variance between the classes.
Split otsuSplit(const Histogram& histogram, long total) {
  double sum = 0;
  for (int level = 0; level < 256; ++level) sum += double(level) * double(histogram[level]);
  Split best;
  double bestVariance = 0, sumBelow = 0;
  long below = 0;
  for (int level = 0; level < 255; ++level) {
    below += histogram[level];
    sumBelow += double(level) * double(histogram[level]);
    long above = total - below;
    if (below == 0 || above == 0) continue;
    double meanBelow = sumBelow / double(below), meanAbove = (sum - sumBelow) / double(above);
    double variance = double(below) * double(above) * (meanAbove - meanBelow) * (meanAbove - meanBelow);
    if (variance > bestVariance) {
      bestVariance = variance;
      best = {level + 1, meanAbove - meanBelow};
    }
  }
  return best;
}

bool drawnWithoutSmoothing(const Histogram& histogram, long total) {
  Histogram sorted = histogram;
  std::partial_sort(sorted.begin(), sorted.begin() + 2, sorted.end(), std::greater<>());
  return double(sorted[0] + sorted[1]) >= kBitmapShare * double(total);
}

// Every level below the threshold becomes black, the others white.
void binarise(QImage& gray, int threshold) {
  for (int y = 0; y < gray.height(); ++y) {
    uchar* row = gray.scanLine(y);
    for (int x = 0; x < gray.width(); ++x) row[x] = row[x] < threshold ? 0 : 255;
  }
}

// The median height of the runs of rows that hold ink; 0 when there are none.
// Ink every row has (a frame, a scroll bar beside the text) is not counted.
int typicalLineHeight(const QImage& gray, int threshold) {
  std::vector<int> inkPerRow(size_t(gray.height()));
  for (int y = 0; y < gray.height(); ++y) {
    const uchar* row = gray.constScanLine(y);
    inkPerRow[size_t(y)] = int(std::count_if(row, row + gray.width(), [threshold](uchar level) { return level < threshold; }));
  }
  int everyRow = inkPerRow.empty() ? 0 : *std::min_element(inkPerRow.begin(), inkPerRow.end());
  std::vector<int> heights;
  int run = 0;
  for (int y = 0; y <= gray.height(); ++y) {
    if (y < gray.height() && inkPerRow[size_t(y)] > everyRow + 1) {
      ++run;
    } else {
      if (run >= kMinLineHeight) heights.push_back(run);
      run = 0;
    }
  }
  if (heights.empty()) return 0;
  auto middle = heights.begin() + long(heights.size() / 2);
  std::nth_element(heights.begin(), middle, heights.end());
  return *middle;
}

}  // namespace

PreparedPage preparePage(const QImage& image) {
  PreparedPage page;
  if (image.isNull()) return page;
  page.gray = image.convertToFormat(QImage::Format_Grayscale8);
  long total = long(page.gray.width()) * page.gray.height();
  Histogram histogram = histogramOf(page.gray);
  // The ground covers most of a text area, so the median level is the ground's.
  if (medianOf(histogram, total) < 128) {
    page.gray.invertPixels();
    std::reverse(histogram.begin(), histogram.end());
  }
  Split split = otsuSplit(histogram, total);
  if (split.contrast < kMinContrast) return page;
  page.hasInk = true;
  int lineHeight = typicalLineHeight(page.gray, split.threshold);
  if (lineHeight > 0 && lineHeight < kSmallTextHeight && 4 * total <= kMaxEnlargedPixels) {
    page.scale = 2;
    // Smooth scaling may hand back a colour format.
    page.gray = page.gray.scaled(page.gray.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_Grayscale8);
    // Smoothly enlarged bitmap glyphs read best made sharp again: on xterm's
    // 6x13 this halves the character error rate; antialiased fonts read worse.
    if (drawnWithoutSmoothing(histogram, total)) {
      long enlarged = long(page.gray.width()) * page.gray.height();
      binarise(page.gray, otsuSplit(histogramOf(page.gray), enlarged).threshold);
    }
  }
  return page;
}

}  // namespace vistrel::x11::ocr
