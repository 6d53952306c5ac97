#include "platform/wayland/WaylandReviewApp.h"

#include <QFileInfo>
#include <QStringList>

#include <cstdlib>

namespace vistrel::wayland {

namespace {

constexpr int kStartMilliseconds = 5000;
constexpr double kWindowSeconds = 5.0;
constexpr double kPollInterval = 0.05;
constexpr double kIpcSeconds = 0.5;
constexpr int kTermMilliseconds = 2000;
constexpr int kKillMilliseconds = 1000;

QStringList commandLine() {
  if (const char* custom = std::getenv("VISTREL_REVIEW_APP"); custom && *custom) {
    return QProcess::splitCommand(QString::fromLocal8Bit(custom));
  }
  return {"foot", "--title", "Vistrel layout review"};
}

}  // namespace

WaylandReviewApp::~WaylandReviewApp() { terminate(); }

std::optional<std::int32_t> WaylandReviewApp::processID() const {
  if (!process_ || process_->state() == QProcess::NotRunning) return std::nullopt;
  return std::int32_t(process_->processId());
}

std::optional<std::string> WaylandReviewApp::start() {
  const QStringList command = commandLine();
  if (command.isEmpty()) return "VISTREL_REVIEW_APP names no program";
  programName_ = QFileInfo(command.front()).fileName().toStdString();
  process_ = std::make_unique<QProcess>();
  process_->setProgram(command.front());
  process_->setArguments(command.mid(1));
  process_->setStandardInputFile(QProcess::nullDevice());
  process_->setStandardOutputFile(QProcess::nullDevice());
  process_->start();
  if (!process_->waitForStarted(kStartMilliseconds)) {
    const std::string reason = process_->errorString().toStdString();
    process_.reset();
    return programName_ + " did not start: " + reason;
  }
  return std::nullopt;
}

Task<std::optional<std::string>> WaylandReviewApp::openDocument() {
  if (!sway_) co_return std::string("the layout review needs sway's window access");
  if (!processID()) {
    view_ = 0;
    if (auto error = start()) co_return error;
  }
  const auto pid = std::int32_t(process_->processId());
  const double deadline = clock_.uptime() + kWindowSeconds;
  for (;;) {
    if (!process_ || process_->state() == QProcess::NotRunning) {
      co_return programName_ + " did not start: it exited with status " +
          std::to_string(process_ ? process_->exitCode() : -1);
    }
    const auto tree = sway_->tree(deadlineAfter(kIpcSeconds));
    const SwayView* shown = nullptr;
    for (const SwayView& view : tree.value ? tree.value->views : std::vector<SwayView>{}) {
      if (view.pid == pid && view.visible) {
        shown = &view;
        break;
      }
    }
    if (shown) {
      view_ = shown->id;
      if (shown->focused) co_return std::nullopt;
      sway_->command("[con_id=" + std::to_string(view_) + "] focus", deadlineAfter(kIpcSeconds));
    }
    if (clock_.uptime() >= deadline) {
      co_return programName_ + " did not start: no window of process " + std::to_string(pid) +
          (shown ? " became active" : " appeared") + " within 5 s";
    }
    co_await sleep(clock_, kPollInterval);
  }
}

void WaylandReviewApp::closeDocument() {
  if (view_ == 0 || !sway_) return;
  sway_->command("[con_id=" + std::to_string(view_) + "] kill", deadlineAfter(kIpcSeconds));
  view_ = 0;
}

void WaylandReviewApp::terminate() {
  view_ = 0;
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();
    if (!process_->waitForFinished(kTermMilliseconds)) {
      process_->kill();
      process_->waitForFinished(kKillMilliseconds);
    }
  }
  process_.reset();
}

}  // namespace vistrel::wayland
