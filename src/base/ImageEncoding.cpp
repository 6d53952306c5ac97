#include "base/ImageEncoding.h"

#include <spng.h>
#include <turbojpeg.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vistrel::ImageEncoding {

namespace {

// Rows converted per step: small enough to stay in cache, large enough that
// the conversion's set-up cost vanishes.
constexpr int kBandRows = 16;

struct SpngDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

struct TurboDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

int spngFilterChoice(PngFilter filter) {
  switch (filter) {
    case PngFilter::none: return SPNG_FILTER_CHOICE_NONE;
    case PngFilter::sub: return SPNG_FILTER_CHOICE_SUB;
    case PngFilter::up: return SPNG_FILTER_CHOICE_UP;
    case PngFilter::average: return SPNG_FILTER_CHOICE_AVG;
    case PngFilter::paeth: return SPNG_FILTER_CHOICE_PAETH;
    case PngFilter::adaptive: return SPNG_FILTER_CHOICE_ALL;
  }
  return SPNG_FILTER_CHOICE_UP;
}

// spng calls this from inside C code: nothing may be thrown through it.
int appendToBuffer(spng_ctx*, void* user, void* data, size_t length) {
  try {
    static_cast<QByteArray*>(user)->append(static_cast<const char*>(data), qsizetype(length));
    return 0;
  } catch (...) {
    return SPNG_IO_ERROR;
  }
}

// Feeds every row of `image` in `rowFormat` to `consume`, converting a band of
// rows at a time unless the image already has that format.
template <typename Consume>
bool forEachRow(const QImage& image, QImage::Format rowFormat, Consume consume) {
  const int height = image.height();
  if (image.format() == rowFormat) {
    for (int y = 0; y < height; ++y)
      if (!consume(image.constScanLine(y))) return false;
    return true;
  }
  const QList<QRgb> colours = image.colorTable();
  for (int top = 0; top < height; top += kBandRows) {
    const int rows = std::min(kBandRows, height - top);
    QImage band(image.constScanLine(top), image.width(), rows, image.bytesPerLine(), image.format());
    if (!colours.isEmpty()) band.setColorTable(colours);
    const QImage converted = band.convertToFormat(rowFormat);
    if (converted.isNull()) return false;
    for (int y = 0; y < rows; ++y)
      if (!consume(converted.constScanLine(y))) return false;
  }
  return true;
}

}  // namespace

bool hasAlpha(const QImage& image) { return image.hasAlphaChannel(); }

std::optional<QByteArray> png(const QImage& image, PngSettings settings) {
  if (image.isNull()) return std::nullopt;
  const bool alpha = hasAlpha(image);
  const std::unique_ptr<spng_ctx, SpngDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context) return std::nullopt;
  spng_ctx* ctx = context.get();

  QByteArray bytes;
  spng_ihdr header{};
  header.width = std::uint32_t(image.width());
  header.height = std::uint32_t(image.height());
  header.bit_depth = 8;
  header.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
  if (spng_set_png_stream(ctx, appendToBuffer, &bytes) != 0 || spng_set_ihdr(ctx, &header) != 0 ||
      spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, std::clamp(settings.compressionLevel, 0, 9)) != 0 ||
      spng_set_option(ctx, SPNG_FILTER_CHOICE, spngFilterChoice(settings.filter)) != 0)
    return std::nullopt;
  if (spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) != 0)
    return std::nullopt;

  const std::size_t rowBytes = std::size_t(image.width()) * (alpha ? 4 : 3);
  int status = 0;
  const bool fed = forEachRow(image, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888, [&](const uchar* row) {
    status = spng_encode_row(ctx, row, rowBytes);
    return status == 0 || status == SPNG_EOI;
  });
  // The last row returns SPNG_EOI once the file, IEND included, is written.
  if (!fed || status != SPNG_EOI) return std::nullopt;
  return bytes;
}

std::optional<QByteArray> jpeg(const QImage& image, double quality) {
  if (image.isNull()) return std::nullopt;
  QImage source = image;
  int pixelFormat = TJPF_BGRX;
  switch (image.format()) {
    case QImage::Format_RGB32: pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB; break;
    case QImage::Format_RGB888: pixelFormat = TJPF_RGB; break;
    case QImage::Format_RGBX8888: pixelFormat = TJPF_RGBX; break;
    case QImage::Format_Grayscale8: pixelFormat = TJPF_GRAY; break;
    default: {
      source = QImage(image.size(), QImage::Format_RGB32);
      if (source.isNull()) return std::nullopt;
      source.fill(Qt::white);
      QPainter painter(&source);
      painter.drawImage(source.rect(), image, image.rect());
      painter.end();
      pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    }
  }

  const std::unique_ptr<void, TurboDeleter> handle(tjInitCompress());
  if (!handle) return std::nullopt;
  const int level = int(std::clamp(std::lround(quality * 100), 1L, 100L));
  // Full-resolution colour at the top qualities keeps coloured text crisp
  // (about an eighth more bytes); below that, the usual halved chroma.
  const int subsampling = pixelFormat == TJPF_GRAY ? TJSAMP_GRAY : level >= 90 ? TJSAMP_444 : TJSAMP_420;
  unsigned char* output = nullptr;
  unsigned long size = 0;
  const int result = tjCompress2(handle.get(), source.constBits(), source.width(), int(source.bytesPerLine()),
                                 source.height(), pixelFormat, &output, &size, subsampling, level, 0);
  std::optional<QByteArray> bytes;
  if (result == 0 && output) bytes = QByteArray(reinterpret_cast<const char*>(output), qsizetype(size));
  tjFree(output);
  return bytes;
}

}  // namespace vistrel::ImageEncoding
