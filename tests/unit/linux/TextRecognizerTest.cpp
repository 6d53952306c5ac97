#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <memory>
#include <string>
#include <variant>

#include "capture/TextRecognitionService.h"
#include "platform/linux/ModuleTextRecognizer.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel::desktop {
namespace {

// The module as built beside the tests; one recognizer for all, so the model loads once.
class TextRecognizerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { recognizer = new ModuleTextRecognizer(VISTREL_OCR_MODULE); }
  static void TearDownTestSuite() { delete recognizer; }
  static ModuleTextRecognizer* recognizer;

  static std::string text(const QImage& image) {
    auto result = recognizer->recognizeText(image);
    if (auto* fault = std::get_if<platform::RecognitionFault>(&result)) ADD_FAILURE() << fault->description;
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : "";
  }
  static std::vector<platform::DecodedCode> codes(const QImage& image) {
    auto result = recognizer->decodeCodes(image);
    if (auto* fault = std::get_if<platform::RecognitionFault>(&result)) ADD_FAILURE() << fault->description;
    return std::holds_alternative<std::vector<platform::DecodedCode>>(result)
               ? std::get<std::vector<platform::DecodedCode>>(result)
               : std::vector<platform::DecodedCode>{};
  }
};
ModuleTextRecognizer* TextRecognizerTest::recognizer = nullptr;

// Threads that carry the program's own name: OpenMP's workers inherit it,
// while Qt's pool threads (used by image scaling) are named.
int unnamedThreads() {
  auto nameOf = [](const QString& statusFolder) {
    QFile comm(statusFolder + "/comm");
    return comm.open(QIODevice::ReadOnly) ? comm.readAll() : QByteArray();
  };
  QByteArray program = nameOf("/proc/self");
  int count = 0;
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    count += nameOf("/proc/self/task/" + task) == program ? 1 : 0;
  return count;
}

QImage page(QSize size, QColor ground) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(ground);
  return image;
}

void write(QImage& image, QPoint at, const QStringList& lines, QColor ink, int pixelSize) {
  QPainter painter(&image);
  QFont font("DejaVu Sans");
  font.setPixelSize(pixelSize);
  painter.setFont(font);
  painter.setPen(ink);
  for (const QString& line : lines) {
    at.ry() += painter.fontMetrics().lineSpacing();
    painter.drawText(at, line);
  }
}

void drawQrCode(QImage& image, QPoint at, const std::string& content, int side, QColor ink = Qt::black) {
  ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(0).encode(content, side, side);
  QPainter painter(&image);
  for (int y = 0; y < matrix.height(); ++y)
    for (int x = 0; x < matrix.width(); ++x)
      if (matrix.get(x, y)) painter.fillRect(at.x() + x, at.y() + y, 1, 1, ink);
}

// Two lines of small text come back as two lines, dark on light and light on
// dark alike, read on the calling thread alone (OpenMP workers would make it
// several times slower on two cores).
TEST_F(TextRecognizerTest, ReadsLinesInOrder) {
  int threads = unnamedThreads();
  QImage light = page({520, 70}, Qt::white);
  write(light, {10, 4}, {"Copy this line of text", "and the second one below"}, Qt::black, 15);
  EXPECT_EQ(text(light), "Copy this line of text\nand the second one below");

  QImage dark = page({520, 70}, QColor(30, 30, 30));
  write(dark, {10, 4}, {"Terminal output 2024-05-17", "build finished in 12 seconds"}, QColor(220, 220, 220), 13);
  EXPECT_EQ(text(dark), "Terminal output 2024-05-17\nbuild finished in 12 seconds");
  EXPECT_EQ(unnamedThreads(), threads);
}

// A page of many lines read on one, two or three threads at once gives the
// same text, every line in its place.
TEST_F(TextRecognizerTest, ReadersTogetherReadAsOne) {
  const QStringList lines = {"First line of the listing", "Second line follows it",     "Third line in the middle",
                             "Fourth line below that",    "Fifth line near the end",    "Sixth line comes next",
                             "Seventh line before the last", "Eighth line closes the page"};
  QImage image = page({640, 210}, Qt::white);
  write(image, {8, 2}, lines, Qt::black, 14);
  ModuleTextRecognizer one(VISTREL_OCR_MODULE, 1), three(VISTREL_OCR_MODULE, 3);
  auto read = [&image](ModuleTextRecognizer& reader) {
    auto result = reader.recognizeText(image);
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : "fault";
  };
  std::string alone = read(one);
  EXPECT_EQ(alone, lines.join('\n').toStdString());
  EXPECT_EQ(text(image), alone);
  EXPECT_EQ(read(three), alone);
}

// Plain areas read as nothing, without a fault.
TEST_F(TextRecognizerTest, BlankImagesGiveEmptyText) {
  EXPECT_EQ(text(page({300, 200}, Qt::white)), "");
  EXPECT_EQ(text(page({300, 200}, QColor(40, 44, 52))), "");
  EXPECT_EQ(text(QImage()), "");
  EXPECT_TRUE(codes(page({300, 200}, Qt::white)).empty());
}

// A QR code beside text is decoded with its place; what the product copies
// is the code's content, a blank line, and the text without the code's modules.
TEST_F(TextRecognizerTest, DecodesQrCodesBesideText) {
  QImage image = page({700, 260}, Qt::white);
  write(image, {20, 20}, {"Scan to open the page"}, Qt::black, 16);
  drawQrCode(image, {440, 30}, "https://example.org/vistrel?q=42", 180);

  auto found = codes(image);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].text, "https://example.org/vistrel?q=42");
  EXPECT_EQ(found[0].format, "QRCode");
  EXPECT_TRUE(QRect(430, 20, 200, 200).contains(found[0].bounds)) << found[0].bounds.x() << "," << found[0].bounds.y();

  sim::ScopedSimPlatform sim;
  sim->textRecognizer().answeredBy = recognizer;
  EXPECT_EQ(TextRecognitionService::recognizeTextOrCodes(image),
            "https://example.org/vistrel?q=42\n\nScan to open the page");

  // Dark themes draw light modules on a dark ground.
  QImage dark = page({300, 300}, QColor(24, 24, 24));
  drawQrCode(dark, {60, 60}, "WIFI:S:home;T:WPA;P:secret;;", 180, QColor(235, 235, 235));
  found = codes(dark);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].text, "WIFI:S:home;T:WPA;P:secret;;");
}

// A missing module is a fault naming the file it looked for.
TEST(ModuleTextRecognizer, MissingModuleIsAFault) {
  ModuleTextRecognizer missing("/nonexistent/libvistrel-ocr.so");
  auto result = missing.recognizeText(QImage(10, 10, QImage::Format_RGB32));
  ASSERT_TRUE(std::holds_alternative<platform::RecognitionFault>(result));
  EXPECT_EQ(std::get<platform::RecognitionFault>(result).description,
            "Text recognition is not installed: /nonexistent/libvistrel-ocr.so");
}

}  // namespace
}  // namespace vistrel::desktop
