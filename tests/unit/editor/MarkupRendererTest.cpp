#include <gtest/gtest.h>

#include <QImage>

#include "editor/MarkupRenderer.h"

namespace vistrel {
namespace {

namespace Renderer = MarkupRenderer;

const MarkupColor kBlack{0, 0, 0, 1};

QImage filled(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

// Every pixel a different colour, so that moved or mixed pixels show.
QImage ramp(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 5 % 256, y * 7 % 256, (x + y) % 256));
  return image;
}

int grey(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)); }

MarkupItem arrow(Point from, Point to, double width) { return Markup::Arrow{from, to, kBlack, width}; }

// The head is max(4 × width, 14) long: its wings reach back 0.844 of that, beyond the shaft's own width.
TEST(MarkupRendererTest, ArrowHeadLength) {
  const QImage picture = filled(200, 100, Qt::white);
  // Width 2: the tip at x 180, the wings back to x 168.2 at ±7.5.
  const QImage thin = Renderer::burn({arrow({20, 50}, {180, 50}, 2)}, picture);
  EXPECT_LT(grey(thin, 170, 45), 100);
  EXPECT_GT(grey(thin, 166, 45), 250);
  // Width 8: the wings back to x 153 at ±17.1.
  const QImage wide = Renderer::burn({arrow({20, 50}, {180, 50}, 8)}, picture);
  EXPECT_LT(grey(wide, 156, 38), 100);
  EXPECT_GT(grey(wide, 150, 38), 250);
}

// Burning keeps the picture's size and opacity; nothing to draw leaves the picture itself, and a one-point
// stroke draws nothing.
TEST(MarkupRendererTest, BurnKeepsThePicture) {
  const QImage picture = ramp(60, 40);
  EXPECT_EQ(Renderer::burn({}, picture).cacheKey(), picture.cacheKey());
  const QImage onePoint = Renderer::burn({Markup::Pen{{{10, 10}}, kBlack, 4}}, picture);
  EXPECT_EQ(onePoint.format(), QImage::Format_RGB32);
  EXPECT_EQ(onePoint, picture);

  // Translucent ink and antialiased edges keep every pixel opaque, as RGB32 promises.
  const QImage inked = Renderer::burn({Markup::Highlight{{{5, 5}, {30, 35}, {55, 8}}, kBlack, 9},
                                       Markup::Oval{{3, 3}, {50, 30}, MarkupColor{1, 0, 0, 0.3}, 3}},
                                      picture);
  EXPECT_NE(inked, picture);
  for (int y = 0; y < inked.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(inked.constScanLine(y));  // raw: pixel() forces RGB32 opaque
    for (int x = 0; x < inked.width(); ++x) ASSERT_EQ(qAlpha(row[x]), 255) << x << "," << y;
  }

  QImage clear(60, 40, QImage::Format_ARGB32_Premultiplied);
  clear.fill(Qt::transparent);
  const QImage drawn = Renderer::burn({Markup::Line{{0, 20}, {60, 20}, kBlack, 4}}, clear);
  EXPECT_TRUE(drawn.hasAlphaChannel());
  EXPECT_EQ(qAlpha(drawn.pixel(30, 5)), 0);
  EXPECT_EQ(qAlpha(drawn.pixel(30, 20)), 255);
}

// Text sizes are in pixels: a picture's resolution does not change how large its text is drawn.
TEST(MarkupRendererTest, TextSizeInPixels) {
  QImage screen = filled(300, 80, Qt::white);
  screen.setDotsPerMeterX(3780);  // 96 dpi
  screen.setDotsPerMeterY(3780);
  QImage retina = screen.copy();
  retina.setDotsPerMeterX(5669);  // 144 dpi
  retina.setDotsPerMeterY(5669);
  const std::vector<MarkupItem> text{Markup::Text{"Shipped", {10, 10}, kBlack, 40}};
  const QImage a = Renderer::burn(text, screen), b = Renderer::burn(text, retina);
  EXPECT_NE(a, screen);
  EXPECT_EQ(a.convertToFormat(QImage::Format_RGB32), b.convertToFormat(QImage::Format_RGB32));
}

// A step's disc is at least 12 pixels in radius.
TEST(MarkupRendererTest, StepMinimumRadius) {
  const QImage burned = Renderer::burn({Markup::Step{1, {50, 50}, kBlack, 5}}, filled(100, 100, Qt::white));
  EXPECT_LT(grey(burned, 60, 50), 20);
  EXPECT_LT(grey(burned, 50, 40), 20);
  EXPECT_GT(grey(burned, 64, 50), 250);
}

// A blur sees what was drawn before it and not what comes after; it keeps a flat colour flat up to its edges, and
// a blur too thin or outside the picture does nothing.
TEST(MarkupRendererTest, BlurOrderAndEdges) {
  const QImage picture = filled(200, 200, Qt::white);
  const MarkupItem shaft = arrow({20, 100}, {180, 100}, 4);
  const MarkupItem blur = Markup::Blur{Rect(150, 50, -100, 100)};  // normalised: 50…150

  const QImage blurredArrow = Renderer::burn({shaft, blur}, picture);
  EXPECT_GT(grey(blurredArrow, 100, 100), 180);
  EXPECT_LT(grey(blurredArrow, 100, 100), 250);
  EXPECT_LT(grey(blurredArrow, 30, 100), 20);  // outside the area: sharp
  EXPECT_LT(grey(Renderer::burn({blur, shaft}, picture), 100, 100), 20);

  const QImage flat = filled(120, 90, QColor(10, 120, 200));
  const QImage blurredFlat = Renderer::burn({Markup::Blur{Rect(-10, -10, 200, 200)}}, flat);
  EXPECT_EQ(blurredFlat.format(), QImage::Format_RGB32);
  EXPECT_EQ(blurredFlat, flat);

  const QImage pattern = ramp(100, 100);
  EXPECT_EQ(Renderer::burn({Markup::Blur{Rect(10, 10, 2, 50)}}, pattern), pattern);
  EXPECT_EQ(Renderer::burn({Markup::Blur{Rect(150, 10, 20, 50)}}, pattern), pattern);
  EXPECT_NE(Renderer::burn({Markup::Blur{Rect(10, 10, 2.5, 50)}}, pattern), pattern);
}

