#pragma once
// PNG and JPEG bytes of an image, for files and for the clipboard. The PNG
// encoder converts rows a band at a time as it goes (no full-size converted
// copy); JPEG reads 32-bit, RGB and grey images in place. Any thread.

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vistrel::ImageEncoding {

// Whether the image carries an alpha channel. Decided by its format (for
// indexed images, by its colour table), never by its pixel values.
bool hasAlpha(const QImage& image);

enum class PngFilter { none, sub, up, average, paeth, adaptive };

// The defaults are measured on 1080p desktop captures (bench/EncodeBench):
// zlib level 2 with the Up filter takes a quarter to a third of the time of
// level 6 with adaptive filters (Qt's writer) for 10-16 % more bytes.
struct PngSettings {
  int compressionLevel = 2;  // zlib, 0…9
  PngFilter filter = PngFilter::up;
};

// 8-bit RGB, or RGBA with straight alpha for images that carry alpha. None
// for a null image or when the encoder fails.
std::optional<QByteArray> png(const QImage& image, PngSettings settings = {});

// Baseline JPEG at `quality` (0…1, taken to the nearest hundredth); chroma is
// kept at full resolution from 0.9 up and halved below. JPEG has no alpha: an
// image that carries alpha is composited on white first (so a clear window
// background saves as white). None for a null image or when the encoder fails.
std::optional<QByteArray> jpeg(const QImage& image, double quality);

}  // namespace vistrel::ImageEncoding
