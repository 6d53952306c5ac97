// What saving a 1920x1080 screenshot costs: PNG at the settings the program
// uses against other zlib levels and filters and against Qt's own writer, and
// JPEG at the "best" quality. Each run reports the bytes it produced. The
// screenshot is a painted desktop with text windows, or the PNG file named by
// VISTREL_BENCH_SCREENSHOT (for example a real capture of the screen).
// Figures only; nothing here fails a build.

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFont>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>

#include <cstdlib>

#include "base/ImageEncoding.h"

namespace {

using vistrel::ImageEncoding::PngFilter;
using vistrel::ImageEncoding::PngSettings;
namespace Encoding = vistrel::ImageEncoding;

// A terminal-like window: a title bar and lines of text in a few colours.
void paintWindow(QPainter& painter, const QRect& frame, QColor paper, QColor ink, int seed) {
  painter.fillRect(frame, QColor(60, 60, 60));
  painter.fillRect(frame.adjusted(1, 1, -1, -frame.height() + 20), QColor(210, 214, 220));
  const QRect page = frame.adjusted(1, 21, -1, -1);
  painter.fillRect(page, paper);
  painter.setPen(Qt::black);
  painter.drawText(frame.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("bash"));
  const QFontMetrics metrics(painter.font());
  const QColor accents[] = {ink, QColor(40, 90, 220), QColor(20, 150, 60), ink, QColor(180, 60, 160)};
  unsigned state = unsigned(seed) * 2654435761u;
  for (int y = page.top() + metrics.ascent() + 4, line = 0; y < page.bottom(); y += metrics.height(), ++line) {
    QString text;
    for (int word = 0; word < 14; ++word) {
      state = state * 1103515245u + 12345u;
      const int length = 2 + int((state >> 16) % 9);
      for (int c = 0; c < length; ++c) text += QChar('a' + int((state >> (c % 16)) + unsigned(c * 7)) % 26);
      text += (word % 5 == 4) ? QStringLiteral("  ") : QStringLiteral(" ");
    }
    painter.setPen(accents[line % 5]);
    painter.drawText(QPoint(page.left() + 6, y), text.left(page.width() / qMax(1, metrics.horizontalAdvance('m'))));
  }
}

QImage paintedDesktop() {
  QImage image(1920, 1080, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient wallpaper(0, 0, 1920, 1080);
  wallpaper.setColorAt(0, QColor(30, 60, 114));
  wallpaper.setColorAt(1, QColor(42, 82, 152));
  painter.fillRect(image.rect(), wallpaper);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setPixelSize(13);
  painter.setFont(font);
  paintWindow(painter, QRect(10, 10, 890, 790), Qt::white, Qt::black, 1);
  paintWindow(painter, QRect(900, 40, 800, 780), QColor(29, 31, 33), QColor(197, 200, 198), 2);
  paintWindow(painter, QRect(300, 680, 820, 380), QColor(253, 246, 227), QColor(101, 123, 131), 3);
  return image;
}

const QImage& screenshot() {
  static const QImage image = [] {
    if (const char* path = std::getenv("VISTREL_BENCH_SCREENSHOT")) {
      const QImage loaded(QString::fromLocal8Bit(path));
      if (!loaded.isNull()) return loaded.convertToFormat(QImage::Format_RGB32);
    }
    return paintedDesktop();
  }();
  return image;
}

void reportBytes(benchmark::State& state, qsizetype bytes) {
  state.counters["bytes"] = double(bytes);
  state.counters["ratio"] = double(bytes) / double(screenshot().sizeInBytes());
}

void BM_Png(benchmark::State& state, PngSettings settings, QImage::Format format) {
  const QImage image = screenshot().convertToFormat(format);
  qsizetype bytes = 0;
  for (auto _ : state) {
    const auto png = Encoding::png(image, settings);
    bytes = png ? png->size() : 0;
    benchmark::DoNotOptimize(bytes);
  }
  reportBytes(state, bytes);
}

constexpr auto kOpaque = QImage::Format_RGB32;
// The settings the program uses.
BENCHMARK_CAPTURE(BM_Png, chosen_L2_up, PngSettings{}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L1_none, PngSettings{1, PngFilter::none}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L1_up, PngSettings{1, PngFilter::up}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L1_sub, PngSettings{1, PngFilter::sub}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L1_paeth, PngSettings{1, PngFilter::paeth}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L3_up, PngSettings{3, PngFilter::up}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L1_adaptive, PngSettings{1, PngFilter::adaptive}, kOpaque)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Png, L6_adaptive, PngSettings{6, PngFilter::adaptive}, kOpaque)->Unit(benchmark::kMillisecond);
// A reduced capture carries alpha: RGBA rows, unpremultiplied on the way.
BENCHMARK_CAPTURE(BM_Png, chosen_alpha, PngSettings{}, QImage::Format_ARGB32_Premultiplied)
    ->Unit(benchmark::kMillisecond);

void BM_QtWriter(benchmark::State& state, const char* format, int quality) {
  const QImage& image = screenshot();
  qsizetype bytes = 0;
  for (auto _ : state) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    bytes = buffer.size();
  }
  reportBytes(state, bytes);
}
BENCHMARK_CAPTURE(BM_QtWriter, png_default, "png", -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_QtWriter, jpeg_92, "jpeg", 92)->Unit(benchmark::kMillisecond);

void BM_Jpeg(benchmark::State& state, QImage::Format format) {
  const QImage image = screenshot().convertToFormat(format);
  qsizetype bytes = 0;
  for (auto _ : state) {
    const auto jpeg = Encoding::jpeg(image, 0.92);
    bytes = jpeg ? jpeg->size() : 0;
    benchmark::DoNotOptimize(bytes);
  }
  reportBytes(state, bytes);
}
BENCHMARK_CAPTURE(BM_Jpeg, best_092, QImage::Format_RGB32)->Unit(benchmark::kMillisecond);
// An image with alpha is flattened on white first.
BENCHMARK_CAPTURE(BM_Jpeg, best_092_alpha, QImage::Format_ARGB32_Premultiplied)->Unit(benchmark::kMillisecond);

}  // namespace
