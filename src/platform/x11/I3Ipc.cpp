#include "platform/x11/I3Ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "base/AtomicFile.h"

namespace vistrel::x11::i3ipc {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::uint32_t kRunCommand = 0;
// Replies to a command are a few hundred bytes; anything near this is not a reply.
constexpr std::uint32_t kMaxReply = 1u << 20;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

int millisecondsUntil(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return int(std::max<std::int64_t>(left.count(), 0));
}

// Waits for the socket to be ready for `events`; false at the deadline or on an error.
bool await(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
    if (ready > 0) return (entry.revents & events) != 0;
    if (ready == 0 || errno != EINTR) return false;
  }
}

bool writeAll(int fd, const char* data, std::size_t size, Deadline deadline) {
  while (size > 0) {
    if (!await(fd, POLLOUT, deadline)) return false;
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= std::size_t(sent);
  }
  return true;
}

bool readAll(int fd, char* data, std::size_t size, Deadline deadline) {
  while (size > 0) {
    if (!await(fd, POLLIN, deadline)) return false;
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= std::size_t(got);
  }
  return true;
}

CommandResult failed(std::string why) { return {false, std::move(why)}; }

}  // namespace

CommandResult runCommand(const std::string& socketPath, const std::string& command, Deadline deadline) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return failed("no usable socket path");
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());

  const Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.fd() < 0) return failed("socket: " + errorText(errno));
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    // A manager too busy to accept at once: wait for the connection, then ask how it went.
    int error = errno;
    if (error == EAGAIN || error == EINPROGRESS) {
      socklen_t size = sizeof error;
      if (!await(socket.fd(), POLLOUT, deadline)) {
        error = ETIMEDOUT;
      } else if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
    if (error != 0) return failed("connect " + socketPath + ": " + errorText(error));
  }

  QByteArray message(kMagic, sizeof kMagic);
  const std::uint32_t header[] = {std::uint32_t(command.size()), kRunCommand};
  message.append(reinterpret_cast<const char*>(header), sizeof header);
  message.append(command.data(), qsizetype(command.size()));
  if (!writeAll(socket.fd(), message.constData(), std::size_t(message.size()), deadline)) {
    return failed("the command could not be sent");
  }

  char replyHeader[sizeof kMagic + 2 * sizeof(std::uint32_t)];
  if (!readAll(socket.fd(), replyHeader, sizeof replyHeader, deadline)) return failed("no reply in time");
  std::uint32_t length = 0, type = 0;
  std::memcpy(&length, replyHeader + sizeof kMagic, sizeof length);
  std::memcpy(&type, replyHeader + sizeof kMagic + sizeof length, sizeof type);
  if (std::memcmp(replyHeader, kMagic, sizeof kMagic) != 0 || type != kRunCommand || length > kMaxReply) {
    return failed("the reply is not an i3 IPC reply to a command");
  }
  QByteArray payload(qsizetype(length), Qt::Uninitialized);
  if (!readAll(socket.fd(), payload.data(), length, deadline)) return failed("the reply was cut short");

  // One object per command: {"success": true} or {"success": false, "error": "..."}.
  const QJsonDocument document = QJsonDocument::fromJson(payload);
  if (!document.isArray() || document.array().isEmpty()) return failed("the reply holds no results");
  for (const QJsonValue& result : document.array()) {
    const QJsonObject object = result.toObject();
    if (!object.value("success").toBool()) {
      const QString error = object.value("error").toString();
      return failed(error.isEmpty() ? "the command failed" : error.toStdString());
    }
  }
  return {true, {}};
}

}  // namespace vistrel::x11::i3ipc
