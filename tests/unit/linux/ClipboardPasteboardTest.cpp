#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/linux/ClipboardPasteboard.h"

namespace vistrel::desktop {
namespace {

// Text goes on the clipboard and comes back as the same UTF-8; a cleared clipboard holds no text, an empty string is text.
TEST(ClipboardPasteboardTest, TextRoundTripAndClear) {
  ClipboardPasteboard pasteboard;
  pasteboard.setString("/tmp/vistrel-layout.log — “copied”…");
  EXPECT_EQ(pasteboard.string(), std::optional<std::string>("/tmp/vistrel-layout.log — “copied”…"));
  pasteboard.clear();
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  pasteboard.setString("");
  EXPECT_EQ(pasteboard.string(), std::optional<std::string>(""));
  pasteboard.clear();
}

// An image is offered as PNG first, encoded once when asked for, and every offered type decodes to the same pixels.
TEST(ClipboardPasteboardTest, ImageOfferedAsPngFirst) {
  QImage image(31, 17, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 8, y * 15, (x * y) & 0xff));
  ClipboardPasteboard pasteboard;
  pasteboard.setImage(image);

  const QMimeData* offered = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  ASSERT_TRUE(offered);
  const QStringList types = offered->formats();
  ASSERT_FALSE(types.isEmpty());
  EXPECT_EQ(types.first(), "image/png");
  EXPECT_TRUE(types.contains("image/bmp"));
  for (const QString& type : types)
    EXPECT_EQ(QImage::fromData(offered->data(type)).convertToFormat(QImage::Format_RGB32), image) << type.toStdString();
  const QByteArray png = offered->data("image/png");
  EXPECT_EQ(offered->data("image/png").constData(), png.constData());  // the cached bytes, not a second encoding

  EXPECT_EQ(pasteboard.image(), std::optional<QImage>(image));
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  pasteboard.clear();
  EXPECT_EQ(pasteboard.image(), std::nullopt);
}

}  // namespace
}  // namespace vistrel::desktop
