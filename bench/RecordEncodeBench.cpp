// The recording writer alone, on synthetic frames: for each x264 tuning, how
// long the encoder takes to open, how fast it encodes when fed as fast as it
// takes frames, the CPU that costs per second of 30 fps video, and how the
// file size compares with the bit rate. This is the measurement the writer's
// preset was chosen by; bench/record_vs_ffmpeg.sh measures the whole program.
//
//   vistrel-record-encode-bench [--size WxH] [--frames N] [--content worst|typical] [--realtime]
//                               [--tuning preset[/tune[/x264params]]]...
// Without --tuning, the writer's own; a given tuning takes CABAC only when its x264 params ask.
// --realtime offers a frame every 1/30 s and counts those it refuses.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/LibavMovieWriter.h"

using namespace vistrel;

namespace {

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Every pixel changes every frame: drifting colour waves with film grain.
std::vector<QImage> worstFrames(int width, int height, int count) {
  std::vector<QImage> frames;
  std::mt19937 random(7);
  for (int f = 0; f < count; ++f) {
    QImage image(width, height, QImage::Format_RGB32);
    const double t = f * 0.35;
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      for (int x = 0; x < width; ++x) {
        const double v = std::sin(x * 0.011 + t) + std::sin(y * 0.017 - t * 1.3) + std::sin((x + y) * 0.007 + t * 0.7);
        const int grain = int(random() % 17) - 8;
        const int r = std::clamp(int(128 + 60 * v) + grain, 0, 255);
        const int g = std::clamp(int(128 + 60 * std::sin(v + t)) + grain, 0, 255);
        const int b = std::clamp(int(128 - 60 * v) + grain, 0, 255);
        line[x] = 0xff000000u | (r << 16) | (g << 8) | b;
      }
    }
    frames.push_back(std::move(image));
  }
  return frames;
}

// A still desktop with a terminal whose text scrolls by a line each frame.
std::vector<QImage> typicalFrames(int width, int height, int count) {
  QImage desktop(width, height, QImage::Format_RGB32);
  QPainter(&desktop).fillRect(desktop.rect(), QColor(0x5a, 0x78, 0x96));
  std::vector<QImage> frames;
  const QRect terminal(width / 12, height / 10, width / 2, height / 2);
  QFont font("DejaVu Sans Mono");
  font.setPixelSize(14);
  for (int f = 0; f < count; ++f) {
    QImage image = desktop.copy();
    QPainter painter(&image);
    painter.fillRect(terminal, Qt::black);
    painter.setPen(QColor(0xe0, 0xe0, 0xe0));
    painter.setFont(font);
    for (int line = 0, y = terminal.top() + 16; y < terminal.bottom(); ++line, y += 17) {
      painter.drawText(terminal.left() + 4, y,
                       QString("%1  drwxr-xr-x 2 root root 4096 Dec  8 13:%2 /usr/share/doc/package-%3")
                           .arg(f * 3 + line, 6)
                           .arg((f + line) % 60, 2, 10, QChar('0'))
                           .arg((f * 7 + line * 13) % 997));
    }
    frames.push_back(std::move(image));
  }
  return frames;
}

struct Result {
  double openSeconds = 0;
  double fps = 0;
  double cpuPerVideoSecond = 0;
  double sizeRatio = 0;  // file bits per second over the average bit rate
  long dropped = 0;      // in real time: frames offered while the writer was busy
};

// As fast as the writer takes frames, or (realTime) one every 1/30 s of the wall clock, dropped when it is busy.
Result run(const std::vector<QImage>& frames, int count, const desktop::EncoderTuning& tuning, const QString& path,
           bool realTime) {
  const int width = frames.front().width(), height = frames.front().height();
  QFile::remove(path);
  desktop::LibavMovieWriter writer(path.toStdString(), tuning);
  platform::VideoSettings settings{width, height, std::max<std::int64_t>(4LL * width * height, 2'000'000), 30, true};
  Result result;
  double t0 = wallSeconds();
  writer.add(settings);
  if (!writer.startWriting()) {
    std::fprintf(stderr, "cannot start: %s\n", writer.errorDescription().c_str());
    return result;
  }
  result.openSeconds = wallSeconds() - t0;
  writer.startSession(0);
  const double cpu0 = cpuSeconds();
  t0 = wallSeconds();
  for (int i = 0; i < count;) {
    if (realTime) {
      std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
          std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(t0 + i / 30.0))));
      if (writer.isReadyForMoreMediaData()) {
        writer.append({frames[i % frames.size()], i / 30.0, true});
      } else {
        ++result.dropped;
      }
      ++i;
      continue;
    }
    if (!writer.isReadyForMoreMediaData()) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    writer.append({frames[i % frames.size()], i / 30.0, true});
    ++i;
  }
  writer.markAsFinished();
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  writer.finishWriting([&] {
    std::lock_guard lock(mutex);
    finished = true;
    done.notify_one();
  });
  {
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return finished; });
  }
  const double wall = wallSeconds() - t0;
  const double cpu = cpuSeconds() - cpu0;
  result.fps = count / wall;
  result.cpuPerVideoSecond = cpu / (count / 30.0);
  const double bitsPerSecond = QFile(path).size() * 8.0 / (count / 30.0);
  result.sizeRatio = bitsPerSecond / double(settings.averageBitRate);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  int width = 1920, height = 1080, count = 300;
  bool realTime = false;
  std::string content = "worst";
  std::vector<desktop::EncoderTuning> tunings;
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--realtime") {
      realTime = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) break;
    const std::string value = argv[i + 1];
    if (option == "--size") {
      std::sscanf(value.c_str(), "%dx%d", &width, &height);
    } else if (option == "--frames") {
      count = std::stoi(value);
    } else if (option == "--content") {
      content = value;
    } else if (option == "--tuning") {
      desktop::EncoderTuning tuning{.preset = "", .tune = "", .x264Params = "", .cabacUpToPixels = 0, .threads = 0};
      const auto first = value.find('/');
      tuning.preset = value.substr(0, first);
      if (first != std::string::npos) {
        const auto second = value.find('/', first + 1);
        tuning.tune = value.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        if (second != std::string::npos) tuning.x264Params = value.substr(second + 1);
      }
      tunings.push_back(tuning);
    }
  }
  if (tunings.empty()) tunings.push_back({});  // the writer's own
  const auto frames = content == "typical" ? typicalFrames(width, height, 24) : worstFrames(width, height, 12);
  QTemporaryDir dir;
  std::printf("%-44s %9s %8s %9s %8s %8s   (%s %dx%d, %d frames%s)\n", "tuning", "open ms", "fps", "cpu-s/s", "size",
              "dropped", content.c_str(), width, height, count, realTime ? ", 30 fps in real time" : "");
  for (const auto& tuning : tunings) {
    const QString path = dir.filePath("bench.mp4");
    const Result r = run(frames, count, tuning, path, realTime);
    const std::string name = tuning.preset + "/" + tuning.tune + "/" + tuning.x264Params;
    std::printf("%-44s %9.1f %8.1f %9.3f %7.2fx %8ld\n", name.c_str(), r.openSeconds * 1000, r.fps,
                r.cpuPerVideoSecond, r.sizeRatio, r.dropped);
    std::fflush(stdout);
  }
  return 0;
}
