// What joining a scrolling capture costs: 30 frames of 1920x1000 from a text
// page scrolled about 600 rows per frame, joined in one composition against
// appending each frame to the whole result so far (which copies the growing
// result on every join). Figures only; nothing here fails a build.

#include <benchmark/benchmark.h>

#include <QImage>

#include <malloc.h>

#include <climits>
#include <optional>
#include <random>
#include <vector>

#include "capture/ImageStitcher.h"

namespace {

namespace Stitcher = vistrel::ImageStitcher;

constexpr int kWidth = 1920, kFrameHeight = 1000, kFrames = 30;

// Lines of dark glyph runs on white with blank rows between them and wider
// gaps between paragraphs.
QImage textPage(int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::white);
  std::mt19937 random(42);
  for (int y = 10; y + 20 < height;) {
    const int lineHeight = 11 + int(random() % 6);
    const int end = width - 40 - int(random() % (width / 2));
    for (int x = 30 + int(random() % 20); x < end;) {
      const int run = 2 + int(random() % 16);
      const QRgb ink = qRgb(int(random() % 60), int(random() % 60), int(random() % 90));
      const int top = y + int(random() % 4), bottom = y + lineHeight - int(random() % 4);
      for (int row = top; row < bottom; ++row) {
        auto* line = reinterpret_cast<QRgb*>(page.scanLine(row));
        std::fill(line + x, line + x + run, ink);
      }
      x += run + 1 + int(random() % 9);
    }
    y += lineHeight + (random() % 6 == 0 ? 16 + int(random() % 30) : 5 + int(random() % 5));
  }
  return page;
}

// Scroll steps of 560 to 640 rows, as a wheel step lands on a real page.
const std::vector<QImage>& frames() {
  static const std::vector<QImage> frames = [] {
    std::mt19937 random(7);
    std::vector<int> offsets{0};
    for (int i = 1; i < kFrames; ++i) offsets.push_back(offsets.back() + 560 + int(random() % 81));
    const QImage page = textPage(kWidth, offsets.back() + kFrameHeight);
    std::vector<QImage> result;
    for (int offset : offsets) result.push_back(page.copy(0, offset, kWidth, kFrameHeight));
    return result;
  }();
  return frames;
}

std::optional<QImage> appendRepeatedly(const std::vector<QImage>& images) {
  QImage result = images.front();
  for (std::size_t i = 1; i < images.size(); ++i) {
    std::optional<QImage> joined = Stitcher::append(result, images[i], Stitcher::overlapRows(result, images[i]));
    if (!joined) break;
    result = *joined;
  }
  return result;
}

void report(benchmark::State& state, const std::optional<QImage>& result) {
  state.counters["frames"] = kFrames;
  state.counters["height"] = result ? result->height() : 0;
}

void BM_StitchVertical(benchmark::State& state) {
  const std::vector<QImage>& images = frames();
  std::optional<QImage> result;
  for (auto _ : state) {
    result = Stitcher::vertical(images);
    benchmark::DoNotOptimize(result);
  }
  report(state, result);
}
BENCHMARK(BM_StitchVertical)->Unit(benchmark::kMillisecond);

void BM_StitchAppendRepeatedly(benchmark::State& state) {
  const std::vector<QImage>& images = frames();
  std::optional<QImage> result;
  for (auto _ : state) {
    result = appendRepeatedly(images);
    benchmark::DoNotOptimize(result);
  }
  report(state, result);
}
BENCHMARK(BM_StitchAppendRepeatedly)->Unit(benchmark::kMillisecond);

// The same with the result's memory already mapped by an earlier run: the
// join's own work, without the kernel's cost of handing out fresh pages.
void BM_StitchVerticalWarmPages(benchmark::State& state) {
  const std::vector<QImage>& images = frames();
  // Serve large blocks from the heap and keep it, so each run reuses the pages.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
  std::optional<QImage> result = Stitcher::vertical(images);
  for (auto _ : state) {
    result.reset();
    result = Stitcher::vertical(images);
    benchmark::DoNotOptimize(result);
  }
  report(state, result);
  result.reset();
  // glibc's defaults again, though its sliding mmap threshold stays off for the rest of the run.
  mallopt(M_MMAP_MAX, 65536);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  malloc_trim(0);
}
BENCHMARK(BM_StitchVerticalWarmPages)->Unit(benchmark::kMillisecond);

// The floor under any join: making and writing a new image of the stitched
// size once, most of it the kernel handing out fresh pages.
void BM_StitchFreshImageFloor(benchmark::State& state) {
  const std::optional<QImage> stitched = Stitcher::vertical(frames());
  for (auto _ : state) {
    QImage image(stitched->size(), QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_StitchFreshImageFloor)->Unit(benchmark::kMillisecond);

// One join's overlap search alone: a frame against the one before it.
void BM_StitchOverlapSearch(benchmark::State& state) {
  const std::vector<QImage>& images = frames();
  for (auto _ : state) benchmark::DoNotOptimize(Stitcher::overlapRows(images[10], images[11]));
}
BENCHMARK(BM_StitchOverlapSearch)->Unit(benchmark::kMicrosecond);

}  // namespace
