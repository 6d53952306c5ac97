#include "platform/linux/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "base/AtomicFile.h"

namespace vistrel::desktop {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);

// A signal handler has no context to reach: the pipe's writing end is the one
// piece of process-wide state it needs.
std::atomic<int> signalPipe{-1};
struct sigaction previous[kSignalCount];

void onSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  const int fd = signalPipe.load();
  if (fd >= 0) {
    const ssize_t written = ::write(fd, &byte, 1);
    static_cast<void>(written);  // a full pipe already holds a request not yet handled
  }
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::fprintf(stderr, "vistrel: termination requests not handled: pipe: %s\n", errorText(errno).c_str());
    return;
  }
  int expected = -1;
  if (!signalPipe.compare_exchange_strong(expected, fds[1])) {
    std::fprintf(stderr, "vistrel: termination requests already handled elsewhere in this process\n");
    ::close(fds[0]);
    ::close(fds[1]);
    return;
  }
  readFd_ = fds[0];
  writeFd_ = fds[1];

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < kSignalCount; ++i) {
    if (::sigaction(kSignals[i], &action, &previous[i]) != 0) {
      std::fprintf(stderr, "vistrel: termination requests not handled: sigaction: %s\n", errorText(errno).c_str());
      for (int j = 0; j < i; ++j) ::sigaction(kSignals[j], &previous[j], nullptr);
      signalPipe.store(-1);
      ::close(readFd_);
      ::close(writeFd_);
      readFd_ = writeFd_ = -1;
      return;
    }
  }
  notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { drain(); });
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  notifier_.reset();
  for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  signalPipe.store(-1);
  ::close(readFd_);
  ::close(writeFd_);
}

// Signals that arrive together make one request.
void TerminationSignals::drain() {
  unsigned char buffer[64];
  bool requested = false;
  for (;;) {
    const ssize_t n = ::read(readFd_, buffer, sizeof buffer);
    if (n > 0) {
      requested = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  if (!requested) return;
  if (handler_) {
    handler_();
  } else {
    QCoreApplication::quit();
  }
}

}  // namespace vistrel::desktop
