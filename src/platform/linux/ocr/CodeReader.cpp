#include "platform/linux/ocr/CodeReader.h"

#include <QSysInfo>

#include <ZXing/BarcodeFormat.h>
#include <ZXing/ReadBarcode.h>

#include <algorithm>

namespace vistrel::desktop::ocr {

namespace {

QRect boundsOf(const ZXing::Position& position) {
  int left = position[0].x, right = position[0].x, top = position[0].y, bottom = position[0].y;
  for (const auto& corner : position) {
    left = std::min(left, corner.x);
    right = std::max(right, corner.x);
    top = std::min(top, corner.y);
    bottom = std::max(bottom, corner.y);
  }
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

bool is32Bit(const QImage& image) {
  return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32 ||
         image.format() == QImage::Format_ARGB32_Premultiplied;
}

// ZXing reads 32-bit screen pixels in place; anything else must be 8-bit gray.
ZXing::ImageView viewOf(const QImage& image) {
  ZXing::ImageFormat format = !is32Bit(image)                               ? ZXing::ImageFormat::Lum
                              : QSysInfo::ByteOrder == QSysInfo::LittleEndian ? ZXing::ImageFormat::BGRX
                                                                              : ZXing::ImageFormat::XRGB;
  return ZXing::ImageView(image.constBits(), image.width(), image.height(), format, int(image.bytesPerLine()));
}

// Three searches, each only when the one before found nothing: a quick one,
// which finds a clean symbol on a full screen in half the time; a thorough
// one (small, rotated and worn symbols, more rows for bar codes); and one for
// light symbols on a dark ground, which this ZXing does not look for itself.
ZXing::Results search(const QImage& image) {
  QImage pixels = is32Bit(image) ? image : image.convertToFormat(QImage::Format_Grayscale8);
  ZXing::DecodeHints quick;  // every format
  quick.setTryHarder(false);
  ZXing::Results results = ZXing::ReadBarcodes(viewOf(pixels), quick);
  if (!results.empty()) return results;
  ZXing::DecodeHints thorough;
  thorough.setTryHarder(true);
  results = ZXing::ReadBarcodes(viewOf(pixels), thorough);
  if (!results.empty()) return results;
  QImage inverted = image.convertToFormat(QImage::Format_Grayscale8);
  inverted.invertPixels();
  return ZXing::ReadBarcodes(viewOf(inverted), thorough);
}

}  // namespace

std::vector<platform::DecodedCode> readCodes(const QImage& image) {
  if (image.isNull()) return {};
  std::vector<platform::DecodedCode> codes;
  for (const ZXing::Result& result : search(image)) {
    if (!result.isValid()) continue;
    codes.push_back({result.text(), ZXing::ToString(result.format()), boundsOf(result.position())});
  }
  std::stable_sort(codes.begin(), codes.end(), [](const auto& a, const auto& b) {
    return a.bounds.top() != b.bounds.top() ? a.bounds.top() < b.bounds.top() : a.bounds.left() < b.bounds.left();
  });
  return codes;
}

}  // namespace vistrel::desktop::ocr
