#pragma once
// Reading an image: lines of printed text, and the QR codes and other 2D and
// linear bar codes in it. Synchronous; the caller's thread does the work,
// one call at a time (the main thread in the program).

#include <QImage>
#include <QRect>

#include <string>
#include <variant>
#include <vector>

namespace vistrel::platform {

// A code symbol found in an image.
struct DecodedCode {
  std::string text;    // the decoded content, UTF-8
  std::string format;  // the symbology's name, e.g. "QRCode", "EAN-13"
  QRect bounds;        // where the symbol lies, in the image's pixels
  friend bool operator==(const DecodedCode&, const DecodedCode&) = default;
};

// A failure of the recognition facility itself, in words for the user.
// An image without text or codes is not a failure.
struct RecognitionFault {
  std::string description;
};

template <class T>
using RecognitionResult = std::variant<T, RecognitionFault>;

class TextRecognizer {
 public:
  virtual ~TextRecognizer() = default;

  // The text lines in reading order, joined by "\n"; empty when the image
  // holds no legible text.
  virtual RecognitionResult<std::string> recognizeText(const QImage& image) = 0;
  // Every code symbol found, top to bottom, then left to right.
  virtual RecognitionResult<std::vector<DecodedCode>> decodeCodes(const QImage& image) = 0;
};

}  // namespace vistrel::platform
