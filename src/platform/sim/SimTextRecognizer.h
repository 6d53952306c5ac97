#pragma once
// Reading on the simulated desktop: scripted answers, and a record of the
// images each request was given, so tests see what the product asked for.

#include <QImage>

#include <optional>
#include <string>
#include <vector>

#include "platform/TextRecognizer.h"

namespace vistrel::sim {

class SimTextRecognizer : public platform::TextRecognizer {
 public:
  platform::RecognitionResult<std::string> recognizeText(const QImage& image) override;
  platform::RecognitionResult<std::vector<platform::DecodedCode>> decodeCodes(const QImage& image) override;

  // Test controls: what every request answers.
  std::string text;
  std::vector<platform::DecodedCode> codes;
  std::optional<std::string> fault;  // when set, every request fails with it
  // When set, it answers every request instead (a real recognizer, for
  // tests that read actual pixels through the product's own code).
  platform::TextRecognizer* answeredBy = nullptr;

  // The images given to each kind of request, oldest first.
  std::vector<QImage> textImages;
  std::vector<QImage> codeImages;
};

}  // namespace vistrel::sim
