#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "platform/x11/I3Ipc.h"

namespace vistrel::x11 {
namespace {

// A window manager's IPC socket that takes one message and answers it with `reply` (none: it never answers).
class FakeManager {
 public:
  explicit FakeManager(std::optional<std::string> reply) {
    path = dir.filePath("ipc.sock").toStdString();
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener_, 1), 0);
    thread_ = std::thread([this, reply = std::move(reply)] {
      const int peer = ::accept(listener_, nullptr, nullptr);
      char header[14];
      if (::recv(peer, header, sizeof header, MSG_WAITALL) == sizeof header) {
        std::uint32_t length = 0;
        std::memcpy(&length, header + 6, 4);
        std::memcpy(&type, header + 10, 4);
        magic.assign(header, 6);
        command.resize(length);
        ::recv(peer, command.data(), length, MSG_WAITALL);
        if (reply) {
          const std::uint32_t out[] = {std::uint32_t(reply->size()), 0};
          ::send(peer, "i3-ipc", 6, MSG_NOSIGNAL);
          ::send(peer, out, sizeof out, MSG_NOSIGNAL);
          ::send(peer, reply->data(), reply->size(), MSG_NOSIGNAL);
        } else {
          char rest;
          ::recv(peer, &rest, 1, 0);  // until the asker gives up and closes
        }
      }
      ::close(peer);
    });
  }
  ~FakeManager() {
    thread_.join();
    ::close(listener_);
  }

  QTemporaryDir dir;
  std::string path;
  std::string magic, command;
  std::uint32_t type = 99;

 private:
  int listener_ = -1;
  std::thread thread_;
};

// A command goes out in i3's framing (magic, length, RUN_COMMAND) and the reply's verdict comes back.
TEST(I3Ipc, RunsCommandAndReadsVerdict) {
  {
    FakeManager manager(R"([{"success":true}])");
    const auto result = i3ipc::runCommand(manager.path, "[id=4194316] floating enable", deadlineAfter(2));
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.error, "");
  }
  FakeManager refusing(R"([{"success":false,"parse_error":true,"error":"Expected one of these tokens"}])");
  const auto result = i3ipc::runCommand(refusing.path, "[id=1] floating enable", deadlineAfter(2));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "Expected one of these tokens");
  EXPECT_EQ(refusing.magic, "i3-ipc");
  EXPECT_EQ(refusing.type, 0u);
  EXPECT_EQ(refusing.command, "[id=1] floating enable");
}

// A manager that never answers, a reply that is not JSON and a socket nobody listens on are failures, in time.
TEST(I3Ipc, SilenceGarbageAndNoManagerFail) {
  {
    FakeManager silent(std::nullopt);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(i3ipc::runCommand(silent.path, "nop", deadlineAfter(0.2)).error, "no reply in time");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  }
  {
    FakeManager garbage("not json");
    EXPECT_EQ(i3ipc::runCommand(garbage.path, "nop", deadlineAfter(2)).error, "the reply holds no results");
  }
  QTemporaryDir empty;
  const auto result = i3ipc::runCommand(empty.filePath("gone.sock").toStdString(), "nop", deadlineAfter(2));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("connect"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace vistrel::x11
