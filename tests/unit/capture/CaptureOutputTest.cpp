#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "capture/CaptureError.h"
#include "capture/CaptureOutput.h"
#include "capture/CapturePreferences.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

namespace Prefs = CapturePreferences;

// Sets an environment variable for one scope and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.toLocal8Bit().constData(), 1);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A picture with varied colours (and alpha where the format has it), so that
// filters and band edges matter.
QImage pattern(int width, int height, QImage::Format format) {
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y, qRgba((x * 37 + y * 11) & 0xff, (x * 5 ^ y * 17) & 0xff, (x + y) * 3 & 0xff,
                                 (x * 29 + y * 7) & 0xff));
  return image.convertToFormat(format);
}

QImage decoded(const QByteArray& bytes) { return QImage::fromData(bytes); }

class CaptureOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  platform::UserDefaults& defaults() { return sim->defaults(); }
  QString path(const QString& name) const { return dir.filePath(name); }
  // Everything in the folder, hidden files included.
  QStringList entries(const QString& folder) const {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }

  QTemporaryDir dir;
  sim::ScopedSimPlatform sim;
};

// Each side is multiplied by the fraction, rounded half away from zero, at least 1; the result carries alpha.
TEST_F(CaptureOutputTest, ReductionSizes) {
  const QImage capture = pattern(3, 3, QImage::Format_RGB32);
  EXPECT_EQ(CaptureOutput::applyingQuality(capture).cacheKey(), capture.cacheKey());  // best: the same image

  struct Case {
    CaptureQuality quality;
    QSize from, to;
  };
  for (const Case& c : {Case{CaptureQuality::low, {3, 3}, {1, 1}}, Case{CaptureQuality::low, {1, 1}, {1, 1}},
                        Case{CaptureQuality::medium, {5, 3}, {3, 2}}, Case{CaptureQuality::high, {1001, 2}, {751, 2}},
                        Case{CaptureQuality::high, {1920, 1080}, {1440, 810}}}) {
    Prefs::setQuality(c.quality);
    const QImage reduced = CaptureOutput::applyingQuality(pattern(c.from.width(), c.from.height(), QImage::Format_RGB32));
    EXPECT_EQ(reduced.size(), c.to) << c.from.width() << "x" << c.from.height();
    EXPECT_EQ(reduced.format(), QImage::Format_ARGB32_Premultiplied);
  }

  // Smooth scaling of a plain colour keeps the colour.
  Prefs::setQuality(CaptureQuality::medium);
  QImage plain(40, 30, QImage::Format_RGB32);
  plain.fill(QColor(12, 200, 99));
  const QImage reduced = CaptureOutput::applyingQuality(plain);
  EXPECT_EQ(reduced.pixel(7, 9), qRgb(12, 200, 99));
}

// Automatic saves an opaque best-quality capture as jpg, the reduced (alpha-carrying) one as png; PNG format always png.
TEST_F(CaptureOutputTest, ExtensionFollowsAlphaKind) {
  const QImage capture = pattern(8, 8, QImage::Format_RGB32);
  EXPECT_EQ(CaptureOutput::fileExtension(capture), "png");
  defaults().setString(Prefs::kSaveFormatKey, "auto");
  EXPECT_EQ(CaptureOutput::fileExtension(CaptureOutput::applyingQuality(capture)), "jpg");
  Prefs::setQuality(CaptureQuality::high);
  EXPECT_EQ(CaptureOutput::fileExtension(CaptureOutput::applyingQuality(capture)), "png");
  EXPECT_EQ(CaptureOutput::fileExtension(pattern(8, 8, QImage::Format_RGB888)), "jpg");
  EXPECT_EQ(CaptureOutput::fileExtension(pattern(8, 8, QImage::Format_RGBX8888)), "jpg");
  // Decided by the format: an ARGB image whose pixels are all opaque is still png.
  QImage opaqueArgb(4, 4, QImage::Format_ARGB32);
  opaqueArgb.fill(Qt::red);
  EXPECT_EQ(CaptureOutput::fileExtension(opaqueArgb), "png");
}

