// A frameless window whose every pixel changes every frame, for recording
// tests and benchmarks: drifting colour waves with grain, a few frames made
// in advance and shown in turn at a fixed rate (so the animation itself costs
// little processor time). It prints its X window id once shown:
//   vistrel-animator --rect 1920x1080+0+0 --fps 30 --frames 8
// (Not --geometry: Qt's X11 platform takes that option for itself.)

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QTimer>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

std::vector<QImage> makeFrames(QSize size, int count) {
  constexpr int kTable = 4096;
  std::array<int, kTable> wave{};  // sin scaled to ±60
  for (int i = 0; i < kTable; ++i) wave[i] = int(std::lround(60 * std::sin(2 * M_PI * i / kTable)));
  const auto at = [&](long phase) { return wave[std::size_t(phase) & (kTable - 1)]; };
  std::uint32_t seed = 2463534242u;
  std::vector<QImage> frames;
  for (int f = 0; f < count; ++f) {
    QImage image(size, QImage::Format_RGB32);
    const long t = long(f) * kTable / count;
    for (int y = 0; y < size.height(); ++y) {
      auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      for (int x = 0; x < size.width(); ++x) {
        const int v = at(x * 7 + t) + at(y * 11 - 2 * t) + at((x + y) * 5 + 3 * t);
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const int grain = int(seed % 25) - 12;
        const int r = std::clamp(128 + v / 2 + grain, 0, 255);
        const int g = std::clamp(128 + at(v * 8 + t) + grain, 0, 255);
        const int b = std::clamp(128 - v / 2 + grain, 0, 255);
        line[x] = 0xff000000u | std::uint32_t(r << 16) | std::uint32_t(g << 8) | std::uint32_t(b);
      }
    }
    frames.push_back(std::move(image));
  }
  return frames;
}

class Animation : public QRasterWindow {
 public:
  explicit Animation(std::vector<QImage> frames) : frames_(std::move(frames)) {}
  void step() {
    index_ = (index_ + 1) % frames_.size();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, frames_[index_]); }

 private:
  std::vector<QImage> frames_;
  std::size_t index_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription("A window that changes every pixel every frame.");
  parser.addHelpOption();
  const QCommandLineOption rectOption("rect", "Size and position, WxH+X+Y.", "rect", "640x480+0+0");
  const QCommandLineOption fps("fps", "Frames per second.", "n", "30");
  const QCommandLineOption frames("frames", "Distinct frames shown in turn.", "n", "8");
  parser.addOptions({rectOption, fps, frames});
  parser.process(app);

  const auto match = QRegularExpression("^(\\d+)x(\\d+)\\+(\\d+)\\+(\\d+)$").match(parser.value(rectOption));
  const int rate = parser.value(fps).toInt();
  const int count = parser.value(frames).toInt();
  if (!match.hasMatch() || rate <= 0 || count < 2) {
    std::fprintf(stderr, "vistrel-animator: --rect WxH+X+Y, --fps > 0 and --frames > 1 please\n");
    return 2;
  }
  const QRect rect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                   match.captured(2).toInt());
  Animation window(makeFrames(rect.size(), count));
  window.setFlags(Qt::Window | Qt::FramelessWindowHint);
  window.setTitle("Vistrel animator");
  window.setGeometry(rect);
  window.show();
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &window, &Animation::step);
  timer.start(1000 / rate);
  QTimer::singleShot(0, [&window] {
    std::printf("window 0x%llx\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
  });
  return app.exec();
}
