#include "platform/linux/ReviewProcess.h"

#include <QFileInfo>

#include <cstdlib>

namespace vistrel::desktop {

namespace {

constexpr int kStartMilliseconds = 5000;
constexpr int kTermMilliseconds = 2000;
constexpr int kKillMilliseconds = 1000;

}  // namespace

std::optional<std::string> ReviewProcess::start() {
  QStringList command = defaultCommand_;
  if (const char* custom = std::getenv("VISTREL_REVIEW_APP"); custom && *custom) {
    command = QProcess::splitCommand(QString::fromLocal8Bit(custom));
  }
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

std::optional<std::int32_t> ReviewProcess::processID() const {
  if (!process_ || process_->state() == QProcess::NotRunning) return std::nullopt;
  return std::int32_t(process_->processId());
}

std::optional<std::string> ReviewProcess::endReport() {
  if (!process_) return programName_ + " did not start: it was ended while starting";
  if (!process_->waitForFinished(0) && process_->state() != QProcess::NotRunning) return std::nullopt;
  const QString said = QString::fromLocal8Bit(process_->readAllStandardError()).trimmed();
  std::string error = programName_ + " did not start: it exited with status " + std::to_string(process_->exitCode());
  if (!said.isEmpty()) error += ": " + said.toStdString();
  return error;
}

void ReviewProcess::terminate() {
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

}  // namespace vistrel::desktop
