#include "platform/sim/SimTextRecognizer.h"

namespace vistrel::sim {

platform::RecognitionResult<std::string> SimTextRecognizer::recognizeText(const QImage& image) {
  textImages.push_back(image);
  if (fault) return platform::RecognitionFault{*fault};
  if (answeredBy) return answeredBy->recognizeText(image);
  return text;
}

platform::RecognitionResult<std::vector<platform::DecodedCode>> SimTextRecognizer::decodeCodes(const QImage& image) {
  codeImages.push_back(image);
  if (fault) return platform::RecognitionFault{*fault};
  if (answeredBy) return answeredBy->decodeCodes(image);
  return codes;
}

}  // namespace vistrel::sim
