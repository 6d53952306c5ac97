#pragma once
// Reading a captured image: its printed text, and the QR and bar codes in it.
// Synchronous, on the caller's thread (the main thread). The first request
// for text loads the recognition model, which then stays loaded.

#include <QImage>

#include <string>
#include <vector>

namespace vistrel::TextRecognitionService {

// The text lines in reading order, joined by "\n"; empty when the image holds
// no legible text. Throws CaptureSystemError when the recognizer fails.
std::string recognizeText(const QImage& image);

// What "Recognize Text/QR" copies: the content of each code in the image,
// then the image's text read with the codes' areas blanked out (a code's
// modules would read as garbage), per composeText. Throws CaptureSystemError.
std::string recognizeTextOrCodes(const QImage& image);

// The codes' contents in order, then the text, with a blank line between
// parts; empty parts are left out.
std::string composeText(const std::vector<std::string>& codeTexts, const std::string& text);

// The alert that tells what was copied.
struct ResultAlert {
  std::string message;
  std::string informativeText;
  friend bool operator==(const ResultAlert&, const ResultAlert&) = default;
};

// "Copied text" with the first 120 characters of the text (followed by "…"
// when there are more), or "No text found" for empty text. Characters are
// what a reader counts: a letter with its accents, an emoji, one each.
ResultAlert resultAlert(const std::string& text);

}  // namespace vistrel::TextRecognitionService
