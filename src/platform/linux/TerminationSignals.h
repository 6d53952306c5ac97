#pragma once
// The system's requests to end the program (SIGINT, SIGTERM, SIGHUP), turned
// into a call on the main thread: the signal handler only writes to a pipe
// whose reading end the event loop watches.

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace vistrel::desktop {

// One at a time per process (signal dispositions are process-wide). Make it on
// the main thread once the QCoreApplication exists; destroying it restores the
// dispositions it found.
class TerminationSignals {
 public:
  TerminationSignals();
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Whether the handlers are in place (false when pipe or sigaction failed,
  // which is said once on stderr).
  bool isInstalled() const { return notifier_ != nullptr; }
  // Runs for each request; with none set, the application quits.
  void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

 private:
  void drain();

  int readFd_ = -1;
  int writeFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> handler_;
};

}  // namespace vistrel::desktop
