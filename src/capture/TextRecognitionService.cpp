#include "capture/TextRecognitionService.h"

#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <map>
#include <variant>

#include "capture/CaptureError.h"
#include "platform/Platform.h"

namespace vistrel::TextRecognitionService {

namespace {

constexpr int kExcerptCharacters = 120;

template <class T>
T valueOrThrow(platform::RecognitionResult<T> result) {
  if (auto* fault = std::get_if<platform::RecognitionFault>(&result)) throw CaptureSystemError(fault->description);
  return std::move(std::get<T>(result));
}

// The colour most common on the outline of `area`: the ground around a code.
QColor groundAround(const QImage& image, QRect area) {
  std::map<QRgb, int> counts;
  auto count = [&](int x, int y) { ++counts[image.pixel(x, y)]; };
  for (int x = area.left(); x <= area.right(); ++x) {
    count(x, area.top());
    count(x, area.bottom());
  }
  for (int y = area.top(); y <= area.bottom(); ++y) {
    count(area.left(), y);
    count(area.right(), y);
  }
  auto most = std::max_element(counts.begin(), counts.end(),
                               [](const auto& a, const auto& b) { return a.second < b.second; });
  return QColor::fromRgb(most->first);
}

// The image with each code's area, and the quiet zone a reader needs around
// it, painted in the surrounding ground.
QImage withoutCodes(const QImage& image, const std::vector<platform::DecodedCode>& codes) {
  QImage blanked = image.convertToFormat(QImage::Format_RGB32);
  QPainter painter(&blanked);
  for (const auto& code : codes) {
    int margin = std::max(2, std::min(code.bounds.width(), code.bounds.height()) / 8);
    QRect area = code.bounds.adjusted(-margin, -margin, margin, margin) & blanked.rect();
    if (area.isEmpty()) continue;
    painter.fillRect(area, groundAround(blanked, area));
  }
  return blanked;
}

}  // namespace

std::string recognizeText(const QImage& image) {
  return valueOrThrow(platform::current().textRecognizer().recognizeText(image));
}

std::string recognizeTextOrCodes(const QImage& image) {
  auto& recognizer = platform::current().textRecognizer();
  auto codes = valueOrThrow(recognizer.decodeCodes(image));
  std::vector<std::string> codeTexts;
  for (const auto& code : codes) codeTexts.push_back(code.text);
  std::string text = valueOrThrow(recognizer.recognizeText(codes.empty() ? image : withoutCodes(image, codes)));
  return composeText(codeTexts, text);
}

std::string composeText(const std::vector<std::string>& codeTexts, const std::string& text) {
  std::string composed;
  auto append = [&composed](const std::string& part) {
    if (part.empty()) return;
    if (!composed.empty()) composed += "\n\n";
    composed += part;
  };
  for (const auto& code : codeTexts) append(code);
  append(text);
  return composed;
}

ResultAlert resultAlert(const std::string& text) {
  if (text.empty()) return {"No text found", "Try selecting a clearer area."};
  QString whole = QString::fromStdString(text);
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, whole);
  int counted = 0;
  while (counted < kExcerptCharacters && characters.toNextBoundary() != -1) ++counted;
  qsizetype end = characters.position();
  if (counted < kExcerptCharacters || end >= whole.size()) return {"Copied text", text};
  return {"Copied text", whole.left(end).toStdString() + "…"};
}

}  // namespace vistrel::TextRecognitionService