// Pixelate blocks are about 14 pixels: a 10x10 area turns one colour, a 28x28 area four blocks of 14.
TEST(MarkupRendererTest, PixelateBlocks) {
  const QImage picture = ramp(60, 60);
  const QImage small = Renderer::burn({Markup::Pixelate{Rect(0, 0, 10, 10)}}, picture);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(small.pixel(x, y), small.pixel(0, 0)) << x << "," << y;
  EXPECT_EQ(small.pixel(10, 10), picture.pixel(10, 10));

  const QImage blocks = Renderer::burn({Markup::Pixelate{Rect(0, 0, 28, 28)}}, picture);
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < 28; ++x)
      ASSERT_EQ(blocks.pixel(x, y), blocks.pixel(x / 14 * 14, y / 14 * 14)) << x << "," << y;
  EXPECT_NE(blocks.pixel(0, 0), blocks.pixel(14, 0));
  EXPECT_NE(blocks.pixel(0, 0), blocks.pixel(0, 14));
  EXPECT_EQ(blocks.pixel(28, 28), picture.pixel(28, 28));
}

// The backdrop adds twice the margin, rounds the picture's corners, and runs from its first colour at the top
// to the second at the bottom.
TEST(MarkupRendererTest, BackdropFrame) {
  const QImage picture = filled(1000, 600, Qt::black);
  EXPECT_EQ(Renderer::present(picture, BackdropStyle::off).cacheKey(), picture.cacheKey());
  const QImage framed = Renderer::present(picture, BackdropStyle::light);
  EXPECT_EQ(framed.size(), QSize(1144, 744));
  EXPECT_FALSE(framed.hasAlphaChannel());
  EXPECT_NEAR(grey(framed, 0, 0), 247, 1);      // 0.97
  EXPECT_NEAR(grey(framed, 0, 743), 224, 2);    // 0.88
  EXPECT_GT(grey(framed, 72, 72), 200);         // the corner is rounded off (radius 18)
  EXPECT_EQ(grey(framed, 72 + 18, 72 + 18), 0);
  EXPECT_EQ(grey(framed, 72, 400), 0);           // straight edges are whole pixels
  EXPECT_GT(grey(framed, 71, 400), 150);
  // The shadow falls below: under the card against the far left of the same row.
  const int shadeBelow = grey(framed, 10, 682) - grey(framed, 600, 682);
  const int shadeAbove = grey(framed, 10, 62) - grey(framed, 600, 62);
  EXPECT_GT(shadeBelow, shadeAbove + 10);

  EXPECT_DOUBLE_EQ(BackdropStyles::padding(4000, 3000), 210);
  EXPECT_DOUBLE_EQ(BackdropStyles::radius(4000, 3000), 60);
  EXPECT_EQ(Renderer::present(filled(4000, 3000, Qt::white), BackdropStyle::dark).size(), QSize(4420, 3420));
}

// Crop rounds its origin down and far edges up, keeps only the inside, and refuses 4 pixels or less.
TEST(MarkupRendererTest, CropRounding) {
  const QImage picture = ramp(100, 100);
  EXPECT_EQ(Renderer::crop(picture, Rect(10, 0, 4, 100)), std::nullopt);
  const auto fiveWide = Renderer::crop(picture, Rect(0.5, 0, 4.5, 100));
  ASSERT_TRUE(fiveWide);
  EXPECT_EQ(fiveWide->size(), QSize(5, 100));
  const auto corner = Renderer::crop(picture, Rect(140, 140, -50, -50));
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->size(), QSize(10, 10));
  EXPECT_EQ(corner->pixel(0, 0), picture.pixel(90, 90));
  EXPECT_EQ(Renderer::crop(picture, Rect(200, 0, 50, 50)), std::nullopt);
}

// Sample reads the pixel under the point rounded down, un-premultiplied and opaque; outside there is none.
TEST(MarkupRendererTest, SampleBounds) {
  QImage picture(10, 10, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::white);
  picture.setPixelColor(2, 3, QColor(200, 100, 50, 128));
  EXPECT_EQ(Renderer::sample(picture, {-0.5, 3}), std::nullopt);
  EXPECT_EQ(Renderer::sample(picture, {10, 0}), std::nullopt);
  EXPECT_EQ(Renderer::sample(picture, {0, 10}), std::nullopt);
  const auto colour = Renderer::sample(picture, {2.9, 3.7});
  ASSERT_TRUE(colour);
  EXPECT_NEAR(colour->red, 200 / 255.0, 2 / 255.0);
  EXPECT_NEAR(colour->green, 100 / 255.0, 2 / 255.0);
  EXPECT_NEAR(colour->blue, 50 / 255.0, 2 / 255.0);
  EXPECT_EQ(colour->alpha, 1);
}

}  // namespace
}  // namespace vistrel
