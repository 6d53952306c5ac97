// The backdrop that frames an exported picture: a vertical gradient, the
// picture's white rounded card with a soft shadow, the picture clipped to it.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/LargeImage.h"
#include "editor/MarkupRenderer.h"

namespace vistrel::MarkupRenderer {

namespace {

constexpr double kShadowAlpha = 0.28;
constexpr double kShadowBlur = 0.35;  // of the margin
constexpr double kShadowDrop = 0.12;  // of the margin, downwards

// The share of a Gaussian of deviation `sigma` around `centre` that falls
// inside [from, to): a band of full coverage, blurred, read at one place.
double blurredBand(double centre, double from, double to, double sigma) {
  const double scale = 1 / (sigma * std::sqrt(2.0));
  return 0.5 * (std::erfc((from - centre) * scale) - std::erfc((to - centre) * scale));
}

std::uint8_t channel(double value) { return std::uint8_t(std::clamp(value, 0.0, 255.0) + 0.5); }

// A premultiplied pixel over the white card.
QRgb overWhite(QRgb p) {
  const int clear = 255 - qAlpha(p);
  return qRgb(qRed(p) + clear, qGreen(p) + clear, qBlue(p) + clear);
}

QRgb mix(QRgb a, QRgb b, double share) {
  const auto one = [share](int x, int y) { return channel(x + (y - x) * share); };
  return qRgb(one(qRed(a), qRed(b)), one(qGreen(a), qGreen(b)), one(qBlue(a), qBlue(b)));
}

}  // namespace

std::pair<QColor, QColor> backdropColors(BackdropStyle backdrop) {
  switch (backdrop) {
    case BackdropStyle::dark:
      return {QColor::fromRgbF(0.24f, 0.24f, 0.24f), QColor::fromRgbF(0.10f, 0.10f, 0.10f)};
    case BackdropStyle::gradient:
      return {QColor::fromRgbF(0.94f, 0.95f, 0.97f), QColor::fromRgbF(0.78f, 0.82f, 0.88f)};
    case BackdropStyle::off:
    case BackdropStyle::light:
      break;
  }
  return {QColor::fromRgbF(0.97f, 0.97f, 0.97f), QColor::fromRgbF(0.88f, 0.88f, 0.88f)};
}

// Written row by row rather than with a painter: a shadow blurred in a
// painter and a picture clipped to a rounded path cost several times the
// budget of an export at 4K.
QImage present(const QImage& picture, BackdropStyle backdrop) {
  if (backdrop == BackdropStyle::off || picture.isNull()) return picture;
  const int w = picture.width(), h = picture.height();
  const double margin = BackdropStyles::padding(w, h);
  const double radius = std::min({BackdropStyles::radius(w, h), w / 2.0, h / 2.0});
  // The card starts on a whole pixel, so the picture is copied, not resampled.
  const int inset = int(margin);
  const int width = w + int(2 * margin), height = h + int(2 * margin);
  QImage canvas = makeLargeImage(width, height, QImage::Format_RGB32);
  if (canvas.isNull()) return picture;
  const bool opaque = !picture.hasAlphaChannel();
  const QImage source =
      picture.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);

  // The shadow is the card's rectangle blurred: the product of a blurred band
  // across and one down, exact for square corners (the rounded corners'
  // share is lost in a blur this wide). Its blur radius is twice σ.
  const double sigma = std::max(kShadowBlur * margin / 2, 0.5);
  const double shadowTop = inset + kShadowDrop * margin;
  std::vector<std::uint32_t> across(std::size_t(width), 0);
  for (int x = 0; x < width; ++x)
    across[std::size_t(x)] = std::uint32_t(std::lround(65535 * blurredBand(x + 0.5, inset, inset + w, sigma)));

  const auto [first, second] = backdropColors(backdrop);
  const int corner = int(std::ceil(radius));
  std::array<QRgb, 256> shaded{};
  for (int y = 0; y < height; ++y) {
    // First colour at the top edge, second at the bottom.
    const double t = (y + 0.5) / height;
    const double red = 255 * (first.redF() + (second.redF() - first.redF()) * t);
    const double green = 255 * (first.greenF() + (second.greenF() - first.greenF()) * t);
    const double blue = 255 * (first.blueF() + (second.blueF() - first.blueF()) * t);
    const double shade = kShadowAlpha * blurredBand(y + 0.5, shadowTop, shadowTop + h, sigma);
    const int darkest = int(std::lround(shade * 255));
    for (int a = 0; a <= std::min(darkest + 1, 255); ++a) {
      const double keep = (255 - a) / 255.0;
      shaded[std::size_t(a)] = qRgb(channel(red * keep), channel(green * keep), channel(blue * keep));
    }
    // Shadow alpha in 1/255 steps: across × shade, both in fixed point.
    const auto strength = std::uint32_t(std::lround(shade * 255 * 256));

    // The part of the row the card covers wholly is left for the picture.
    int coveredFrom = width, coveredTo = width;
    if (y >= inset && y < inset + h) {
      const int row = y - inset;
      const int cut = (row < corner || row >= h - corner) ? corner : 0;
      coveredFrom = inset + std::min(cut, w);
      coveredTo = std::max(inset + w - cut, coveredFrom);
    }
    auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    const auto fill = [&](int from, int to) {
      if (darkest == 0) {
        std::fill(out + from, out + to, shaded[0]);
        return;
      }
      for (int x = from; x < to; ++x) out[x] = shaded[(across[std::size_t(x)] * strength + (1u << 23)) >> 24];
    };
    fill(0, coveredFrom);
    fill(coveredTo, width);
  }

  for (int row = 0; row < h; ++row) {
    auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(inset + row)) + inset;
    const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(row));
    const int cut = (row < corner || row >= h - corner) ? corner : 0;
    const int from = std::min(cut, w), to = std::max(w - cut, from);
    if (opaque) {
      std::memcpy(out + from, in + from, std::size_t(to - from) * 4);
    } else {
      for (int x = from; x < to; ++x) out[x] = overWhite(in[x]);
    }
    if (!cut) continue;
    // Rounded corners: coverage from the distance to the corner's circle;
    // the white card and then the picture are each laid on with it.
    const double cy = row + 0.5;
    const double qy = std::clamp(cy, radius, h - radius);
    const auto round = [&](int x) {
      const double cx = x + 0.5;
      const double qx = std::clamp(cx, radius, w - radius);
      const double cover = std::clamp(radius - std::hypot(cx - qx, cy - qy) + 0.5, 0.0, 1.0);
      const QRgb picturePixel = opaque ? in[x] : overWhite(in[x]);
      out[x] = mix(mix(out[x], qRgb(255, 255, 255), cover), picturePixel, cover);
    };
    for (int x = 0; x < from; ++x) round(x);
    for (int x = to; x < w; ++x) round(x);
  }
  canvas.setDotsPerMeterX(picture.dotsPerMeterX());
  canvas.setDotsPerMeterY(picture.dotsPerMeterY());
  canvas.setDevicePixelRatio(picture.devicePixelRatio());
  return canvas;
}

}  // namespace vistrel::MarkupRenderer
