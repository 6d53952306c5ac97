#include <QDir>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "OverlayFixture.h"
#include "capture/CaptureCountdown.h"
#include "capture/CaptureEngine.h"
#include "permissions/ScreenRecordingAccess.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

struct Shown {
  QImage image;
  std::optional<std::string> savedPath;
  EditorDisplayMath::PixelScale scale;
};

class CaptureFlow : public OverlayFlow {
 protected:
  void SetUp() override {
    OverlayFlow::SetUp();
    ScreenRecordingAccess::resetForTesting();
    sim->defaults().set("vistrel.saveDirectory", folder.path().toStdString());
    presenter = std::make_shared<AnsweringPresenter>();
    engine().setAlertPresenter(presenter);
    engine().showEditor = [this](const QImage& image, std::optional<std::string> path,
                                 EditorDisplayMath::PixelScale scale) { shown.push_back({image, path, scale}); };
  }
  void TearDown() override {
    OverlayFlow::TearDown();
    engine().showEditor = nullptr;
    engine().setAlertPresenter(nullptr);
  }
  static CaptureEngine& engine() { return CaptureEngine::shared(); }
  QStringList files() const { return QDir(folder.path()).entryList(QDir::Files); }
  std::vector<std::string> captureLines() const {
    std::vector<std::string> lines;
    for (const auto& line : tempLog.messages()) {
      if (line.rfind("capture-done", 0) == 0 || line.rfind("capture-aborted", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  QTemporaryDir folder;
  std::shared_ptr<AnsweringPresenter> presenter;
  std::vector<Shown> shown;
};

// A screen capture lands on the clipboard, in a PNG file and in the editor, with its one log line; a second request meanwhile is dropped.
TEST_F(CaptureFlow, ScreenCaptureReachesClipboardFileAndEditor) {
  sim->screens().mouse = {-600, 300};  // on the left display, 1280x1024
  engine().perform(CaptureMode::screen);
  engine().perform(CaptureMode::area);
  EXPECT_TRUE(engine().capturing());
  sim->clock().runUntilIdle();
  EXPECT_FALSE(engine().capturing());

  ASSERT_EQ(captureLines(),
            std::vector<std::string>{"capture-done mode=screen display=under-mouse out=1280x1024 pxScale=1.000x1.000 stamp=L40"});
  ASSERT_TRUE(sim->pasteboard().image());
  EXPECT_EQ(sim->pasteboard().image()->size(), QSize(1280, 1024));
  ASSERT_EQ(files().size(), 1);
  EXPECT_TRUE(files().front().startsWith("Vistrel-") && files().front().endsWith(".png")) << files().front().toStdString();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].savedPath, folder.filePath(files().front()).toStdString());
  EXPECT_TRUE(presenter->alerts.empty());
  EXPECT_EQ(RegionSession::active(), nullptr) << "the dropped area request opened no overlay";
}

// An area drag gives exactly the dragged pixels; Escape ends the next one silently, and a third capture works again.
TEST_F(CaptureFlow, AreaCaptureTakesTheDraggedPixelsAndEscapeIsSilent) {
  engine().perform(CaptureMode::area);
  sim->clock().runPending();
  sim->clock().runPending();
  auto* session = RegionSession::active();
  ASSERT_NE(session, nullptr);
  QWidget* primary = session->windows()[0];
  // AppKit (100, 500)-(300, 600) on the 1440x900 primary: pixels x 100, y 300, 200x100.
  press(primary, {1280 + 100, 900 - 600});
  drag(primary, {1280 + 300, 900 - 500});
  release(primary, {1280 + 300, 900 - 500});
  sim->clock().runUntilIdle();

  ASSERT_EQ(captureLines(), std::vector<std::string>{"capture-done mode=area rect=(100,500 200x100) out=200x100 "
                                                     "pxScale=1.000x1.000 stamp=L40"});
  const auto screen = sim->screens().screens()[0];
  const QImage expected = sim->screenCapture().displayPicture(screen).copy(100, 300, 200, 100);
  ASSERT_TRUE(sim->pasteboard().image());
  EXPECT_EQ(sim->pasteboard().image()->convertToFormat(QImage::Format_RGB32), expected);

  engine().perform(CaptureMode::area);
  sim->clock().runPending();
  sim->clock().runPending();
  ASSERT_NE(RegionSession::active(), nullptr);
  key(RegionSession::active()->windows()[0], Qt::Key_Escape);
  sim->clock().runUntilIdle();
  EXPECT_FALSE(engine().capturing());
  EXPECT_EQ(captureLines().size(), 1u) << "a cancel writes no line";
  EXPECT_TRUE(presenter->alerts.empty());

  sim->screens().mouse = {10, 10};
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  EXPECT_EQ(captureLines().size(), 2u);
}

// With the three switches off only the log line is written; automatic format saves an opaque shot as JPEG.
TEST_F(CaptureFlow, SwitchesAndAutomaticFormat) {
  sim->defaults().set("vistrel.capture.copy", false);
  sim->defaults().set("vistrel.capture.save", false);
  sim->defaults().set("vistrel.capture.show", false);
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  EXPECT_EQ(captureLines().size(), 1u);
  EXPECT_FALSE(sim->pasteboard().image());
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(shown.empty());

  sim->defaults().set("vistrel.capture.save", true);
  sim->defaults().set("vistrel.capture.saveFormat", std::string("auto"));
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  ASSERT_EQ(files().size(), 1);
  EXPECT_TRUE(files().front().endsWith(".jpg")) << files().front().toStdString();
}

// A folder that cannot be written keeps the clipboard image, opens the editor without a file, and shows no alert.
TEST_F(CaptureFlow, UnwritableFolderIsSilent) {
  sim->defaults().set("vistrel.saveDirectory", std::string("/proc"));
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  EXPECT_EQ(captureLines().size(), 1u);
  EXPECT_TRUE(sim->pasteboard().image());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_FALSE(shown[0].savedPath);
  EXPECT_TRUE(presenter->alerts.empty());
}

// A refusal of the capture facility ends in the "Capture failed" alert with its words; a missing permission in one log line.
TEST_F(CaptureFlow, FailuresAlertAndMissingPermissionAborts) {
  sim->screenCapture().failure = "The display is asleep.";
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  ASSERT_EQ(presenter->alerts.size(), 1u);
  EXPECT_EQ(presenter->alerts[0].title, "Capture failed");
  EXPECT_EQ(presenter->alerts[0].text, "The display is asleep.");

  sim->screenCapture().failure.reset();
  sim->screenCapture().allowed = false;
  engine().perform(CaptureMode::screen);
  sim->clock().runUntilIdle();
  EXPECT_EQ(captureLines(), std::vector<std::string>{"capture-aborted-permission"});
  EXPECT_FALSE(engine().capturing());
}

// A picked window is captured alone after the overlay has gone; its line names the window and its frame.
TEST_F(CaptureFlow, WindowCaptureNamesTheWindow) {
  sim->screenCapture().windows.push_back(
      {{.windowID = 4711, .bounds = Rect(120, 0, 800, 600), .ownerPID = 77, .ownerName = "Editor", .title = "notes"}, {}});
  sim->screens().mouse = {500, 600};
  engine().perform(CaptureMode::window);
  sim->clock().runPending();
  sim->clock().runPending();
  auto* session = WindowPickSession::active();
  ASSERT_NE(session, nullptr);
  EXPECT_TRUE(sim->screenCapture().pickPrepared);
  QWidget* primary = session->overlays()[0];
  press(primary, {1280 + 500, 900 - 600});
  release(primary, {1280 + 500, 900 - 600});
  sim->clock().runUntilIdle();
  ASSERT_EQ(captureLines(), std::vector<std::string>{"capture-done mode=window windowID=4711 frame=(120,300 800x600) "
                                                     "out=800x600 pxScale=1.000x1.000 stamp=L40"});
  EXPECT_FALSE(sim->screenCapture().pickPrepared) << "the pick's preparation is undone";
}

// A timed shot counts down near the pointer on the clock and takes the screen only once the count has gone;
// the awaited form returns the file it wrote, and a request made meanwhile is refused as busy.
TEST_F(CaptureFlow, TimedScreenCaptureWaitsForTheCount) {
  sim->screens().mouse = {500, 600};
  CaptureOptions options;
  options.delay = 3;
  options.show = false;
  const auto outcome = start(engine().capture(CaptureMode::screen, options));
  bool refusedAsBusy = false;
  spawn([](bool& refused) -> Task<> {
    try {
      co_await CaptureEngine::shared().capture(CaptureMode::area, {});
    } catch (const CaptureBusy&) {
      refused = true;
    }
  }(refusedAsBusy));
  sim->clock().runPending();
  EXPECT_TRUE(refusedAsBusy) << "a second capture is refused while the count runs";
  auto* countdown = CountdownSession::active();
  ASSERT_NE(countdown, nullptr);
  QWidget* window = countdown->window();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(countdown->window()->number(), 3);
  // Near the pointer: Qt's global (1280 + 500, 900 - 600), the window below and right of it.
  EXPECT_EQ(window->pos(), QPoint(1280 + 500 + 24, 300 + 24));
  sim->clock().advance(1.5);
  EXPECT_EQ(countdown->window()->number(), 2);
  sim->clock().advance(1.49);
  EXPECT_EQ(countdown->window()->number(), 1);
  EXPECT_EQ(sim->screenCapture().displayCaptures, 0);

  sim->clock().runUntilIdle();
  ASSERT_EQ(sim->screenCapture().displayCaptures, 1);
  ASSERT_TRUE(outcome->done);
  ASSERT_TRUE(outcome->value);
  ASSERT_EQ(files().size(), 1);
  EXPECT_EQ(*outcome->value, folder.filePath(files().front()).toStdString());
  EXPECT_EQ(captureLines(), std::vector<std::string>{"capture-done mode=screen delay=3 display=under-mouse "
                                                     "out=1440x900 pxScale=1.000x1.000 stamp=L40"});
  EXPECT_TRUE(shown.empty()) << "the show option turned the editor off for this shot";
  EXPECT_EQ(CountdownSession::active(), nullptr);
}

// Escape during the count ends the capture silently: no picture, no line, no alert; the awaited form says cancelled.
TEST_F(CaptureFlow, EscapeCancelsTheCount) {
  CaptureOptions options;
  options.delay = 5;
  const auto outcome = start(engine().capture(CaptureMode::screen, options));
  sim->clock().runPending();
  ASSERT_NE(CountdownSession::active(), nullptr);
  sim->clock().advance(2);
  key(CountdownSession::active()->window(), Qt::Key_Escape);
  sim->clock().runUntilIdle();
  ASSERT_TRUE(outcome->done);
  EXPECT_EQ(outcome->error, CaptureError::cancelled);
  EXPECT_EQ(sim->screenCapture().displayCaptures, 0);
  EXPECT_TRUE(captureLines().empty());
  EXPECT_TRUE(presenter->alerts.empty());
  EXPECT_FALSE(engine().capturing());
}

// A timed window shot opens no pick: it takes the window under the pointer when the count ends, with the
// windows prepared for capture from the start of the count; no window there is a "Capture failed" alert.
TEST_F(CaptureFlow, TimedWindowCaptureTakesTheWindowUnderThePointerAtTheEnd) {
  sim->screenCapture().windows.push_back(
      {{.windowID = 0x51, .bounds = Rect(100, 100, 300, 200), .ownerPID = 77, .ownerName = "Menu", .title = "File"},
       {}});
  sim->screenCapture().windows.push_back(
      {{.windowID = 0x52, .bounds = Rect(0, 0, 900, 700), .ownerPID = 78, .ownerName = "Editor", .title = "notes"},
       {}});
  sim->screens().mouse = {800, 300};  // over the editor only
  engine().perform(CaptureMode::window, 3);
  sim->clock().runPending();
  ASSERT_NE(CountdownSession::active(), nullptr);
  EXPECT_EQ(WindowPickSession::active(), nullptr);
  EXPECT_TRUE(sim->screenCapture().pickPrepared);
  sim->clock().advance(2);
  sim->screens().mouse = {200, 650};  // the menu opened meanwhile, under the pointer now
  sim->clock().runUntilIdle();
  ASSERT_EQ(captureLines(), std::vector<std::string>{"capture-done mode=window delay=3 windowID=81 "
                                                     "frame=(100,600 300x200) out=300x200 pxScale=1.000x1.000 "
                                                     "stamp=L40"});
  EXPECT_FALSE(sim->screenCapture().pickPrepared);

  sim->screens().mouse = {1400, 20};
  engine().perform(CaptureMode::window, 3);
  sim->clock().runUntilIdle();
  ASSERT_EQ(presenter->alerts.size(), 1u);
  EXPECT_EQ(presenter->alerts[0].title, "Capture failed");
  EXPECT_EQ(presenter->alerts[0].text, "There is no window under the pointer.");
}

}  // namespace

namespace {

// Recognize Text/QR: the code's content and the text reach the clipboard and the "Copied text" alert; nothing readable says "No text found"; no capture line, file or editor.
TEST_F(CaptureFlow, RecognizedTextGoesToTheClipboardWithItsAlert) {
  auto& recognizer = sim->textRecognizer();
  recognizer.codes = {{.text = "https://example.org", .format = "QRCode", .bounds = QRect(0, 0, 10, 10)}};
  recognizer.text = std::string(130, 'a');
  auto selectAndRelease = [&] {
    engine().perform(CaptureMode::recognizeTextOrQR);
    sim->clock().runPending();
    sim->clock().runPending();
    ASSERT_NE(RegionSession::active(), nullptr);
    QWidget* primary = RegionSession::active()->windows()[0];
    press(primary, {1280 + 100, 900 - 600});
    drag(primary, {1280 + 300, 900 - 500});
    release(primary, {1280 + 300, 900 - 500});
    sim->clock().runUntilIdle();
  };
  selectAndRelease();
  const std::string expected = "https://example.org\n\n" + std::string(130, 'a');
  EXPECT_EQ(sim->pasteboard().text, expected);
  ASSERT_EQ(presenter->alerts.size(), 1u);
  EXPECT_EQ(presenter->alerts[0].title, "Copied text");
  EXPECT_EQ(presenter->alerts[0].text, expected.substr(0, 120) + "\u2026");
  ASSERT_FALSE(recognizer.textImages.empty());
  EXPECT_EQ(recognizer.textImages.back().size(), QSize(200, 100)) << "the selected area, unreduced";

  recognizer.codes.clear();
  recognizer.text.clear();
  selectAndRelease();
  ASSERT_EQ(presenter->alerts.size(), 2u);
  EXPECT_EQ(presenter->alerts[1].title, "No text found");
  EXPECT_EQ(presenter->alerts[1].text, "Try selecting a clearer area.");
  EXPECT_EQ(sim->pasteboard().text, expected) << "nothing found leaves the clipboard alone";
  EXPECT_TRUE(captureLines().empty());
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(shown.empty());
}

}  // namespace
