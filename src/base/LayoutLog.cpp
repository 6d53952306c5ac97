#include "base/LayoutLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <mutex>

#include <QStringDecoder>

namespace vistrel::LayoutLog {

namespace {

std::mutex& lock() {
  static std::mutex m;
  return m;
}

std::string& pathStorage() {
  static std::string p = kPath;
  return p;
}

// The log lies in a world-writable folder: another user could plant a link
// or a file of theirs there. Append only to a regular file of our own, never
// through a final symbolic link, and never block on a planted FIFO.
int openForAppend(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Lines are UTF-8 text; a message that is not valid UTF-8 is not written.
bool isValidUtf8(std::string_view s) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder(QByteArrayView(s.data(), qsizetype(s.size())));
  return !decoder.hasError();
}

}  // namespace

std::string timestamp(double secondsSince1970) {
  const std::time_t t = static_cast<std::time_t>(std::floor(secondsSince1970));
  std::tm utc{};
  gmtime_r(&t, &utc);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buffer;
}

void write(std::string_view message) {
  if (!isValidUtf8(message)) return;
  std::lock_guard guard(lock());
  const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::string line = timestamp(now);
  line += ' ';
  line.append(message);
  line += '\n';

  const int fd = openForAppend(pathStorage());
  if (fd < 0) return;
  // One write call per line, so lines from other processes never interleave inside it.
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

std::string path() {
  std::lock_guard guard(lock());
  return pathStorage();
}

void setPathForTesting(std::string p) {
  std::lock_guard guard(lock());
  pathStorage() = std::move(p);
}

}  // namespace vistrel::LayoutLog
