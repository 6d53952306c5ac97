#include "platform/linux/ClipboardPasteboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QImageWriter>
#include <QMimeData>

#include "base/ImageEncoding.h"

namespace vistrel::desktop {

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kQtImage = QStringLiteral("application/x-qt-image");

// The lossless types Qt's writers produce, after PNG, in this order.
QStringList offeredTypes() {
  QStringList types{kPng};
  const QList<QByteArray> writable = QImageWriter::supportedMimeTypes();
  for (const char* type : {"image/tiff", "image/bmp"})
    if (writable.contains(type)) types << QString::fromLatin1(type);
  return types;
}

QByteArray writtenByQt(const QImage& image, const QString& mimeType) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mimeType.toLatin1());
  if (formats.isEmpty()) return {};
  QImageWriter writer(&buffer, formats.first());
  return writer.write(image) ? bytes : QByteArray();
}

// An image offered as image/png first, then as the other lossless types Qt
// writes (TIFF where a plugin is installed, BMP). Bytes are produced only
// when a program asks for a type, once per type. The image itself is served
// to readers in this process without encoding, but not listed as
// application/x-qt-image: Qt would then offer every format it can write
// (XPM, ICO, JPEG, ...) and encode each one for a clipboard manager at exit.
class ImageMimeData : public QMimeData {
 public:
  explicit ImageMimeData(QImage image);
  QStringList formats() const override;
  bool hasFormat(const QString& mimeType) const override;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  QImage image_;
  QStringList types_;
  mutable QHash<QString, QByteArray> encoded_;
};

ImageMimeData::ImageMimeData(QImage image) : image_(std::move(image)), types_(offeredTypes()) {}

QStringList ImageMimeData::formats() const { return types_; }

bool ImageMimeData::hasFormat(const QString& mimeType) const { return types_.contains(mimeType); }

// Other programs always ask for bytes; only this process asks for the image.
QVariant ImageMimeData::retrieveData(const QString& mimeType, QMetaType) const {
  if (mimeType == kQtImage) return image_;
  if (!types_.contains(mimeType)) return {};
  auto cached = encoded_.constFind(mimeType);
  if (cached == encoded_.constEnd()) {
    QByteArray bytes;
    if (mimeType == kPng) {
      bytes = ImageEncoding::png(image_).value_or(QByteArray());
    } else {
      bytes = writtenByQt(image_, mimeType);
    }
    cached = encoded_.insert(mimeType, bytes);
  }
  if (cached->isEmpty()) return {};
  return *cached;
}

}  // namespace

void ClipboardPasteboard::clear() { QGuiApplication::clipboard()->clear(QClipboard::Clipboard); }

void ClipboardPasteboard::setString(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text), QClipboard::Clipboard);
}

std::optional<std::string> ClipboardPasteboard::string() const {
  const QMimeData* contents = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
  if (!contents || !contents->hasText()) return std::nullopt;
  return contents->text().toStdString();
}

void ClipboardPasteboard::setImage(const QImage& image) {
  // The clipboard takes ownership of the data.
  QGuiApplication::clipboard()->setMimeData(new ImageMimeData(image), QClipboard::Clipboard);
}

std::optional<QImage> ClipboardPasteboard::image() const {
  const QImage image = QGuiApplication::clipboard()->image(QClipboard::Clipboard);
  if (image.isNull()) return std::nullopt;
  return image;
}

}  // namespace vistrel::desktop
