#pragma once
// The text recognizer of every Linux desktop. Tesseract and ZXing-cpp live in
// a module of their own (libvistrel-ocr.so) that is loaded by the first
// request and then kept: linked into the program they would add about 12 MB
// to every idle instance. A missing or broken module is a fault of each request.

#include <memory>
#include <string>

#include "platform/TextRecognizer.h"

namespace vistrel::desktop {

class ModuleTextRecognizer : public platform::TextRecognizer {
 public:
  // Text is read on up to `readers` threads at once; < 1: one per core.
  explicit ModuleTextRecognizer(std::string modulePath, int readers = 0);

  // <the executable's folder>/../lib/vistrel/libvistrel-ocr.so
  static std::string defaultModulePath();

  platform::RecognitionResult<std::string> recognizeText(const QImage& image) override;
  platform::RecognitionResult<std::vector<platform::DecodedCode>> decodeCodes(const QImage& image) override;

 private:
  // The module's recognizer, loading it first; null with `fault` set when it cannot be had.
  platform::TextRecognizer* recognizer(std::string& fault);

  std::string modulePath_;
  int readers_;
  std::unique_ptr<platform::TextRecognizer> recognizer_;
};

}  // namespace vistrel::desktop
