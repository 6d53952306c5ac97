#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/Connection.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11Workspace.h"
#include "support/ScopedEnv.h"

namespace vistrel::x11 {

using vistrel::testing::ScopedEnv;

namespace {

constexpr std::uint8_t kInternAtom = 16;
constexpr std::uint8_t kQueryExtension = 98;

// An X server on a private display that completes the handshake, answers
// InternAtom (and, when asked, QueryExtension) and never answers anything else:
// a server that hangs once the program runs.
class SilentServer {
 public:
  explicit SilentServer(bool answersSetup) : answersSetup_(answersSetup) {
    ::mkdir("/tmp/.X11-unix", 01777);
    for (int n = 4000 + int(::getpid() % 1000); n < 6000; ++n) {
      path_ = "/tmp/.X11-unix/X" + std::to_string(n);
      if (::access(path_.c_str(), F_OK) == 0) continue;
      listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
      if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
          ::listen(listener_, 1) == 0) {
        display_ = ":" + std::to_string(n);
        break;
      }
      ::close(listener_);
      listener_ = -1;
    }
    if (listener_ >= 0) thread_ = std::thread([this] { serve(); });
  }
  ~SilentServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    ::unlink(path_.c_str());
  }
  const std::string& display() const { return display_; }

 private:
  // Waits for data in short slices, so that stop_ is seen.
  bool readable(int fd) {
    while (!stop_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) return true;
    }
    return false;
  }

  void serve() {
    if (!readable(listener_)) return;
    const int client = ::accept(listener_, nullptr, nullptr);
    std::vector<std::uint8_t> in;
    bool handshaken = false;
    std::uint16_t sequence = 0;
    std::uint8_t buffer[4096];
    while (readable(client)) {
      const ssize_t n = ::read(client, buffer, sizeof buffer);
      if (n <= 0) break;
      in.insert(in.end(), buffer, buffer + n);
      if (!handshaken) {
        if (in.size() < 12) continue;
        const std::size_t nameLength = in[6] | in[7] << 8, dataLength = in[8] | in[9] << 8;
        const std::size_t length = 12 + (nameLength + 3) / 4 * 4 + (dataLength + 3) / 4 * 4;
        if (in.size() < length) continue;
        in.erase(in.begin(), in.begin() + std::ptrdiff_t(length));
        writeSetup(client);
        handshaken = true;
      }
      while (in.size() >= 4) {
        const std::size_t length = std::size_t(in[2] | in[3] << 8) * 4;
        if (length == 0 || in.size() < length) break;
        ++sequence;
        const std::uint8_t opcode = in[0];
        in.erase(in.begin(), in.begin() + std::ptrdiff_t(length));
        if (!answersSetup_) continue;
        std::uint8_t reply[32] = {1, 0, std::uint8_t(sequence & 0xff), std::uint8_t(sequence >> 8)};
        if (opcode == kInternAtom) {
          const std::uint32_t atom = 100u + sequence;
          std::memcpy(reply + 8, &atom, 4);
          (void)!::write(client, reply, sizeof reply);
        } else if (opcode == kQueryExtension) {
          (void)!::write(client, reply, sizeof reply);  // present = 0
        }
      }
    }
    ::close(client);
  }

  // A little-endian setup: one 1920x1080 screen, no formats, no depths.
  static void writeSetup(int client) {
    std::vector<std::uint8_t> setup(8 + 72, 0);
    setup[0] = 1;
    setup[2] = 11;
    setup[6] = 72 / 4;
    std::uint8_t* data = setup.data() + 8;
    const std::uint32_t base = 0x00200000, mask = 0x001fffff;
    std::memcpy(data + 4, &base, 4);
    std::memcpy(data + 8, &mask, 4);
    data[18] = 0xff;  // maximum request length 65535
    data[19] = 0xff;
    data[20] = 1;  // screens
    data[26] = 8;  // keycodes 8..255
    data[27] = 255;
    std::uint8_t* screen = data + 32;
    const std::uint32_t root = 0x25;
    std::memcpy(screen, &root, 4);
    const std::uint16_t width = 1920, height = 1080;
    std::memcpy(screen + 20, &width, 2);
    std::memcpy(screen + 22, &height, 2);
    screen[38] = 24;
    (void)!::write(client, setup.data(), setup.size());
  }

  bool answersSetup_;
  std::string path_;
  std::string display_;
  int listener_ = -1;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

// A server that never answers makes opening the connection fail with a message instead of hanging.
TEST(SilentServer, OpeningGivesUpOnUnansweredAtoms) {
  SilentServer server(false);
  ASSERT_FALSE(server.display().empty());
  ScopedEnv display("DISPLAY", server.display().c_str());
  std::string error;
  EXPECT_EQ(Connection::open(error), nullptr);
  EXPECT_EQ(error.rfind("the X server did not intern ", 0), 0u) << error;
}

// Once the server stops answering, every read is kAXErrorCannotComplete within its timeout, never a hang.
TEST(SilentServer, ReadsOfAHungServerCannotComplete) {
  SilentServer server(true);
  ASSERT_FALSE(server.display().empty());
  ScopedEnv display("DISPLAY", server.display().c_str());
  std::string error;
  auto connection = Connection::open(error);
  ASSERT_TRUE(connection) << error;
  EXPECT_FALSE(connection->hasMonitors());
  EXPECT_FALSE(connection->hasResourceIds());

  X11Accessibility accessibility(*connection);
  ASSERT_EQ(accessibility.setMessagingTimeout(accessibility.systemWideElement(), 0.05), platform::kAXErrorSuccess);
  const platform::AXElement window{platform::AXElement::Kind::window, 1234, 0x00200005};
  EXPECT_EQ(accessibility.copyAttributeValue(window, platform::ax::position).error, platform::kAXErrorCannotComplete);
  EXPECT_EQ(accessibility.copyAttributeValue(accessibility.systemWideElement(), platform::ax::focusedApplication).error,
            platform::kAXErrorCannotComplete);
  EXPECT_EQ(accessibility.setAttributeValue(window, platform::ax::size, Size{100, 100}),
            platform::kAXErrorCannotComplete);
  EXPECT_EQ(accessibility.performAction(window, platform::ax::raise), platform::kAXErrorCannotComplete);

  // The workspace and the screens degrade to nothing and to the root window.
  X11Workspace workspace(*connection);
  EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
  X11Screens screens(*connection);
  const auto all = screens.screens();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].frame, Rect(0, 0, 1920, 1080));
}

}  // namespace
}  // namespace vistrel::x11
