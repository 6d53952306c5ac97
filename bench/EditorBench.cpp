// What the capture editor's renderer costs: burning 20 items (three 800x600
// blurs, two pixelated areas, strokes, arrows, shapes, text and steps) into
// a 4K and a 1080p shot, an export with the light backdrop, and one pointer
// move of a pen stroke in progress in the editor's view. Figures only; nothing
// here fails a build.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <vector>

#include "editor/AreaFilters.h"
#include "editor/CapturePreviewView.h"
#include "editor/EditorCanvas.h"
#include "editor/MarkupRenderer.h"
#include "editor/MarkupSizes.h"
#include "platform/sim/SimPlatform.h"

namespace {

using namespace vistrel;

// Window-like panels with text-like runs over a desktop gradient.
QImage shot(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient desktop(0, 0, w, h);
  desktop.setColorAt(0, QColor(40, 70, 120));
  desktop.setColorAt(1, QColor(160, 90, 60));
  painter.fillRect(image.rect(), desktop);
  for (int i = 0; i < 6; ++i) {
    const QRect panel(w * i / 8, h * i / 9, w / 2, h / 2);
    painter.fillRect(panel, QColor(245 - i * 8, 245, 250));
    for (int y = panel.top() + 20; y < panel.bottom() - 20; y += 18)
      for (int x = panel.left() + 20; x < panel.right() - 60; x += 70)
        painter.fillRect(x, y, 20 + (x * 7 + y) % 45, 10, QColor(30, 30, 40));
  }
  return image;
}

std::vector<Point> wave(Point from, double length, int count, double amplitude) {
  std::vector<Point> points;
  for (int i = 0; i < count; ++i) {
    const double t = double(i) / (count - 1);
    points.push_back({from.x + t * length, from.y + amplitude * std::sin(t * 12)});
  }
  return points;
}

std::vector<MarkupItem> items(int w, int h) {
  const double stroke = MarkupSizes::strokeWidth(w);
  const MarkupColor red{1, 0.23, 0.19, 1}, blue{0, 0.48, 1, 1}, yellow{1, 0.8, 0, 1};
  const double sx = w / 3840.0, sy = h / 2160.0;
  const auto at = [&](double x, double y) { return Point{x * sx, y * sy}; };
  return {
      Markup::Pen{wave(at(200, 300), 900 * sx, 120, 40), red, stroke},
      Markup::Blur{Rect(at(300, 200).x, at(300, 200).y, 800, 600)},
      Markup::Arrow{at(1200, 900), at(1800, 500), red, stroke},
      Markup::Rectangle{at(2000, 300), at(2900, 800), red, stroke},
      Markup::Highlight{wave(at(400, 1200), 1400 * sx, 80, 10), yellow, MarkupSizes::highlightWidth(w)},
      Markup::Pixelate{Rect(at(2400, 1200).x, at(2400, 1200).y, 600, 400)},
      Markup::Text{"Click here to continue", at(1300, 1100), blue, MarkupSizes::textFontSize(w)},
      Markup::Step{1, at(1000, 400), red, MarkupSizes::stepRadius(w, CounterSize::medium)},
      Markup::Step{2, at(2100, 1000), red, MarkupSizes::stepRadius(w, CounterSize::medium)},
      Markup::Line{at(300, 1900), at(3400, 1800), blue, stroke},
      Markup::Blur{Rect(at(2700, 1400).x, at(2700, 1400).y, 800, 600)},
      Markup::Oval{at(600, 1500), at(1400, 2000), blue, stroke},
      Markup::Arrow{at(3500, 200), at(3000, 700), blue, stroke},
      Markup::Pen{wave(at(1600, 1700), 1500 * sx, 150, 60), blue, stroke},
      Markup::Pixelate{Rect(at(200, 1600).x, at(200, 1600).y, 600, 400)},
      Markup::Highlight{wave(at(2200, 150), 1000 * sx, 60, 8), yellow, MarkupSizes::highlightWidth(w)},
      Markup::Blur{Rect(at(1500, 1300).x, at(1500, 1300).y, 800, 600)},
      Markup::Arrow{at(100, 2000), at(700, 1700), red, stroke},
      Markup::Rectangle{at(3100, 1000), at(3700, 1300), blue, stroke},
      Markup::Step{10, at(3300, 1800), red, MarkupSizes::stepRadius(w, CounterSize::large)},
  };
}

void burnInto(benchmark::State& state, int w, int h) {
  const QImage picture = shot(w, h);
  const std::vector<MarkupItem> marks = items(w, h);
  for (auto _ : state) benchmark::DoNotOptimize(MarkupRenderer::burn(marks, picture));
  state.counters["items"] = double(marks.size());
}

void BM_EditorBurn4K(benchmark::State& state) { burnInto(state, 3840, 2160); }
BENCHMARK(BM_EditorBurn4K)->Unit(benchmark::kMillisecond);

void BM_EditorBurn1080p(benchmark::State& state) { burnInto(state, 1920, 1080); }
BENCHMARK(BM_EditorBurn1080p)->Unit(benchmark::kMillisecond);

// The same items without the area effects: what the strokes, shapes and text cost.
void BM_EditorBurnStrokesOnly4K(benchmark::State& state) {
  const QImage picture = shot(3840, 2160);
  std::vector<MarkupItem> marks;
  for (const MarkupItem& item : items(3840, 2160))
    if (!std::holds_alternative<Markup::Blur>(item) && !std::holds_alternative<Markup::Pixelate>(item))
      marks.push_back(item);
  for (auto _ : state) benchmark::DoNotOptimize(MarkupRenderer::burn(marks, picture));
  state.counters["items"] = double(marks.size());
}
BENCHMARK(BM_EditorBurnStrokesOnly4K)->Unit(benchmark::kMillisecond);

void BM_EditorBlur800x600(benchmark::State& state) {
  const QImage surface = shot(1920, 1080).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) benchmark::DoNotOptimize(AreaFilters::blurred(surface, QRect(300, 200, 800, 600)));
}
BENCHMARK(BM_EditorBlur800x600)->Unit(benchmark::kMicrosecond);

