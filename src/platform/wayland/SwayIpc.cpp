#include "platform/wayland/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vistrel::wayland {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 * sizeof(std::uint32_t);
// A tree of a few hundred windows is well under a megabyte; a larger length
// means the stream is out of step.
constexpr std::uint32_t kMaxPayload = 64u << 20;

bool waitFor(int fd, short events, Deadline deadline) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&p, 1, millisecondsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

template <class T>
IpcReply<T> failed(IpcFault fault, std::string error) {
  return {std::nullopt, fault, std::move(error)};
}

}  // namespace

SwayIpc::SwayIpc(std::string socketPath) : path_(std::move(socketPath)) {}

SwayIpc::~SwayIpc() { disconnect(); }

std::optional<std::string> SwayIpc::socketFromEnvironment() {
  const char* path = std::getenv("SWAYSOCK");
  if (!path || !*path) return std::nullopt;
  return std::string(path);
}

bool SwayIpc::connect() {
  if (fd_ >= 0) return true;
  sockaddr_un address{};
  if (path_.empty() || path_.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path_.data(), path_.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  // A UNIX socket connects at once or not at all.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void SwayIpc::disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool SwayIpc::writeAll(const char* data, std::size_t size, Deadline deadline, IpcFault& fault) {
  while (size > 0) {
    const ssize_t written = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (written > 0) {
      data += written;
      size -= std::size_t(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (waitFor(fd_, POLLOUT, deadline)) continue;
      fault = IpcFault::timedOut;
      return false;
    }
    fault = IpcFault::broken;
    return false;
  }
  return true;
}

bool SwayIpc::readAll(char* data, std::size_t size, Deadline deadline, IpcFault& fault) {
  while (size > 0) {
    const ssize_t got = ::recv(fd_, data, size, 0);
    if (got > 0) {
      data += got;
      size -= std::size_t(got);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (waitFor(fd_, POLLIN, deadline)) continue;
      fault = IpcFault::timedOut;
      return false;
    }
    fault = IpcFault::broken;  // end of stream: sway went away
    return false;
  }
  return true;
}

IpcReply<QByteArray> SwayIpc::request(Message type, const QByteArray& payload, Deadline deadline) {
  if (!connect()) return failed<QByteArray>(IpcFault::unavailable, "cannot connect to " + path_ + ": " + std::strerror(errno));

  QByteArray message(kMagic, sizeof kMagic);
  const std::uint32_t header[] = {std::uint32_t(payload.size()), std::uint32_t(type)};
  message.append(reinterpret_cast<const char*>(header), sizeof header);
  message.append(payload);

  IpcFault fault = IpcFault::none;
  char replyHeader[kHeaderSize];
  if (!writeAll(message.constData(), std::size_t(message.size()), deadline, fault) ||
      !readAll(replyHeader, sizeof replyHeader, deadline, fault)) {
    disconnect();
    return failed<QByteArray>(fault, fault == IpcFault::timedOut ? "sway did not answer in time"
                                                                 : "the connection to sway broke");
  }
  std::uint32_t length = 0, replyType = 0;
  std::memcpy(&length, replyHeader + sizeof kMagic, sizeof length);
  std::memcpy(&replyType, replyHeader + sizeof kMagic + sizeof length, sizeof replyType);
  if (std::memcmp(replyHeader, kMagic, sizeof kMagic) != 0 || replyType != std::uint32_t(type) ||
      length > kMaxPayload) {
    disconnect();
    return failed<QByteArray>(IpcFault::broken, "sway's reply is not an answer to the request");
  }
  QByteArray body(qsizetype(length), Qt::Uninitialized);
  if (!readAll(body.data(), length, deadline, fault)) {
    disconnect();
    return failed<QByteArray>(fault, "sway's reply was cut short");
  }
  return {std::move(body), IpcFault::none, {}};
}

template <class T, class Parse>
static IpcReply<T> parsed(IpcReply<QByteArray> raw, Parse parse) {
  if (!raw.value) return failed<T>(raw.fault, std::move(raw.error));
  auto value = parse(*raw.value);
  if (!value) return failed<T>(IpcFault::broken, "sway's reply is not the JSON expected");
  return {std::move(*value), IpcFault::none, {}};
}

IpcReply<SwayTree> SwayIpc::tree(Deadline deadline) {
  return parsed<SwayTree>(request(Message::getTree, {}, deadline), parseTree);
}

IpcReply<std::vector<SwayOutput>> SwayIpc::outputs(Deadline deadline) {
  return parsed<std::vector<SwayOutput>>(request(Message::getOutputs, {}, deadline), parseOutputs);
}

IpcReply<std::vector<SwayWorkspace>> SwayIpc::workspaces(Deadline deadline) {
  return parsed<std::vector<SwayWorkspace>>(request(Message::getWorkspaces, {}, deadline), parseWorkspaces);
}

IpcReply<bool> SwayIpc::command(const std::string& commands, Deadline deadline) {
  auto raw = request(Message::runCommand, QByteArray::fromStdString(commands), deadline);
  if (!raw.value) return failed<bool>(raw.fault, std::move(raw.error));
  // One result object per command, in order.
  const QJsonDocument document = QJsonDocument::fromJson(*raw.value);
  if (!document.isArray()) return failed<bool>(IpcFault::broken, "sway's reply is not the JSON expected");
  for (const QJsonValue& result : document.array()) {
    if (!result.toObject().value("success").toBool()) {
      return failed<bool>(IpcFault::refused, result.toObject().value("error").toString().toStdString());
    }
  }
  return {true, IpcFault::none, {}};
}

}  // namespace vistrel::wayland
