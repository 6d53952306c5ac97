// The GNOME pieces against headless GNOME Shell: screenshots through the
// Screenshot portal once the grant is in the permission store, a recording
// from Mutter's screen cast through PipeWire into the movie writer, and
// window layout through Vistrel's Shell extension.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

#include "MutterScreenCast.h"
#include "base/AlertPresenter.h"
#include "platform/linux/LibavMovieWriter.h"
#include "platform/linux/portal/PipeWireDisplayStream.h"
#include "platform/linux/portal/PortalScreenCapture.h"
#include "platform/wayland/WaylandScreens.h"
#include "platform/wayland/gnome/GnomeAccessibility.h"

namespace vistrel::e2e {
namespace {

// Checks `done` every 20 ms, events running in between, until it holds or `seconds` pass.
bool waitUntil(double seconds, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > seconds * 1000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(20);
  }
  return true;
}

// An alert no one answers: the test never expects one.
struct NoAlerts : AlertPresenter {
  int runModal(const Alert& alert) override {
    ADD_FAILURE() << "unexpected alert: " << alert.title;
    return -1;
  }
};

int distinctColours(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); y += 7) {
    for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y) | 0xff000000);
  }
  return int(colours.size());
}

class Gnome : public ::testing::Test {
 protected:
  Gnome()
      : bus(QDBusConnection::sessionBus()),
        connection(wayland::WaylandConnection::connect(wayland::deadlineAfter(5))) {
    if (connection) screens = std::make_unique<wayland::WaylandScreens>(*connection, nullptr);
  }

  // What `gdbus call` would do: the test grants the screenshot permission the way GNOME's dialog stores it.
  void grantScreenshots() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        "org.freedesktop.impl.portal.PermissionStore", "/org/freedesktop/impl/portal/PermissionStore",
        "org.freedesktop.impl.portal.PermissionStore", "SetPermission");
    call.setArguments({"screenshot", true, "screenshot", "", QStringList{"yes"}});
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  }

  QDBusConnection bus;
  std::unique_ptr<wayland::WaylandConnection> connection;
  std::unique_ptr<wayland::WaylandScreens> screens;
};

// With the grant stored, the portal gives a picture of the whole 1920x1080 screen with the Shell drawn on it,
// and an area of it at the size asked; before the grant, preflight says no.
TEST_F(Gnome, ScreenshotPortalCapturesTheScreenOnceGranted) {
  ASSERT_TRUE(screens);
  const auto listed = screens->screens();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].frame, Rect(0, 0, 1920, 1080));
  portal::PortalScreenCapture capture(bus, *screens);
  EXPECT_FALSE(capture.preflightAccess());
  grantScreenshots();
  EXPECT_TRUE(capture.preflightAccess());

  QElapsedTimer took;
  took.start();
  platform::CaptureConfiguration screen;
  screen.width = 1920;
  screen.height = 1080;
  auto whole = capture.captureDisplay(listed[0].displayID, screen);
  ASSERT_TRUE(std::holds_alternative<QImage>(whole)) << std::get<platform::CaptureFault>(whole).description;
  const QImage image = std::get<QImage>(whole);
  std::printf("portal screenshot: %lld ms\n", took.elapsed());
  EXPECT_EQ(image.size(), QSize(1920, 1080));
  EXPECT_GT(distinctColours(image), 8) << "the picture is blank";
  image.save("/tmp/gnome-shot.png");

  auto part = capture.captureDisplay(listed[0].displayID,
                                     {.sourceRect = Rect(100, 50, 640, 360), .width = 320, .height = 180});
  ASSERT_TRUE(std::holds_alternative<QImage>(part)) << std::get<platform::CaptureFault>(part).description;
  EXPECT_EQ(std::get<QImage>(part).size(), QSize(320, 180));
  // The portal's files are gone once read.
  EXPECT_TRUE(QDir(QDir::homePath()).entryList({"Screenshot*.png"}, QDir::Files).isEmpty());
}

