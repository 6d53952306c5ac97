#include "capture/CaptureOutput.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "base/AtomicFile.h"
#include "base/ImageEncoding.h"
#include "capture/CaptureError.h"
#include "capture/CapturePreferences.h"
#include "platform/Platform.h"

namespace vistrel::CaptureOutput {

namespace {

namespace fs = std::filesystem;

// Screenshots are the user's documents: readable by others like any file
// they save.
constexpr mode_t kFileMode = 0644;

void makeFolder(const std::string& path) {
  std::error_code ignored;
  fs::create_directories(path, ignored);
}

std::string lowercased(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

std::string saveDirectory() {
  if (const auto stored = platform::current().defaults().string(CapturePreferences::kSaveDirectoryKey)) {
    std::error_code error;
    if (!stored->empty() && fs::is_directory(*stored, error)) return *stored;
  }
  return defaultDirectory();
}

std::string defaultDirectory() {
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty()) pictures = QDir::homePath() + QStringLiteral("/Pictures");
  const std::string folder = QDir::cleanPath(pictures + QStringLiteral("/Vistrel")).toStdString();
  makeFolder(folder);
  return folder;
}

void setSaveDirectory(const std::string& path) {
  makeFolder(path);
  platform::current().defaults().setString(CapturePreferences::kSaveDirectoryKey, path);
}

QImage applyingQuality(const QImage& image) {
  const CaptureQuality quality = CapturePreferences::quality();
  if (quality == CaptureQuality::best || image.isNull()) return image;
  const double fraction = CaptureQualities::sizeFraction(quality);
  const auto side = [fraction](int pixels) { return int(std::max(1L, std::lround(fraction * pixels))); };
  QImage reduced = image.scaled(side(image.width()), side(image.height()), Qt::IgnoreAspectRatio,
                                Qt::SmoothTransformation);
  if (reduced.isNull()) return image;
  reduced = std::move(reduced).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return reduced.isNull() ? image : reduced;
}

void copyToClipboard(const QImage& image) {
  platform::Pasteboard& pasteboard = platform::current().pasteboard();
  pasteboard.clear();
  pasteboard.setImage(image);
}

std::optional<QByteArray> pngData(const QImage& image) { return ImageEncoding::png(image); }

std::optional<QByteArray> jpegData(const QImage& image, double quality) {
  return ImageEncoding::jpeg(image, quality);
}

void write(const QImage& image, const std::string& path) {
  const std::string extension = lowercased(fs::path(path).extension().string());
  const bool jpeg = extension == ".jpg" || extension == ".jpeg";
  const auto bytes =
      jpeg ? jpegData(image, CaptureQualities::jpegQuality(CapturePreferences::quality())) : pngData(image);
  if (!bytes) throw CaptureException(CaptureError::encodeFailed);
  if (const std::error_code error = replaceFile(path, *bytes, kFileMode))
    throw fs::filesystem_error("cannot write the image", fs::path(path), error);
}

std::string fileExtension(const QImage& image) {
  const bool automatic = CapturePreferences::saveFormat() == SaveFormat::automatic;
  return automatic && !ImageEncoding::hasAlpha(image) ? "jpg" : "png";
}

std::string timestamp(double now) {
  // To the nearest millisecond: a time read as x.123 is stored as x.12299….
  const long long milliseconds = std::llround(now * 1000.0);
  long long seconds = milliseconds / 1000;
  long long millis = milliseconds % 1000;
  if (millis < 0) {
    millis += 1000;
    seconds -= 1;
  }
  const std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&whole, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

std::string fileName(const QImage& image, double now) {
  return "Vistrel-" + timestamp(now) + "." + fileExtension(image);
}

std::string fileURL(const QImage& image) {
  return saveDirectory() + "/" + fileName(image, platform::current().clock().now());
}

}  // namespace vistrel::CaptureOutput