// The name is "Vistrel-", the UTC time to the millisecond and the extension, in the save folder.
TEST_F(CaptureOutputTest, FileName) {
  CaptureOutput::setSaveDirectory(path("shots").toStdString());
  defaults().setString(Prefs::kSaveFormatKey, "auto");
  sim->clock().advance(0.123);  // the virtual clock starts at 2026-03-01T09:15:42Z
  EXPECT_EQ(CaptureOutput::fileURL(pattern(2, 2, QImage::Format_RGB32)),
            path("shots").toStdString() + "/Vistrel-2026-03-01T09:15:42.123Z.jpg");
  EXPECT_EQ(CaptureOutput::fileName(pattern(2, 2, QImage::Format_ARGB32), 1796582530.5),
            "Vistrel-2026-12-06T18:42:10.500Z.png");
  EXPECT_EQ(CaptureOutput::timestamp(1796582530.9996), "2026-12-06T18:42:11.000Z");
  EXPECT_EQ(CaptureOutput::timestamp(0.007), "1970-01-01T00:00:00.007Z");
}

// Without a usable stored folder, screenshots go to Pictures/Vistrel, with Pictures from the XDG user folders.
TEST_F(CaptureOutputTest, SaveFolderFallsBackToPictures) {
  const ScopedVariable home("HOME", path("home"));
  const ScopedVariable config("XDG_CONFIG_HOME", path("home/.config"));
  const std::string pictures = path("home/Pictures/Vistrel").toStdString();
  EXPECT_EQ(CaptureOutput::saveDirectory(), pictures);
  EXPECT_TRUE(std::filesystem::is_directory(pictures));

  QFile plainFile(path("not-a-folder"));
  ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
  plainFile.close();
  defaults().setString(Prefs::kSaveDirectoryKey, plainFile.fileName().toStdString());
  EXPECT_EQ(CaptureOutput::saveDirectory(), pictures);
  defaults().setString(Prefs::kSaveDirectoryKey, path("missing").toStdString());
  EXPECT_EQ(CaptureOutput::saveDirectory(), pictures);

  ASSERT_TRUE(QDir().mkpath(path("home/.config")));
  QFile userDirs(path("home/.config/user-dirs.dirs"));
  ASSERT_TRUE(userDirs.open(QIODevice::WriteOnly));
  userDirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  userDirs.close();
  EXPECT_EQ(CaptureOutput::saveDirectory(), path("home/Bilder/Vistrel").toStdString());

  const std::string chosen = path("a/b").toStdString();
  CaptureOutput::setSaveDirectory(chosen);
  EXPECT_TRUE(std::filesystem::is_directory(chosen));
  EXPECT_EQ(defaults().string(Prefs::kSaveDirectoryKey), chosen);
  EXPECT_EQ(CaptureOutput::saveDirectory(), chosen);
}

// PNG keeps every pixel: opaque formats come back equal, alpha (straight or premultiplied) unpremultiplied exactly.
TEST_F(CaptureOutputTest, PngRoundTrip) {
  for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_ARGB32,
                                      QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888}) {
    const QImage source = pattern(37, 41, format);  // odd sizes, several bands of rows
    const auto bytes = CaptureOutput::pngData(source);
    ASSERT_TRUE(bytes) << format;
    const QImage back = decoded(*bytes);
    ASSERT_EQ(back.size(), source.size());
    const bool alpha = source.hasAlphaChannel();
    EXPECT_EQ(back.hasAlphaChannel(), alpha) << format;
    const QImage::Format compared = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    EXPECT_EQ(back.convertToFormat(compared), source.convertToFormat(compared)) << format;
  }
  EXPECT_FALSE(CaptureOutput::pngData(QImage()));
}

