#include <gtest/gtest.h>

#include "base/LargeImage.h"

namespace vistrel {
namespace {

// A large image is a whole, writable QImage of the asked size and format, and stays valid through copies.
TEST(LargeImage, LargeAndSmallImagesAreOrdinaryImages) {
  QImage large = makeLargeImage(3000, 3001, QImage::Format_ARGB32_Premultiplied);
  ASSERT_FALSE(large.isNull());
  EXPECT_EQ(large.size(), QSize(3000, 3001));
  EXPECT_EQ(large.bytesPerLine(), 3000 * 4);
  large.fill(Qt::transparent);
  large.setPixel(2999, 3000, qRgb(10, 20, 30));
  const QImage copy = large;  // shares the mapping until the last user lets go
  large = QImage();
  EXPECT_EQ(copy.pixel(2999, 3000), qRgb(10, 20, 30));
  EXPECT_EQ(copy.pixel(0, 0), 0u);

  const QImage small = makeLargeImage(10, 10, QImage::Format_RGB32);
  EXPECT_EQ(small.size(), QSize(10, 10));
  EXPECT_TRUE(makeLargeImage(0, 10, QImage::Format_RGB32).isNull());
}

}  // namespace
}  // namespace vistrel
