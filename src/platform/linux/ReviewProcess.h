#pragma once
// The process of the layout self-test's text-window program, whatever shows
// its window: the command line in $VISTREL_REVIEW_APP, else the backend's
// default; started with no input or output, ended with SIGTERM, a bounded
// wait, then SIGKILL. Main thread only.

#include <QProcess>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vistrel::desktop {

class ReviewProcess {
 public:
  explicit ReviewProcess(QStringList defaultCommand) : defaultCommand_(std::move(defaultCommand)) {}
  ~ReviewProcess() { terminate(); }
  ReviewProcess(const ReviewProcess&) = delete;
  ReviewProcess& operator=(const ReviewProcess&) = delete;

  // Starts the program (about 5 s at most); why it did not start, else none.
  std::optional<std::string> start();
  // The process while it runs.
  std::optional<std::int32_t> processID() const;
  // Once the started process has ended: "<program> did not start: ..." with
  // its exit status and what it said on stderr. None while it runs.
  std::optional<std::string> endReport();
  const std::string& programName() const { return programName_; }
  // Safe to call when nothing runs.
  void terminate();

 private:
  QStringList defaultCommand_;
  std::unique_ptr<QProcess> process_;
  std::string programName_;
};

}  // namespace vistrel::desktop
