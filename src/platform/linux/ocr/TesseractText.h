#pragma once
// Printed text through Tesseract's LSTM recogniser (English). A page is cut
// into bands of whole lines, read at once by up to `readers` recognisers,
// each on a thread of its own and itself single-threaded; the lines are
// joined in page order. Each recogniser loads its model when a request first
// needs it and keeps it; a failed load is tried again by the next request.
// One request at a time.

#include <QImage>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/TextRecognizer.h"

namespace tesseract {
class TessBaseAPI;
}

namespace vistrel::desktop::ocr {

class TesseractText {
 public:
  // `readers` < 1: one per core the process may run on.
  explicit TesseractText(int readers);
  ~TesseractText();

  platform::RecognitionResult<std::string> recognize(const QImage& image);

 private:
  std::optional<std::string> load(size_t reader);  // the fault, if any

  std::mutex mutex_;
  std::vector<std::unique_ptr<tesseract::TessBaseAPI>> apis_;  // one a reader, null until used
};

}  // namespace vistrel::desktop::ocr
