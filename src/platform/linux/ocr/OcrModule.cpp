#include "platform/linux/ocr/OcrModule.h"

#include <exception>
#include <new>

#include "platform/linux/ocr/CodeReader.h"
#include "platform/linux/ocr/TesseractText.h"

namespace vistrel::desktop::ocr {

namespace {

// No exception leaves the module: the program sees faults only.
class ModuleRecognizer final : public platform::TextRecognizer {
 public:
  explicit ModuleRecognizer(int readers) : text_(readers) {}

  platform::RecognitionResult<std::string> recognizeText(const QImage& image) override {
    try {
      return text_.recognize(image);
    } catch (const std::exception& error) {
      return platform::RecognitionFault{std::string("Text recognition failed: ") + error.what()};
    }
  }

  platform::RecognitionResult<std::vector<platform::DecodedCode>> decodeCodes(const QImage& image) override {
    try {
      return readCodes(image);
    } catch (const std::exception& error) {
      return platform::RecognitionFault{std::string("Code reading failed: ") + error.what()};
    }
  }

 private:
  TesseractText text_;
};

}  // namespace

}  // namespace vistrel::desktop::ocr

extern "C" __attribute__((visibility("default"))) vistrel::platform::TextRecognizer* vistrel_ocr_make_recognizer(int readers) {
  try {
    return new vistrel::desktop::ocr::ModuleRecognizer(readers);
  } catch (const std::exception&) {
    return nullptr;
  }
}
