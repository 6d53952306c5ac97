#include "app/InstanceHandOver.h"

#include <sys/socket.h>

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <charconv>
#include <cmath>

#include "app/SingleCopyGuard.h"
#include "base/LayoutLog.h"

namespace vistrel::InstanceHandOver {

namespace {

// A request or reply line is a few dozen bytes; one far longer is not one.
constexpr qint64 kMaxLine = 256;
constexpr int kConnectMs = 2000;
constexpr int kReplyMs = 5000;
// How long the server keeps a connection that has not sent its request.
constexpr int kRequestMs = 5000;

// The process that listens at the other end of a connected local socket.
std::optional<std::int32_t> peerPID(qintptr descriptor) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return std::int32_t(credentials.pid);
}

void reply(QLocalSocket* connection, const std::string& line) {
  connection->write(QByteArray::fromStdString(line + "\n"));
  connection->flush();
  connection->disconnectFromServer();
}

}  // namespace

std::string socketPath(const std::string& folder, const std::string& bundleIdentifier) {
  return folder + "/" + bundleIdentifier + ".socket";
}

std::optional<double> parseDelay(std::string_view text) {
  constexpr double kMaxSeconds = 60;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value < 0 || value > kMaxSeconds) return std::nullopt;
  return value;
}

std::string actionRequest(const UtilityAction& action, double delay) {
  std::string line = "action " + action.storageID();
  if (delay > 0) {
    char text[32];
    std::snprintf(text, sizeof text, " delay=%g", delay);
    line += text;
  }
  return line;
}

std::variant<Request, std::string> parseRequest(std::string_view line) {
  if (line == "activate") return Request{Request::Kind::activate, std::nullopt};
  constexpr std::string_view kAction = "action ";
  if (line.starts_with(kAction)) {
    auto id = line.substr(kAction.size());
    double delay = 0;
    constexpr std::string_view kDelay = " delay=";
    if (const auto at = id.find(kDelay); at != std::string_view::npos) {
      const auto parsed = parseDelay(id.substr(at + kDelay.size()));
      if (!parsed) return "bad delay " + std::string(id.substr(at + kDelay.size()));
      delay = *parsed;
      id = id.substr(0, at);
    }
    const auto action = UtilityAction::fromStorageID(id);
    if (!action) return "unknown action " + std::string(id);
    if (delay > 0 && action->kind() != UtilityAction::Kind::capture) return "a delay goes with captures only";
    return Request{Request::Kind::action, action, delay};
  }
  return std::string("unknown request");
}

std::optional<std::int32_t> sameFileInstance(const std::vector<platform::RunningApplication>& running,
                                             const std::string& myID, const std::string& myPath, std::int32_t myPID) {
  const std::string mine = SingleCopyGuard::standardizedPath(myPath);
  for (const auto& application : running) {
    if (myID.empty() || application.bundleIdentifier != myID || application.pid == myPID) continue;
    if (application.bundlePath && SingleCopyGuard::standardizedPath(*application.bundlePath) == mine) {
      return application.pid;
    }
  }
  return std::nullopt;
}

Outcome send(const std::string& path, const std::string& request, std::optional<std::int32_t> expectedPID) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(path));
  if (!socket.waitForConnected(kConnectMs)) {
    const auto error = socket.error();
    if (error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError) {
      return {Outcome::Status::noInstance, {}};
    }
    return {Outcome::Status::failed, socket.errorString().toStdString()};
  }
  if (expectedPID) {
    const auto peer = peerPID(socket.socketDescriptor());
    if (peer != expectedPID) {
      return {Outcome::Status::otherInstance, "pid " + (peer ? std::to_string(*peer) : std::string("?"))};
    }
  }

  socket.write(QByteArray::fromStdString(request + "\n"));
  const QDeadlineTimer deadline(kReplyMs);
  while (!socket.canReadLine()) {
    if (socket.bytesAvailable() > kMaxLine) return {Outcome::Status::failed, "the answer is too long"};
    if (socket.waitForReadyRead(int(deadline.remainingTime()))) continue;
    if (socket.canReadLine()) break;
    if (deadline.hasExpired()) {
      return {Outcome::Status::failed, "no answer within " + std::to_string(kReplyMs / 1000) + " s"};
    }
    return {Outcome::Status::failed, "the connection closed without an answer"};
  }
  std::string answer = socket.readLine(kMaxLine + 1).toStdString();
  if (!answer.ends_with('\n')) return {Outcome::Status::failed, "the answer is too long"};
  answer.pop_back();
  if (answer == "ok") return {Outcome::Status::ok, {}};
  constexpr std::string_view kError = "error ";
  if (answer.starts_with(kError)) return {Outcome::Status::failed, answer.substr(kError.size())};
  return {Outcome::Status::failed, "unexpected answer \"" + answer + "\""};
}

