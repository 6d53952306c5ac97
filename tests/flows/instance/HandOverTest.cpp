#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <cstring>

#include "InstanceFixture.h"
#include "app/InstanceHandOver.h"

namespace vistrel::testing {
namespace {

using Status = InstanceHandOver::Outcome::Status;

// The blocking client runs on a thread of its own while this thread serves,
// as the second start and the running copy do in two processes. The deadline
// only stops a broken test from hanging.
InstanceHandOver::Outcome sendFromAnotherThread(const std::string& path, const std::string& request,
                                                std::optional<std::int32_t> expectedPID = std::nullopt) {
  InstanceHandOver::Outcome outcome{Status::failed, "the client never ran"};
  std::unique_ptr<QThread> thread(
      QThread::create([&] { outcome = InstanceHandOver::send(path, request, expectedPID); }));
  thread->start();
  const QDeadlineTimer deadline(20000);
  QTimer wake;
  wake.start(10);
  while (!thread->isFinished() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  thread->wait();
  return outcome;
}

// A socket file with nobody listening, as a killed copy leaves it.
void makeStaleSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

class HandOverFlow : public InstanceFlow {
 protected:
  void SetUp() override {
    InstanceFlow::SetUp();
    path = InstanceHandOver::socketPath(folder.path().toStdString(), platform::kBundleIdentifier);
    server.onActivate = [this] { ++activations; };
    server.onAction = [this](const UtilityAction& action, double delay) {
      actions.push_back(action);
      delays.push_back(delay);
    };
  }

  std::string path;
  InstanceHandOver::Server server;
  int activations = 0;
  std::vector<UtilityAction> actions;
  std::vector<double> delays;
};

// Request lines: the two requests, and the reasons given for anything else.
TEST(HandOverProtocol, ParsesRequestLines) {
  const auto activate = InstanceHandOver::parseRequest("activate");
  ASSERT_TRUE(std::holds_alternative<InstanceHandOver::Request>(activate));
  EXPECT_EQ(std::get<InstanceHandOver::Request>(activate).kind, InstanceHandOver::Request::Kind::activate);

  const auto action = InstanceHandOver::parseRequest("action window.rightHalf");
  ASSERT_TRUE(std::holds_alternative<InstanceHandOver::Request>(action));
  EXPECT_EQ(std::get<InstanceHandOver::Request>(action).action, UtilityAction::window(WindowSnap::rightHalf));
  EXPECT_EQ(std::get<InstanceHandOver::Request>(InstanceHandOver::parseRequest("action settings")).action,
            UtilityAction::openSettings());

  const auto timed = InstanceHandOver::parseRequest(
      InstanceHandOver::actionRequest(UtilityAction::capture(CaptureMode::window), 2.5));
  ASSERT_TRUE(std::holds_alternative<InstanceHandOver::Request>(timed));
  EXPECT_EQ(std::get<InstanceHandOver::Request>(timed).action, UtilityAction::capture(CaptureMode::window));
  EXPECT_EQ(std::get<InstanceHandOver::Request>(timed).delay, 2.5);
  EXPECT_EQ(std::get<InstanceHandOver::Request>(InstanceHandOver::parseRequest("action capture.area delay=60")).delay,
            60);

  const std::pair<const char*, const char*> refused[] = {
      {"action capture.screen delay=61", "bad delay 61"},
      {"action capture.screen delay=-1", "bad delay -1"},
      {"action capture.screen delay=5s", "bad delay 5s"},
      {"action capture.screen delay=", "bad delay "},
      {"action capture.screen delay=nan", "bad delay nan"},
      {"action window.leftHalf delay=3", "a delay goes with captures only"},
      {"action nope", "unknown action nope"},
      {"action ", "unknown action "},
      {"action Window.rightHalf", "unknown action Window.rightHalf"},
      {"activate ", "unknown request"},
      {"ACTIVATE", "unknown request"},
      {"", "unknown request"},
      {"action", "unknown request"},
  };
  for (const auto& [line, reason] : refused) {
    const auto parsed = InstanceHandOver::parseRequest(line);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << line;
    EXPECT_EQ(std::get<std::string>(parsed), reason) << line;
  }
}

// A plain start hands over to the first other copy of the same file (standardized), never to itself or another file.
TEST(HandOverProtocol, SameFileInstance) {
  const auto copy = [](std::int32_t pid, std::optional<std::string> id, std::optional<std::string> path) {
    platform::RunningApplication app;
    app.pid = pid;
    app.bundleIdentifier = std::move(id);
    app.bundlePath = std::move(path);
    return app;
  };
  const std::string id = platform::kBundleIdentifier;
  const std::vector<platform::RunningApplication> running = {
      copy(10, id, "/opt/Vistrel/vistrel"),  // this process
      copy(11, "org.example.Other", "/opt/Vistrel/vistrel"),
      copy(12, id, "/home/ann/vistrel"),
      copy(13, id, std::nullopt),
      copy(14, id, "/opt//Vistrel/./vistrel"),
      copy(15, id, "/opt/Vistrel/vistrel"),
  };
  EXPECT_EQ(InstanceHandOver::sameFileInstance(running, id, "/opt/Vistrel/vistrel", 10), 14);
  EXPECT_EQ(InstanceHandOver::sameFileInstance(running, id, "/home/ann/vistrel", 10), 12);
  EXPECT_EQ(InstanceHandOver::sameFileInstance(running, id, "/home/ann/Vistrel", 10), std::nullopt);
  EXPECT_EQ(InstanceHandOver::sameFileInstance(running, "", "/opt/Vistrel/vistrel", 10), std::nullopt);
}

// "activate" and "action <id>" are answered "ok" and reach the hooks; an action is logged, an activation is not.
TEST_F(HandOverFlow, RequestsReachTheRunningCopy) {
  ASSERT_TRUE(server.listen(path));
  EXPECT_EQ(sendFromAnotherThread(path, "activate").status, Status::ok);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(sendFromAnotherThread(path, "action window.rightHalf").status, Status::ok);
  EXPECT_EQ(actions, std::vector<UtilityAction>{UtilityAction::window(WindowSnap::rightHalf)});
  EXPECT_EQ(sendFromAnotherThread(path, "action capture.screen delay=3").status, Status::ok);
  EXPECT_EQ(delays, (std::vector<double>{0, 3}));
  // With this process's pid expected, the server (this process) is asked.
  EXPECT_EQ(sendFromAnotherThread(path, "activate", std::int32_t(::getpid())).status, Status::ok);
  EXPECT_EQ(activations, 2);

  server.onActivate = nullptr;
  EXPECT_EQ(sendFromAnotherThread(path, "activate").status, Status::ok);
  EXPECT_EQ(logMessages(),
            (std::vector<std::string>{"hand-over-listen path=" + path, "hand-over-action id=window.rightHalf",
                                      "hand-over-action id=capture.screen"}));
}

// Unknown requests, unknown actions and overlong lines get an "error" answer and reach no hook.
TEST_F(HandOverFlow, RefusedRequestsReachNoHook) {
  ASSERT_TRUE(server.listen(path));
  const auto unknownAction = sendFromAnotherThread(path, "action nope");
  EXPECT_EQ(unknownAction.status, Status::failed);
  EXPECT_EQ(unknownAction.detail, "unknown action nope");
  EXPECT_EQ(sendFromAnotherThread(path, "hello").detail, "unknown request");
  EXPECT_EQ(sendFromAnotherThread(path, "action " + std::string(400, 'x')).detail, "request too long");
  EXPECT_EQ(activations, 0);
  EXPECT_TRUE(actions.empty());
}

// No socket, or a socket nobody listens at, is no running copy; a listener of another process is not asked.
TEST_F(HandOverFlow, NoInstanceAndOtherInstance) {
  EXPECT_EQ(sendFromAnotherThread(path, "activate").status, Status::noInstance);
  makeStaleSocket(path);
  EXPECT_EQ(sendFromAnotherThread(path, "activate").status, Status::noInstance);

  ASSERT_TRUE(server.listen(path));
  const auto other = sendFromAnotherThread(path, "activate", std::int32_t(::getpid()) + 1);
  EXPECT_EQ(other.status, Status::otherInstance);
  EXPECT_EQ(other.detail, "pid " + std::to_string(::getpid()));
  EXPECT_EQ(activations, 0);
}

// A killed copy's socket file is replaced; a live listener's is not, and it keeps serving; the file goes with the
// server.
TEST_F(HandOverFlow, StaleSocketReplacedLiveOneKept) {
  makeStaleSocket(path);
  ASSERT_TRUE(server.listen(path));
  {
    InstanceHandOver::Server second;
    EXPECT_FALSE(second.listen(path));
  }
  EXPECT_EQ(sendFromAnotherThread(path, "activate").status, Status::ok);
  EXPECT_EQ(logMessages(),
            (std::vector<std::string>{"hand-over-stale-socket removed=" + path, "hand-over-listen path=" + path,
                                      "hand-over-listen-busy path=" + path}));
  {
    InstanceHandOver::Server last;
    ASSERT_TRUE(last.listen(folder.filePath("last.socket").toStdString()));
  }
  EXPECT_FALSE(QFileInfo::exists(folder.filePath("last.socket")));
}

}  // namespace
}  // namespace vistrel::testing
