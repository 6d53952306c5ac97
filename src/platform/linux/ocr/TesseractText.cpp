#include "platform/linux/ocr/TesseractText.h"

#include <cmath>

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include "platform/linux/ocr/PagePreparation.h"

namespace vistrel::desktop::ocr {

namespace {

// Screens show about 96 pixels per inch; Tesseract sizes its noise filters by it.
constexpr int kScreenPixelsPerInch = 96;

struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};

std::string trimmed(const char* text) {
  std::string line = text ? text : "";
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  size_t begin = 0, end = line.size();
  while (begin < end && isSpace(line[begin])) ++begin;
  while (end > begin && isSpace(line[end - 1])) --end;
  return line.substr(begin, end - begin);
}

}  // namespace

TesseractText::TesseractText() = default;
TesseractText::~TesseractText() = default;

std::optional<std::string> TesseractText::load() {
  if (api_) return std::nullopt;
  // Debian's Tesseract parallelises with OpenMP, which on two cores makes
  // recognition 3-7x slower. OMP_THREAD_LIMIT would come too late: Qt Core
  // brings the OpenMP runtime (through libb2), which read the environment at
  // start. No active parallel levels means every region runs on the calling
  // thread; the setting is process-wide, and nothing else here uses OpenMP.
  omp_set_max_active_levels(0);
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // Its notes (resolution estimates, missing files) would go to our stderr.
  api->SetVariable("debug_file", "/dev/null");
  // Null: Tesseract's own data folder, or $TESSDATA_PREFIX.
  if (api->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0)
    return "Text recognition could not load its English model (package tesseract-ocr-eng).";
  // Pages arrive with dark text on a light ground; retrying lines inverted
  // would only double the time.
  api->SetVariable("tessedit_do_invert", "0");
  // Measured on terminal text (listings, tables): one uniform block reads as
  // accurately as automatic layout (3) or one column (4), in the same or less
  // time, and better than sparse text (11).
  api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
  // Nearly all the time is the network's, about 34 us per column of line
  // image at its 36 px input height; the dictionary settings
  // (load_system_dawg, load_freq_dawg, lstm_use_matrix, lstm_choice_mode)
  // measured no faster and no more accurate, so they keep their defaults.
  api_ = std::move(api);
  return std::nullopt;
}

platform::RecognitionResult<std::string> TesseractText::recognize(const QImage& image) {
  std::lock_guard lock(mutex_);
  PreparedPage page = preparePage(image);
  if (!page.hasInk) return std::string();
  if (auto fault = load()) return platform::RecognitionFault{*fault};

  api_->SetImage(page.gray.constBits(), page.gray.width(), page.gray.height(), 1, int(page.gray.bytesPerLine()));
  api_->SetSourceResolution(int(std::lround(kScreenPixelsPerInch * page.scale)));
  int status = api_->Recognize(nullptr);
  std::string text;
  if (status == 0) {
    std::unique_ptr<tesseract::ResultIterator> line(api_->GetIterator());
    if (line && !line->Empty(tesseract::RIL_TEXTLINE)) {
      do {
        std::unique_ptr<char, TextDeleter> utf8(line->GetUTF8Text(tesseract::RIL_TEXTLINE));
        std::string trimmedLine = trimmed(utf8.get());
        if (trimmedLine.empty()) continue;
        if (!text.empty()) text += '\n';
        text += trimmedLine;
      } while (line->Next(tesseract::RIL_TEXTLINE));
    }
  }
  // Drops the page and the results; the model stays.
  api_->Clear();
  if (status != 0) return platform::RecognitionFault{"Text recognition failed on this image."};
  return text;
}

}  // namespace vistrel::desktop::ocr
