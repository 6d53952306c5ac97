#include "platform/linux/ocr/TesseractText.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include "platform/linux/ocr/LineBands.h"
#include "platform/linux/ocr/PagePreparation.h"
#include "platform/linux/ocr/PunctuationShape.h"

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

// Blank rows set above and below a band, half its height within these
// bounds. Glyphs at the very edge of an image read worse: bands read bare
// erred 1.3-1.5x as often as the whole page on the terminal listings of
// bench/ocr_vs_cli.sh; with 6 to 24 rows of margin as often or less.
constexpr int kMinMargin = 12;
constexpr int kMaxMargin = 32;

// Reads one band of the page into its lines, trimmed, empty ones left out;
// false when Tesseract fails. Drops the band and the results; the model stays.
bool readBand(tesseract::TessBaseAPI& api, const PreparedPage& page, LineBand band, std::vector<std::string>& lines) {
  const int height = band.bottom - band.top, margin = std::clamp(height / 2, kMinMargin, kMaxMargin);
  QImage framed(page.gray.width(), height + 2 * margin, QImage::Format_Grayscale8);
  // In the page's own ground: a lighter margin would be a third level that
  // Tesseract's threshold may split from the ground, blackening the band.
  framed.fill(uint(page.ground));
  for (int y = 0; y < height; ++y)
    std::memcpy(framed.scanLine(margin + y), page.gray.constScanLine(band.top + y), size_t(page.gray.width()));
  api.SetImage(framed.constBits(), framed.width(), framed.height(), 1, int(framed.bytesPerLine()));
  api.SetSourceResolution(int(std::lround(kScreenPixelsPerInch * page.scale)));
  const bool recognised = api.Recognize(nullptr) == 0;
  if (recognised) {
    // Put together symbol by symbol, words parted by one space as in the
    // line's own text, so that the dots can be checked by their shapes.
    std::unique_ptr<tesseract::ResultIterator> symbol(api.GetIterator());
    if (symbol && !symbol->Empty(tesseract::RIL_SYMBOL)) {
      std::string line;
      int lineHeight = 0;
      do {
        int left, top, right, bottom;
        if (symbol->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
          line.clear();
          lineHeight = symbol->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom) ? bottom - top : 0;
        } else if (symbol->IsAtBeginningOf(tesseract::RIL_WORD)) {
          line += ' ';
        }
        std::unique_ptr<char, TextDeleter> utf8(symbol->GetUTF8Text(tesseract::RIL_SYMBOL));
        std::string read = utf8 ? utf8.get() : "";
        if (symbol->BoundingBox(tesseract::RIL_SYMBOL, &left, &top, &right, &bottom)) {
          // Tesseract's right and bottom are exclusive.
          const QRect box(QPoint(left, top), QPoint(right - 1, bottom - 1));
          if (auto shape = punctuationByShape(framed, page.threshold, page.bitmap, box, lineHeight, read))
            read = std::move(*shape);
        }
        line += read;
        if (symbol->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_SYMBOL)) {
          if (std::string trimmedLine = trimmed(line.c_str()); !trimmedLine.empty())
            lines.push_back(std::move(trimmedLine));
        }
      } while (symbol->Next(tesseract::RIL_SYMBOL));
    }
  }
  api.Clear();
  return recognised;
}

}  // namespace

TesseractText::TesseractText(int readers)
    : apis_(size_t(readers > 0 ? readers : std::max(1, QThread::idealThreadCount()))) {}
TesseractText::~TesseractText() = default;

std::optional<std::string> TesseractText::load(size_t reader) {
  if (apis_[reader]) return std::nullopt;
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // Its notes (resolution estimates, missing files) would go to our stderr.
  // The setting is global to Tesseract: the first reader sets it before any
  // other reader's thread starts.
  if (reader == 0) api->SetVariable("debug_file", "/dev/null");
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
  apis_[reader] = std::move(api);
  return std::nullopt;
}

platform::RecognitionResult<std::string> TesseractText::recognize(const QImage& image) {
  std::lock_guard lock(mutex_);
  PreparedPage page = preparePage(image);
  if (!page.hasInk) return std::string();
  const std::vector<LineBand> bands = lineBands(page.gray, page.threshold);
  const size_t readers = std::min(apis_.size(), bands.size());

  // Filled by the readers, each band by one of them.
  std::vector<std::vector<std::string>> lines(bands.size());
  std::vector<char> read(bands.size(), 0);
  std::vector<std::optional<std::string>> faults(readers);
  std::atomic<size_t> next{0};
  auto work = [&](size_t reader) {
    // Debian's Tesseract parallelises with OpenMP, which on two cores makes
    // recognition 3-7x slower, and each reader has a core already.
    // OMP_THREAD_LIMIT would come too late: Qt Core brings the OpenMP runtime
    // (through libb2), which read the environment at start. No active
    // parallel levels runs every region on the reader's thread; made on each
    // reader's thread, as OpenMP may keep the setting per thread.
    omp_set_max_active_levels(0);
    try {
      if ((faults[reader] = load(reader))) return;
      for (size_t i; (i = next++) < bands.size();) {
        if (!readBand(*apis_[reader], page, bands[i], lines[i])) {
          faults[reader] = "Text recognition failed on this image.";
          return;
        }
        read[i] = 1;
      }
    } catch (const std::exception& error) {
      faults[reader] = std::string("Text recognition failed: ") + error.what();
    }
  };
  // The first reader's model is loaded before the others start: it sets Tesseract's global settings.
  if (auto fault = load(0)) return platform::RecognitionFault{*fault};
  {
    std::vector<std::jthread> others;
    try {
      for (size_t reader = 1; reader < readers; ++reader) others.emplace_back(work, reader);
    } catch (const std::system_error&) {
      // No more threads to be had: the readers that run share the bands.
    }
    work(0);
  }

  std::string text;
  for (size_t i = 0; i < bands.size(); ++i) {
    if (!read[i]) {
      auto fault = std::find_if(faults.begin(), faults.end(), [](const auto& f) { return f.has_value(); });
      return platform::RecognitionFault{fault != faults.end() ? **fault : "Text recognition failed on this image."};
    }
    for (const std::string& line : lines[i]) {
      if (!text.empty()) text += '\n';
      text += line;
    }
  }
  return text;
}

}  // namespace vistrel::desktop::ocr
