#include "platform/x11/X11ReviewApp.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

#include "platform/x11/Clients.h"
#include "platform/x11/WmRequests.h"

namespace vistrel::x11 {

namespace {

constexpr int kStartMilliseconds = 5000;
constexpr double kWindowSeconds = 5.0;
// How often activation is asked for again while the window manager has not
// granted it (a window may be mapped before it can take the focus).
constexpr double kActivationInterval = 0.25;
constexpr double kPollInterval = 0.05;
// The window manager's list of supported hints: one reply, read before the first poll.
constexpr double kHintsSeconds = 0.5;
constexpr int kTermMilliseconds = 2000;
constexpr int kKillMilliseconds = 1000;

QStringList commandLine() {
  if (const char* custom = std::getenv("VISTREL_REVIEW_APP"); custom && *custom) {
    return QProcess::splitCommand(QString::fromLocal8Bit(custom));
  }
  return {"xterm", "-T", "Vistrel layout review"};
}

}  // namespace

X11ReviewApp::X11ReviewApp(Connection& connection, Clock& clock) : connection_(connection), clock_(clock) {}

X11ReviewApp::~X11ReviewApp() { terminate(); }

std::optional<std::int32_t> X11ReviewApp::processID() const {
  if (!process_ || process_->state() == QProcess::NotRunning) return std::nullopt;
  return std::int32_t(process_->processId());
}

std::optional<std::string> X11ReviewApp::start() {
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

Task<std::optional<std::string>> X11ReviewApp::openDocument() {
  if (!processID()) {
    window_ = XCB_WINDOW_NONE;
    if (auto error = start()) co_return error;
  }
  co_return co_await waitForActiveWindow();
}

Task<std::optional<std::string>> X11ReviewApp::waitForActiveWindow() {
  const auto pid = std::int32_t(process_->processId());
  const double deadline = clock_.uptime() + kWindowSeconds;
  double nextActivation = clock_.uptime();
  connection_.drainEvents();
  const auto hints = supportedHints(connection_, deadlineAfter(kHintsSeconds));
  const bool handlesRestack = hints.value && std::find(hints.value->begin(), hints.value->end(),
                                                       connection_.atoms().netRestackWindow) != hints.value->end();
  for (;;) {
    if (!process_) co_return programName_ + " did not start: it was ended while starting";
    if (process_->waitForFinished(0) || process_->state() == QProcess::NotRunning) {
      const QString said = QString::fromLocal8Bit(process_->readAllStandardError()).trimmed();
      std::string error = programName_ + " did not start: it exited with status " +
                          std::to_string(process_->exitCode());
      if (!said.isEmpty()) error += ": " + said.toStdString();
      co_return error;
    }
    // Each read is bounded by one poll interval; between polls the main thread is free.
    const Deadline step = deadlineAfter(kPollInterval);
    const auto windows = windowsOf(connection_, pid, step);
    std::optional<xcb_window_t> shown;
    for (const xcb_window_t window : windows.value.value_or(std::vector<xcb_window_t>{})) {
      const auto facts = readWindow(connection_, window, step);
      if (facts.value && facts.value->viewable) {
        shown = window;
        break;
      }
    }
    if (shown) {
      window_ = *shown;
      const auto active = activeWindow(connection_, step);
      if (active.value == *shown) co_return std::nullopt;
      if (clock_.uptime() >= nextActivation && active.value) {
        wm::activateAndRaise(connection_, *shown, *active.value, handlesRestack);
        connection_.flush();
        nextActivation = clock_.uptime() + kActivationInterval;
      }
    }
    if (clock_.uptime() >= deadline) {
      co_return programName_ + " did not start: no window of process " + std::to_string(pid) +
          (shown ? " became active" : " appeared") + " within 5 s";
    }
    co_await sleep(clock_, kPollInterval);
  }
}

void X11ReviewApp::closeDocument() {
  if (window_ == XCB_WINDOW_NONE) return;
  wm::close(connection_, window_);
  connection_.flush();
  window_ = XCB_WINDOW_NONE;
}

void X11ReviewApp::terminate() {
  window_ = XCB_WINDOW_NONE;
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

}  // namespace vistrel::x11
