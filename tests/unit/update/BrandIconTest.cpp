#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>

#include "update/BrandIcon.h"

namespace vistrel {
namespace {

constexpr double kSide = BrandIcon::kDefaultSide;

// The pixel under a point of the image's own (top-left, y down) point space.
QRgb pixelAt(const QImage& image, double x, double y) {
  const double ratio = image.devicePixelRatio();
  return image.pixel(int(std::floor(x * ratio)), int(std::floor(y * ratio)));
}

bool inkAt(const QImage& image, double x, double y) { return qAlpha(pixelAt(image, x, y)) > 200; }
bool clearAt(const QImage& image, double x, double y) { return qAlpha(pixelAt(image, x, y)) == 0; }

// Images are square at the tray size, drawn at device pixel ratio 2.
TEST(BrandIconTest, SizeAndPixelRatio) {
  for (const QImage& image : {BrandIcon::menuBarImage(UpdateBadge::none, false), BrandIcon::menuBarRecordingImage()}) {
    EXPECT_EQ(image.size(), QSize(44, 44));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
  }
  EXPECT_EQ(BrandIcon::menuBarImage(UpdateBadge::optional, true, 24).size(), QSize(48, 48));
}

// Template images hold only black (at any opacity) and transparency, and always some ink.
TEST(BrandIconTest, TemplateImagesAreBlackOnTransparent) {
  for (const UpdateBadge badge : {UpdateBadge::none, UpdateBadge::optional, UpdateBadge::required}) {
    for (const bool local : {false, true}) {
      const QImage image = BrandIcon::menuBarImage(badge, local);
      int inked = 0;
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          const QRgb p = image.pixel(x, y);
          ASSERT_EQ(qRed(p) | qGreen(p) | qBlue(p), 0) << "badge " << int(badge) << " local " << local;
          inked += qAlpha(p) > 0;
        }
      }
      EXPECT_GT(inked, 100);
    }
  }
}

// The optional dot and the required triangle sit at the top right; without a badge that corner is clear.
TEST(BrandIconTest, BadgesAtTheirPlace) {
  // All three carry the local mark, so the glyph is scaled down alike and only the badge differs.
  const QImage none = BrandIcon::menuBarImage(UpdateBadge::none, true);
  const QImage optional = BrandIcon::menuBarImage(UpdateBadge::optional, true);
  const QImage required = BrandIcon::menuBarImage(UpdateBadge::required, true);

  // The dot's centre and its right part, which the triangle leaves clear; the triangle's middle; the small dot.
  const QPointF dotCentre(kSide - 3.1, 3.2), dotRight(kSide - 1.5, 3.2);
  const QPointF triangle(kSide - 4.5, 3.4), smallDot(kSide - 4.4, 1.4);
  for (const QPointF p : {dotCentre, dotRight, triangle, smallDot}) EXPECT_TRUE(clearAt(none, p.x(), p.y()));
  EXPECT_TRUE(inkAt(optional, dotCentre.x(), dotCentre.y()));
  EXPECT_TRUE(inkAt(optional, dotRight.x(), dotRight.y()));
  EXPECT_TRUE(inkAt(required, triangle.x(), triangle.y()));
  EXPECT_TRUE(clearAt(required, dotRight.x(), dotRight.y()));
  EXPECT_GT(qAlpha(pixelAt(required, smallDot.x(), smallDot.y())), 100);
}

// The local mark's frame sits at the bottom left only on local builds; a mark shrinks the glyph.
TEST(BrandIconTest, LocalMarkAndGlyphScale) {
  const double frameBottom = kSide - 4.8 + 3.6;
  for (const UpdateBadge badge : {UpdateBadge::none, UpdateBadge::optional}) {
    EXPECT_TRUE(inkAt(BrandIcon::menuBarImage(badge, true), 2.4, frameBottom));
    EXPECT_TRUE(clearAt(BrandIcon::menuBarImage(badge, false), 2.4, frameBottom));
  }
  // Unmarked, the glyph spans the full width: its strong frame's right edge is near the right border.
  EXPECT_TRUE(inkAt(BrandIcon::menuBarImage(UpdateBadge::none, false), kSide - 1.4, kSide / 2));
  EXPECT_TRUE(clearAt(BrandIcon::menuBarImage(UpdateBadge::none, true), kSide - 1.4, kSide / 2));
}

// The recording image carries the red dot at the top right and the black stop square in the middle.
TEST(BrandIconTest, RecordingImage) {
  const QImage image = BrandIcon::menuBarRecordingImage();
  const QRgb dot = pixelAt(image, kSide - 4, 4);
  EXPECT_EQ(qAlpha(dot), 255);
  EXPECT_GT(qRed(dot), 200);
  EXPECT_LT(qGreen(dot), 90);
  const QRgb middle = pixelAt(image, kSide / 2 - 0.5, kSide / 2);
  EXPECT_EQ(qAlpha(middle), 255);
  EXPECT_EQ(qRed(middle) | qGreen(middle) | qBlue(middle), 0);
}

// The colour mark loads from the resources at 48 points; the raster icon stands in; nothing when neither exists.
TEST(BrandIconTest, ColorMarkAndItsFallback) {
  const QImage mark = BrandIcon::colorMarkImage();
  ASSERT_FALSE(mark.isNull());
  EXPECT_EQ(mark.size(), QSize(96, 96));
  EXPECT_EQ(mark.devicePixelRatio(), 2.0);
  const QRgb tile = mark.pixel(10, 48);
  EXPECT_GT(qBlue(tile), qRed(tile) + 60);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EXPECT_TRUE(BrandIcon::brandImage(dir.path()).isNull());
  QImage icon(256, 256, QImage::Format_RGB32);
  icon.fill(QColor(200, 40, 40));
  ASSERT_TRUE(icon.save(dir.filePath(QStringLiteral("VistrelAppIcon.jpg"))));
  const QImage fallback = BrandIcon::brandImage(dir.path());
  EXPECT_EQ(fallback.size(), QSize(96, 96));
  EXPECT_GT(qRed(fallback.pixel(48, 48)), 150);
}

}  // namespace
}  // namespace vistrel