Server::Server() : server_(std::make_unique<QLocalServer>()) {
  QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
    while (QLocalSocket* connection = server_->nextPendingConnection()) serve(connection);
  });
}

Server::~Server() = default;

bool Server::listen(const std::string& path) {
  const QString name = QString::fromStdString(path);
  if (server_->listen(name)) {
    LayoutLog::write("hand-over-listen path=" + path);
    return true;
  }
  if (server_->serverError() == QAbstractSocket::AddressInUseError) {
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kConnectMs)) {
      LayoutLog::write("hand-over-listen-busy path=" + path);
      retryWhileBusy(path, 0);
      return false;
    }
    // Nobody answers: a copy that was killed left its socket file behind.
    QLocalServer::removeServer(name);
    LayoutLog::write("hand-over-stale-socket removed=" + path);
    if (server_->listen(name)) {
      LayoutLog::write("hand-over-listen path=" + path);
      return true;
    }
  }
  LayoutLog::write("hand-over-listen-failed path=" + path + " error=" + server_->errorString().toStdString());
  return false;
}

bool Server::isListening() const { return server_->isListening(); }

void Server::retryWhileBusy(const std::string& path, int attempt) {
  // A copy started to replace the running one finds it still listening; it
  // quits within a second, and the socket is then ours.
  QTimer::singleShot(kBusyRetryMs, server_.get(), [this, path, attempt] {
    if (server_->listen(QString::fromStdString(path))) {
      LayoutLog::write("hand-over-listen path=" + path);
    } else if (attempt + 1 < kBusyRetries) {
      retryWhileBusy(path, attempt + 1);
    }
  });
}

void Server::serve(QLocalSocket* connection) {
  QObject::connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
  // A caller that never finishes its line is cut off rather than kept.
  QTimer::singleShot(kRequestMs, connection, [connection] {
    connection->abort();
    connection->deleteLater();
  });
  QObject::connect(connection, &QLocalSocket::readyRead, connection, [this, connection] {
    if (!connection->canReadLine() && connection->bytesAvailable() <= kMaxLine) return;
    // One request per connection: whatever follows the first line is not read.
    QObject::disconnect(connection, &QLocalSocket::readyRead, nullptr, nullptr);
    std::string line = connection->canReadLine() ? connection->readLine(kMaxLine + 1).toStdString() : std::string();
    if (!line.ends_with('\n')) {
      reply(connection, "error request too long");
      return;
    }
    line.pop_back();
    answer(connection, line);
  });
}

void Server::answer(QLocalSocket* connection, const std::string& line) {
  const auto parsed = parseRequest(line);
  if (const auto* reason = std::get_if<std::string>(&parsed)) {
    reply(connection, "error " + *reason);
    return;
  }
  reply(connection, "ok");
  const auto& request = std::get<Request>(parsed);
  if (request.kind == Request::Kind::activate) {
    if (onActivate) onActivate();
    return;
  }
  LayoutLog::write("hand-over-action id=" + request.action->storageID());
  if (onAction) onAction(*request.action, request.delay);
}

}  // namespace vistrel::InstanceHandOver