// Mutter's screen cast through PipeWire records a movie of the screen's size; the still screen sends few
// frames, so the stream repeats the last one as unchanged to keep the rate.
TEST_F(Gnome, ScreenCastRecordingPlaysAtTheScreenSize) {
  ASSERT_TRUE(screens);
  const auto display = screens->screens().at(0);
  portal::PipeWireDisplayStream stream(std::make_unique<MutterScreenCast>(bus), *screens);
  const QString path = QDir(qEnvironmentVariable("HARNESS_DIR")).filePath("cast.mp4");
  desktop::LibavMovieWriter writer(path.toStdString());
  writer.add({.width = 1920, .height = 1080, .averageBitRate = 4'000'000, .maxKeyFrameInterval = 30});
  ASSERT_TRUE(writer.startWriting()) << writer.errorDescription();

  std::mutex mutex;
  std::atomic<int> frames{0}, unchanged{0};
  bool started = false;
  platform::StreamConfiguration configuration;
  configuration.capture.width = 1920;
  configuration.capture.height = 1080;
  configuration.minimumFrameInterval = 1.0 / 30;
  const auto failure = stream.start(display.displayID, configuration, [&](const platform::StreamFrame& frame) {
    std::lock_guard lock(mutex);
    if (!started) {
      writer.startSession(frame.time);
      started = true;
    }
    ++frames;
    if (!frame.changed) ++unchanged;
    if (writer.isReadyForMoreMediaData()) writer.append(frame);
  });
  ASSERT_FALSE(failure) << *failure;
  EXPECT_TRUE(waitUntil(10, [&] { return frames >= 45; })) << frames << " frames";
  stream.stop();
  EXPECT_GT(unchanged, 0) << "no frame was repeated";

  std::atomic<bool> finished{false};
  writer.markAsFinished();
  writer.finishWriting([&] { finished = true; });
  ASSERT_TRUE(waitUntil(10, [&] { return finished.load(); }));
  ASSERT_EQ(writer.status(), platform::MovieWriterStatus::completed) << writer.errorDescription();

  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height:format=duration", "-of", "csv=p=0", path});
  ASSERT_TRUE(probe.waitForFinished(30000));
  const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2) << probe.readAllStandardError().toStdString();
  const QStringList size = lines[0].split(',');
  ASSERT_EQ(size.size(), 2);
  EXPECT_EQ(size[0].toInt(), 1920);
  EXPECT_EQ(size[1].toInt(), 1080);
  // 45 frames at 30 a second, repeated ones extending the one before.
  EXPECT_NEAR(lines[1].toDouble(), 1.5, 0.2);
}

// With the extension enabled the process is trusted, a native window's frame reads back as written, and
// the screenshot portal crops that window out of the screen at its frame's size.
TEST_F(Gnome, ExtensionMovesTheWindowAndCapturesIt) {
  gnome::GnomeAccessibility accessibility(bus, std::make_shared<NoAlerts>());
  ASSERT_TRUE(waitUntil(10, [&] { return accessibility.isProcessTrusted(); })) << "the extension does not answer";

  QProcess foot;
  foot.start("foot", {"--app-id", "vistrel-test", "sh", "-c", "sleep 60"});
  ASSERT_TRUE(foot.waitForStarted());
  const auto pid = std::int32_t(foot.processId());
  const auto app = accessibility.applicationElement(pid);
  // GNOME places a window when it first shows, and focuses it then: a move before that would be undone.
  platform::AXElement window;
  ASSERT_TRUE(waitUntil(10, [&] {
    const auto result = accessibility.copyAttributeValue(accessibility.systemWideElement(),
                                                         platform::ax::focusedUIElement);
    const auto* focused = result.value ? std::get_if<platform::AXElement>(&*result.value) : nullptr;
    if (!focused || focused->pid != pid) return false;
    window = *focused;
    return true;
  })) << "foot's window never got the focus";
  const auto owned = accessibility.copyAttributeValue(app, platform::ax::windows);
  ASSERT_TRUE(owned.value);
  EXPECT_EQ(std::get<std::vector<platform::AXElement>>(*owned.value), std::vector<platform::AXElement>{window});

  ASSERT_EQ(accessibility.setAttributeValue(window, platform::ax::size, Size{800, 500}), platform::kAXErrorSuccess);
  ASSERT_EQ(accessibility.setAttributeValue(window, platform::ax::position, Point{300, 200}),
            platform::kAXErrorSuccess);
  Rect frame;
  const bool landed = waitUntil(5, [&] {
    const auto position = accessibility.copyAttributeValue(window, platform::ax::position);
    const auto size = accessibility.copyAttributeValue(window, platform::ax::size);
    if (!position.value || !size.value) return false;
    frame = Rect(std::get<Point>(*position.value), std::get<Size>(*size.value));
    return frame == Rect(300, 200, 800, 500);
  });
  EXPECT_TRUE(landed) << "frame " << frame.x << "," << frame.y << " " << frame.w << "x" << frame.h;

  grantScreenshots();
  gnome::ShellWindowControl shell(bus);
  portal::PortalScreenCapture capture(bus, *screens, [&] {
    std::vector<platform::CaptureWindow> windows;
    for (const auto& w : shell.windows(2).value_or(std::vector<gnome::ShellWindow>{})) {
      windows.push_back({std::uint32_t(w.id), w.frame, w.pid, w.wmClass, w.title, 0});
    }
    return windows;
  });
  auto shot = capture.captureWindow(std::uint32_t(window.id), {});
  ASSERT_TRUE(std::holds_alternative<QImage>(shot)) << std::get<platform::CaptureFault>(shot).description;
  EXPECT_EQ(std::get<QImage>(shot).size(), QSize(int(frame.w), int(frame.h)));
  foot.kill();
  foot.waitForFinished();
}

}  // namespace
}  // namespace vistrel::e2e