// What copying, saving or pinning an edited 4K shot with the light backdrop costs.
void BM_EditorExport4K(benchmark::State& state) {
  const QImage picture = shot(3840, 2160);
  const std::vector<MarkupItem> marks = items(3840, 2160);
  for (auto _ : state)
    benchmark::DoNotOptimize(MarkupRenderer::present(MarkupRenderer::burn(marks, picture), BackdropStyle::light));
}
BENCHMARK(BM_EditorExport4K)->Unit(benchmark::kMillisecond);

void BM_EditorBackdrop4K(benchmark::State& state) {
  const QImage picture = shot(3840, 2160);
  for (auto _ : state) benchmark::DoNotOptimize(MarkupRenderer::present(picture, BackdropStyle::light));
}
BENCHMARK(BM_EditorBackdrop4K)->Unit(benchmark::kMillisecond);

// One pointer move while a pen stroke is drawn on a 4K shot with the 20 items
// committed, through the editor's own view in a 1500x900 window: the move
// event, the state's update and the repaint it causes, as on screen.
void BM_EditorPointerMove4K(benchmark::State& state) {
  sim::ScopedSimPlatform platform;
  auto shotOf4K = std::make_shared<CaptureShot>(CaptureShot::Payload{QUuid::createUuid(), shot(3840, 2160), {}, {2, 2}});
  QWidget window;
  window.resize(1500, 900);
  auto* view = new CapturePreviewView(shotOf4K, &window);
  view->resize(window.size());
  window.show();
  for (const MarkupItem& item : items(3840, 2160)) view->state().commit(item);
  view->state().selectTool(EditorTool::pen);
  EditorCanvas& canvas = view->canvas();
  QApplication::processEvents();

  const QPointF centre(canvas.width() / 2.0, canvas.height() / 2.0);
  auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, canvas.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(&canvas, &event);
  };
  send(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  int step = 0;
  for (auto _ : state) {
    ++step;
    const QPointF at = centre + QPointF(300 * std::sin(step * 0.05), 200 * std::sin(step * 0.031));
    send(QEvent::MouseMove, at, Qt::LeftButton);
    canvas.repaint();
  }
  send(QEvent::MouseButtonRelease, centre, Qt::NoButton);
}
BENCHMARK(BM_EditorPointerMove4K)->Unit(benchmark::kMillisecond);

}  // namespace
