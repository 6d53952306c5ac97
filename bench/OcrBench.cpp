// Reading speed and accuracy of the reading module, for bench/ocr_vs_cli.sh.
// The module is loaded once, as in the program; each run is one request.
//
//   vistrel-ocr-bench text <image> <reference.txt> <runs> [out.txt [readers]]
//                                                                       text: first request, then the runs,
//                                                                       on `readers` threads (0: one per core)
//   vistrel-ocr-bench codes <image> <expected content> <runs>           code decoding
//   vistrel-ocr-bench cer <reference.txt> <recognised.txt>              character error rate of a text
//   vistrel-ocr-bench qr <content> <side px> <out.png>                  draws a QR code
//
// Times are milliseconds: wall clock, and the CPU time of the process (the
// module's reader threads included), which a busy machine inflates less.
// The character error rate is the edit distance over the reference's length,
// in code points, after collapsing runs of spaces and dropping empty lines
// (the recogniser cannot see a terminal's column padding).

#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QStringList>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "platform/linux/ModuleTextRecognizer.h"

namespace {

using vistrel::platform::RecognitionFault;

double cpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double wallMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long rssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

std::string readFile(const char* path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", path);
    std::exit(2);
  }
  return file.readAll().toStdString();
}

std::u32string normalised(const std::string& text) {
  QStringList lines;
  for (const QString& line : QString::fromStdString(text).split('\n'))
    if (QString simple = line.simplified(); !simple.isEmpty()) lines << simple;
  auto points = lines.join('\n').toUcs4();
  return {points.begin(), points.end()};
}

double characterErrorRate(const std::string& reference, const std::string& recognised) {
  std::u32string a = normalised(reference), b = normalised(recognised);
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] != b[j - 1] ? 1 : 0)});
    std::swap(previous, current);
  }
  return a.empty() ? 0.0 : double(previous[b.size()]) / double(a.size());
}

struct Timing {
  std::vector<double> wall, cpu;
  static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  }
  void print(const char* what) const {
    std::printf("%s: wall median %.1f ms min %.1f ms, cpu median %.1f ms min %.1f ms (%zu runs)\n", what,
                median(wall), *std::min_element(wall.begin(), wall.end()), median(cpu),
                *std::min_element(cpu.begin(), cpu.end()), wall.size());
  }
};

Timing timeRuns(int runs, const std::function<void()>& run) {
  Timing timing;
  for (int i = 0; i < runs; ++i) {
    double wall = wallMs(), cpu = cpuMs();
    run();
    timing.cpu.push_back(cpuMs() - cpu);
    timing.wall.push_back(wallMs() - wall);
  }
  return timing;
}

template <class T>
T orExit(vistrel::platform::RecognitionResult<T> result) {
  if (auto* fault = std::get_if<RecognitionFault>(&result)) {
    std::fprintf(stderr, "fault: %s\n", fault->description.c_str());
    std::exit(1);
  }
  return std::get<T>(std::move(result));
}

QImage loadImage(const char* path) {
  QImage image(path);
  if (image.isNull()) {
    std::fprintf(stderr, "cannot read image %s\n", path);
    std::exit(2);
  }
  return image.convertToFormat(QImage::Format_RGB32);  // as a screen capture arrives
}

int text(char** argv, int argc) {
  QImage image = loadImage(argv[2]);
  std::string reference = readFile(argv[3]);
  int runs = std::atoi(argv[4]);
  vistrel::desktop::ModuleTextRecognizer recognizer(VISTREL_OCR_MODULE, argc > 6 ? std::atoi(argv[6]) : 0);
  long rssBefore = rssKb();
  std::string recognised;
  Timing first = timeRuns(1, [&] { recognised = orExit(recognizer.recognizeText(image)); });
  first.print("first request (module and model load)");
  Timing steady = timeRuns(runs, [&] { recognised = orExit(recognizer.recognizeText(image)); });
  steady.print("request, model loaded");
  std::printf("RSS %ld kB before the first request, %ld kB after\n", rssBefore, rssKb());
  std::printf("CER %.2f %% (%zu characters)\n", 100 * characterErrorRate(reference, recognised),
              normalised(reference).size());
  if (argc > 5 && std::string(argv[5]) != "-") {
    QFile out(argv[5]);
    if (out.open(QIODevice::WriteOnly)) out.write(QByteArray::fromStdString(recognised + "\n"));
  }
  return 0;
}

int codes(char** argv) {
  QImage image = loadImage(argv[2]);
  std::string expected = argv[3];
  int runs = std::atoi(argv[4]);
  vistrel::desktop::ModuleTextRecognizer recognizer(VISTREL_OCR_MODULE);
  std::vector<vistrel::platform::DecodedCode> found;
  orExit(recognizer.decodeCodes(QImage(8, 8, QImage::Format_RGB32)));  // loads the module
  Timing timing = timeRuns(runs, [&] { found = orExit(recognizer.decodeCodes(image)); });
  timing.print(("codes in " + std::to_string(image.width()) + "x" + std::to_string(image.height())).c_str());
  bool ok = found.size() == 1 && found[0].text == expected;
  std::printf("decoded %zu code(s)%s\n", found.size(), ok ? ", content as expected" : ", NOT the expected content");
  return ok ? 0 : 1;
}

int qr(char** argv) {
  int side = std::atoi(argv[3]);
  ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(4).encode(argv[2], side, side);
  QImage image(matrix.width(), matrix.height(), QImage::Format_RGB32);
  for (int y = 0; y < matrix.height(); ++y)
    for (int x = 0; x < matrix.width(); ++x) image.setPixel(x, y, matrix.get(x, y) ? 0xff000000 : 0xffffffff);
  return image.save(argv[4]) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "text" && argc >= 5) return text(argv, argc);
  if (command == "codes" && argc == 5) return codes(argv);
  if (command == "cer" && argc == 4) {
    std::string reference = readFile(argv[2]);
    std::printf("CER %.2f %% (%zu characters)\n", 100 * characterErrorRate(reference, readFile(argv[3])),
                normalised(reference).size());
    return 0;
  }
  if (command == "qr" && argc == 5) return qr(argv);
  std::fprintf(stderr, "usage: see the top of bench/OcrBench.cpp\n");
  return 2;
}