// JPEG decodes close to the source; an image with alpha is laid on white.
TEST_F(CaptureOutputTest, JpegRoundTrip) {
  QImage smooth(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < smooth.height(); ++y)
    for (int x = 0; x < smooth.width(); ++x) smooth.setPixel(x, y, qRgb(x * 4, y * 5, 128));
  const auto bytes = CaptureOutput::jpegData(smooth, 0.92);
  ASSERT_TRUE(bytes);
  const QImage back = decoded(*bytes);
  ASSERT_EQ(back.size(), smooth.size());
  long long difference = 0;
  for (int y = 0; y < back.height(); ++y)
    for (int x = 0; x < back.width(); ++x) {
      const QRgb a = back.pixel(x, y), b = smooth.pixel(x, y);
      difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    }
  EXPECT_LT(double(difference) / (back.width() * back.height() * 3), 2.0);

  QImage clear(16, 16, QImage::Format_ARGB32_Premultiplied);
  clear.fill(Qt::transparent);
  const QImage flattened = decoded(*CaptureOutput::jpegData(clear, 0.55));
  EXPECT_GE(qGray(flattened.pixel(8, 8)), 250);
  EXPECT_FALSE(CaptureOutput::jpegData(QImage(), 0.92));
}

// The extension picks the encoder in any case: "JPEG" and "jpg" give JPEG bytes, others PNG.
TEST_F(CaptureOutputTest, WriteChoosesEncoderByExtension) {
  const QImage capture = pattern(20, 10, QImage::Format_RGB32);
  for (const char* name : {"shot.JPEG", "shot.jpg", "shot.Jpeg"}) {
    CaptureOutput::write(capture, path(name).toStdString());
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\xFF\xD8\xFF")) << name;
  }
  for (const char* name : {"shot.png", "shot.jpg.tiff", "shot"}) {
    CaptureOutput::write(capture, path(name).toStdString());
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\x89PNG\r\n")) << name;
  }
  EXPECT_EQ(entries(dir.path()).size(), 6);  // no temporary files left
}

// A failed write throws with the errno and leaves neither a partial target nor a temporary file.
TEST_F(CaptureOutputTest, FailedWriteLeavesNothing) {
  const QImage capture = pattern(300, 200, QImage::Format_RGB32);
  const auto expectFailure = [&](const QString& target, int error) {
    try {
      CaptureOutput::write(capture, target.toStdString());
      ADD_FAILURE() << "no error for " << target.toStdString();
    } catch (const std::filesystem::filesystem_error& e) {
      EXPECT_EQ(e.code().value(), error) << e.what();
    }
  };

  // A folder that cannot exist: its parent is a regular file (this stops root too).
  QFile plainFile(path("plain"));
  ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
  plainFile.close();
  expectFailure(path("plain/shot.png"), ENOTDIR);

  // The target is a folder: the rename is refused after the temporary file was written.
  ASSERT_TRUE(QDir().mkpath(path("taken.png")));
  expectFailure(path("taken.png"), EISDIR);

  // The disk fills up while writing (a file-size limit stands in for a full disk); the old file stays whole.
  QFile old(path("old.png"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("previous contents");
  old.close();
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  expectFailure(path("old.png"), EFBIG);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);
  QFile kept(path("old.png"));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "previous contents");

  // Nothing to encode: the capture error, and no file.
  try {
    CaptureOutput::write(QImage(), path("empty.png").toStdString());
    ADD_FAILURE() << "no error for a null image";
  } catch (const CaptureException& e) {
    EXPECT_EQ(e.error(), CaptureError::encodeFailed);
  }

  EXPECT_EQ(entries(dir.path()), QStringList({"old.png", "plain", "taken.png"}));
  EXPECT_TRUE(entries(path("taken.png")).isEmpty());
}

// Copying clears what the clipboard held and offers the image itself.
TEST_F(CaptureOutputTest, CopyReplacesClipboard) {
  sim->pasteboard().setString("earlier");
  const QImage capture = pattern(5, 5, QImage::Format_RGB32);
  CaptureOutput::copyToClipboard(capture);
  EXPECT_EQ(sim->pasteboard().string(), std::nullopt);
  ASSERT_TRUE(sim->pasteboard().image());
  EXPECT_EQ(*sim->pasteboard().image(), capture);
}

}  // namespace
}  // namespace vistrel
