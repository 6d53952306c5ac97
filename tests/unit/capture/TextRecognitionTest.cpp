#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include <string>

#include "capture/CaptureError.h"
#include "capture/TextRecognitionService.h"
#include "platform/sim/SimPlatform.h"

namespace vistrel {
namespace {

namespace Service = TextRecognitionService;

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// A code's content comes first, then a blank line and the text read from the
// image with the code's area painted in the ground around it.
TEST(TextRecognition, CodesComeFirstAndAreBlankedOutOfTheText) {
  sim::ScopedSimPlatform sim;
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter(&image).fillRect(QRect(120, 20, 50, 50), Qt::black);
  auto& recognizer = sim->textRecognizer();
  recognizer.codes = {{"https://example.org/a", "QRCode", QRect(120, 20, 50, 50)},
                      {"4006381333931", "EAN-13", QRect(10, 80, 60, 1)}};
  recognizer.text = "Invoice 42\nDue 2024-05-17";

  EXPECT_EQ(Service::recognizeTextOrCodes(image), "https://example.org/a\n\n4006381333931\n\nInvoice 42\nDue 2024-05-17");

  ASSERT_EQ(recognizer.codeImages.size(), 1u);
  EXPECT_EQ(recognizer.codeImages[0], image);
  ASSERT_EQ(recognizer.textImages.size(), 1u);
  const QImage& read = recognizer.textImages[0];
  EXPECT_EQ(read.pixelColor(145, 45), QColor(Qt::white));
  EXPECT_EQ(read.pixelColor(120, 20), QColor(Qt::white));
  EXPECT_EQ(read.size(), image.size());
}

// Without codes the image is read as it is; empty parts leave no blank lines.
TEST(TextRecognition, ComposesOnlyWhatWasFound) {
  sim::ScopedSimPlatform sim;
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(Qt::darkBlue);
  auto& recognizer = sim->textRecognizer();
  recognizer.text = "two\nlines";
  EXPECT_EQ(Service::recognizeTextOrCodes(image), "two\nlines");
  ASSERT_EQ(recognizer.textImages.size(), 1u);
  EXPECT_EQ(recognizer.textImages[0], image);
  EXPECT_EQ(Service::recognizeText(image), "two\nlines");

  recognizer.text.clear();
  EXPECT_EQ(Service::recognizeTextOrCodes(image), "");
  recognizer.codes = {{"WIFI:S:home;T:WPA;P:secret;;", "QRCode", QRect(5, 5, 20, 20)}};
  EXPECT_EQ(Service::recognizeTextOrCodes(image), "WIFI:S:home;T:WPA;P:secret;;");

  EXPECT_EQ(Service::composeText({}, ""), "");
  EXPECT_EQ(Service::composeText({"a", ""}, "b"), "a\n\nb");
}

// A failing recognizer reaches the caller as CaptureSystemError with its own words.
TEST(TextRecognition, FaultsAreSystemErrors) {
  sim::ScopedSimPlatform sim;
  sim->textRecognizer().fault = "Text recognition is not installed: /opt/vistrel/lib/vistrel/libvistrel-ocr.so";
  QImage image(10, 10, QImage::Format_RGB32);
  for (auto read : {&Service::recognizeText, &Service::recognizeTextOrCodes}) {
    try {
      read(image);
      ADD_FAILURE() << "no error thrown";
    } catch (const CaptureSystemError& error) {
      EXPECT_STREQ(error.what(), "Text recognition is not installed: /opt/vistrel/lib/vistrel/libvistrel-ocr.so");
    }
  }
}

// The alert shows at most 120 characters as a reader counts them, whatever
// their size in bytes, with "…" only when text was cut.
TEST(TextRecognition, AlertTextCountsCharactersNotBytes) {
  using Alert = Service::ResultAlert;
  EXPECT_EQ(Service::resultAlert(""), (Alert{"No text found", "Try selecting a clearer area."}));
  EXPECT_EQ(Service::resultAlert("short"), (Alert{"Copied text", "short"}));

  std::string exactly120 = repeated("a", 119) + "\n";
  EXPECT_EQ(Service::resultAlert(exactly120).informativeText, exactly120);
  EXPECT_EQ(Service::resultAlert(repeated("a", 121)).informativeText, repeated("a", 120) + "…");

  // Two-byte letters, four-byte emoji, and a thumb with a skin tone (two code points).
  EXPECT_EQ(Service::resultAlert(repeated("é", 130)).informativeText, repeated("é", 120) + "…");
  EXPECT_EQ(Service::resultAlert(repeated("😀", 120)).informativeText, repeated("😀", 120));
  EXPECT_EQ(Service::resultAlert(repeated("👍🏽", 121)).informativeText, repeated("👍🏽", 120) + "…");
}

}  // namespace
}  // namespace vistrel
