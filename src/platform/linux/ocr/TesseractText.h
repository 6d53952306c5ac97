#pragma once
// Printed text through Tesseract's LSTM recogniser (English). The model is
// loaded by the first request and kept; a failed load is tried again by the
// next request. One request at a time.

#include <QImage>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/TextRecognizer.h"

namespace tesseract {
class TessBaseAPI;
}

namespace vistrel::desktop::ocr {

class TesseractText {
 public:
  TesseractText();
  ~TesseractText();

  platform::RecognitionResult<std::string> recognize(const QImage& image);

 private:
  std::optional<std::string> load();  // the fault, if any

  std::mutex mutex_;
  std::unique_ptr<tesseract::TessBaseAPI> api_;
};

}  // namespace vistrel::desktop::ocr
