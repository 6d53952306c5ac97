// What a snap costs the program itself: the geometry, one diagnostic log
// line, and a whole snap with its settle sequence on the simulated desktop
// (virtual time, so the figure is the program's own work, not the waits).
// Figures only; nothing here fails a build.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

#include "base/LayoutLog.h"
#include "layout/AccessibilityWindow.h"
#include "layout/WindowEngine.h"
#include "layout/WindowSnapGeometry.h"
#include "layout/WindowTargetStore.h"
#include "platform/sim/SimPlatform.h"

using namespace vistrel;

namespace {

class SilentAlerts : public AlertPresenter {
 public:
  int runModal(const Alert&) override { return 0; }
};

void BM_SnapGeometry(benchmark::State& state) {
  const Rect visible(0, 25, 1440, 875);
  const Rect current(200, 200, 600, 400);
  for (auto _ : state)
    for (WindowSnap snap : WindowSnaps::allCases())
      benchmark::DoNotOptimize(WindowSnapGeometry::rect(snap, current, visible));
  state.SetItemsProcessed(state.iterations() * WindowSnaps::kCount);
}
BENCHMARK(BM_SnapGeometry);

void BM_LogLine(benchmark::State& state) {
  QTemporaryDir dir;
  LayoutLog::setPathForTesting(dir.filePath("layout.log").toStdString());
  for (auto _ : state) LayoutLog::write("snap-done preset=leftHalf dx=0 dy=0 dw=0 dh=0 steps=1 ms=92 actual=(0,25 720x875)");
  LayoutLog::setPathForTesting(LayoutLog::kPath);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogLine);

// A left-half snap of a terminal-like window (6x13 increments) from a small frame, settled to its end.
void BM_SnapSettleSim(benchmark::State& state) {
  QTemporaryDir dir;
  LayoutLog::setPathForTesting(dir.filePath("layout.log").toStdString());
  sim::ScopedSimPlatform sim;
  sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 25, 1440, 875));
  sim->workspace().addApplication(300, "Terminal", std::string("org.example.Terminal"));
  sim->workspace().setFrontmost(300);
  sim::SizeRules rules;
  rules.resizeIncrements = {6, 13};
  const auto window = sim->accessibility().addWindow(300, "shell", Rect(100, 100, 500, 300), rules);
  sim->accessibility().setFocusedWindow(window);
  WindowEngine::shared().setAlertPresenter(std::make_shared<SilentAlerts>());
  bool left = true;
  for (auto _ : state) {
    WindowEngine::shared().perform(left ? WindowSnap::leftHalf : WindowSnap::bottomRight, false);
    sim->clock().runUntilIdle();
    left = !left;
  }
  WindowEngine::resetForTesting();
  WindowTargetStore::resetForTesting();
  AccessibilityWindow::resetForTesting();
  LayoutLog::setPathForTesting(LayoutLog::kPath);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnapSettleSim);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
