#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "../capture/OverlayFixture.h"
#include "permissions/ScreenRecordingAccess.h"
#include "recording/ClickRings.h"
#include "recording/RecordSession.h"
#include "recording/RecordingEngine.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

class RecordingFlow : public OverlayFlow {
 protected:
  void SetUp() override {
    OverlayFlow::SetUp();
    ScreenRecordingAccess::resetForTesting();
    sim->defaults().set("vistrel.saveDirectory", folder.path().toStdString());
    presenter = std::make_shared<AnsweringPresenter>();
    engine().setAlertPresenter(presenter);
    engine().refreshMenuBarIcon = [this] { iconStates.push_back(engine().isRecording()); };
  }
  void TearDown() override {
    engine().stop();
    sim->clock().advance(1);
    OverlayFlow::TearDown();
    engine().refreshMenuBarIcon = nullptr;
    engine().setAlertPresenter(nullptr);
  }
  static RecordingEngine& engine() { return RecordingEngine::shared(); }
  // One display of 1440x900 points at two pixels a point; " display=<its number>".
  std::string retinaDisplay() {
    sim->screens().removeAll();
    return " display=" + std::to_string(sim->screens().addScreen(Rect(0, 0, 1440, 900), Rect(0, 0, 1440, 875), 2.0));
  }
  QStringList files() const { return QDir(folder.path()).entryList(QDir::Files); }
  std::vector<std::string> recordLines() const {
    std::vector<std::string> lines;
    for (const auto& line : tempLog.messages()) {
      if (line.rfind("record ", 0) == 0) lines.push_back(line);
    }
    return lines;
  }
  sim::SimRecording& recording() { return sim->recording(); }

  // A session started directly on a region, recorded for a few frames and finished; its start line.
  std::string recordArea(Rect region) {
    const std::size_t before = recordLines().size();
    auto started = start(RecordSession::start(region));
    EXPECT_TRUE(started->done && started->value) << "the session did not start";
    if (!started->value) return {};
    sim->clock().advance(0.1);
    auto finished = start((*started->value)->finish());
    sim->clock().advance(0.1);
    EXPECT_TRUE(finished->done);
    const auto lines = recordLines();
    return lines.size() > before ? lines[before] : std::string();
  }

  QTemporaryDir folder;
  std::shared_ptr<AnsweringPresenter> presenter;
  std::vector<bool> iconStates;  // isRecording at each icon refresh
};

// A whole 1440x900 display at scale 2 records 2880x1800 at 20,736,000 b/s from the first frame's time; the toggle again stops at once, and the finished file is revealed.
TEST_F(RecordingFlow, WholeDisplayRecordsAtPixelSizeAndTheToggleStopsIt) {
  const std::string display = retinaDisplay();
  engine().toggleScreen();
  engine().toggleScreen();  // still starting: not a second session
  sim->clock().advance(0.2);
  ASSERT_TRUE(engine().isRecording());
  EXPECT_EQ(iconStates, std::vector<bool>{true});
  ASSERT_EQ(recordLines(), std::vector<std::string>{"record start mode=screen screen=(0,0 1440x900) cocoa=nil "
                                                    "pixelCrop=nil stream=2880x1800 out=2880x1800" + display});
  ASSERT_EQ(recording().streamStarts.size(), 1u);
  const auto& stream = recording().streamStarts[0].configuration;
  EXPECT_DOUBLE_EQ(stream.minimumFrameInterval, 1.0 / 30);
  EXPECT_EQ(stream.queueDepth, 6);
  EXPECT_TRUE(stream.capture.showsCursor);
  ASSERT_EQ(recording().movies.size(), 1u);
  const auto movie = recording().movies[0];
  ASSERT_TRUE(movie->settings);
  EXPECT_EQ(movie->settings->width, 2880);
  EXPECT_EQ(movie->settings->height, 1800);
  EXPECT_EQ(movie->settings->averageBitRate, 20'736'000);
  EXPECT_EQ(movie->settings->maxKeyFrameInterval, 30);
  ASSERT_GE(movie->frameTimes.size(), 5u);
  EXPECT_EQ(movie->sessionStart, movie->frameTimes.front());
  EXPECT_EQ(movie->lastFrame.size(), QSize(2880, 1800));
  EXPECT_TRUE(QRegularExpression("^Vistrel-\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\.mp4$")
                  .match(QFileInfo(QString::fromStdString(movie->path)).fileName())
                  .hasMatch())
      << movie->path;

  engine().toggleScreen();
  EXPECT_FALSE(engine().isRecording()) << "stopping returns at once";
  EXPECT_EQ(iconStates, (std::vector<bool>{true, false}));
  sim->clock().advance(0.1);
  EXPECT_EQ(recording().runningStreams, 0);
  const std::string name = QFileInfo(QString::fromStdString(movie->path)).fileName().toStdString();
  const auto lines = recordLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "record stop-ok frames=" + std::to_string(movie->frameTimes.size()) + " file=" + name);
  EXPECT_TRUE(movie->markedFinished);
  EXPECT_EQ(files(), QStringList{QString::fromStdString(name)});
  EXPECT_EQ(sim->workspace().revealed, std::vector<std::vector<std::string>>{{movie->path}});
  EXPECT_TRUE(presenter->alerts.empty());
}

// Area sizes at scale 2: 100x50 points give 200x100 at the 2,000,000 b/s floor; 301 pixels wide give 300;
// an area 2 points wide records the whole display. The crop is the area's pixels.
TEST_F(RecordingFlow, AreaRecordingsCropToEvenSizes) {
  const std::string display = retinaDisplay();
  EXPECT_EQ(recordArea(Rect(100, 500, 100, 50)),
            "record start mode=area screen=(0,0 1440x900) cocoa=(100,500 100x50) pixelCrop=(200,700 200x100) "
            "stream=2880x1800 out=200x100" + display);
  auto movie = recording().movies.back();
  EXPECT_EQ(movie->settings->averageBitRate, 2'000'000);
  const QImage screen = sim->screenCapture().displayPicture(sim->screens().screens()[0]);
  EXPECT_EQ(movie->lastFrame, screen.copy(200, 700, 200, 100));

  EXPECT_EQ(recordArea(Rect(10, 10, 150.5, 40)),
            "record start mode=area screen=(0,0 1440x900) cocoa=(10,10 150x40) pixelCrop=(20,1700 301x80) "
            "stream=2880x1800 out=300x80" + display);
  movie = recording().movies.back();
  EXPECT_EQ(movie->settings->width, 300);
  EXPECT_EQ(movie->lastFrame, screen.copy(20, 1700, 300, 80)) << "the odd column on the right is left off";

  EXPECT_EQ(recordArea(Rect(700, 300, 2, 400)),
            "record start mode=area screen=(0,0 1440x900) cocoa=(700,300 2x400) pixelCrop=(0,0 0x0) "
            "stream=2880x1800 out=2880x1800" + display);
  movie = recording().movies.back();
  EXPECT_EQ(movie->settings->width, 2880);
  EXPECT_EQ(movie->lastFrame.size(), QSize(2880, 1800));
}

// Show clicks on a display at two pixels a point, in an area 200 points from
// its left: a left click's amber ring is centred on the pointer's pixel in
// the area's frames, a right click's blue one on its own; both are gone half
// a second later.
TEST_F(RecordingFlow, ShowClicksRingsTheClickedPixel) {
  retinaDisplay();
  sim->defaults().setBool(ClickRings::kShowClicksKey, true);
  auto started = start(RecordSession::start(Rect(100, 400, 200, 150)));  // pixels (200,700) 400x300
  ASSERT_TRUE(started->done && started->value);
  sim->clock().advance(0.1);
  const auto movie = recording().movies.back();
  // The pixels of one colour, as their bounding box in the frame; empty when none.
  const auto where = [&](auto is) {
    QRect box;
    const QImage frame = movie->lastFrame.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x)
        if (is(QColor(frame.pixel(x, y)))) box |= QRect(x, y, 1, 1);
    return box;
  };
  const auto amber = [](QColor c) { return c.red() > 200 && c.green() > 140 && c.green() < 230 && c.blue() < 90; };
  const auto blue = [](QColor c) { return c.red() < 90 && c.green() > 100 && c.green() < 190 && c.blue() > 200; };
  ASSERT_TRUE(sim->eventMonitors().clicks) << "no watch of the clicks";

  sim->screens().mouse = Point(150, 475);  // pixel (100, 150) of the area
  sim->eventMonitors().clicks(platform::PointerButton::left);
  sim->clock().advance(0.1);
  QRect ring = where(amber);
  ASSERT_FALSE(ring.isEmpty());
  EXPECT_NEAR(ring.center().x(), 100, 2);
  EXPECT_NEAR(ring.center().y(), 150, 2);
  EXPECT_GT(ring.width(), 20) << "a ring two pixels a point, not a dot";
  EXPECT_TRUE(where(blue).isEmpty());

  sim->clock().advance(0.5);
  sim->screens().mouse = Point(250, 425);  // pixel (300, 250)
  sim->eventMonitors().clicks(platform::PointerButton::right);
  sim->clock().advance(0.1);
  EXPECT_TRUE(where(amber).isEmpty()) << "the left click's ring is over";
  ring = where(blue);
  ASSERT_FALSE(ring.isEmpty());
  EXPECT_NEAR(ring.center().x(), 300, 2);
  EXPECT_NEAR(ring.center().y(), 250, 2);

  sim->clock().advance(0.6);
  EXPECT_TRUE(where(blue).isEmpty());
  start((*started->value)->finish());
  sim->clock().advance(0.1);
  EXPECT_FALSE(sim->eventMonitors().clicks) << "the watch ends with the recording";
}

// An area recording stopped by the screen toggle before any frame came: the two failure lines, no file, nothing revealed.
TEST_F(RecordingFlow, ScreenToggleStopsAnAreaRecordingAndNoFrameMeansNoFile) {
  recording().framesFlow = false;
  engine().toggleArea();
  sim->clock().runPending();
  sim->clock().runPending();
  auto* session = RegionSession::active();
  ASSERT_NE(session, nullptr);
  QWidget* primary = session->windows()[0];
  press(primary, {1280 + 100, 900 - 600});
  drag(primary, {1280 + 300, 900 - 500});
  release(primary, {1280 + 300, 900 - 500});
  sim->clock().advance(0.5);
  ASSERT_TRUE(engine().isRecording());

  engine().toggleScreen();
  EXPECT_FALSE(engine().isRecording());
  sim->clock().advance(0.1);
  const auto lines = recordLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "record start mode=area screen=(0,0 1440x900) cocoa=(100,500 200x100) "
                      "pixelCrop=(100,300 200x100) stream=1440x900 out=200x100 display=1");
  EXPECT_EQ(lines[1], "record finish-failed status=0 frames=0");
  EXPECT_EQ(lines[2], "record stop-failed no-file");
  EXPECT_FALSE(recording().movies[0]->finishWritingCalled) << "a writer that never started takes no finishing steps";
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(sim->workspace().revealed.empty());
  EXPECT_TRUE(presenter->alerts.empty());
}

// A writer that fails mid-recording (a full disk) ends the recording through the failed finish; a writer that
// cannot be made fails the start with its description and the "Record failed" alert.
TEST_F(RecordingFlow, WriterFailuresEndOrRefuseTheRecording) {
  recording().writerFailsAfterFrames = 3;
  engine().toggleScreen();
  sim->clock().advance(0.5);
  EXPECT_FALSE(engine().isRecording()) << "the recording ended by itself";
  EXPECT_EQ(iconStates, (std::vector<bool>{true, false}));
  auto lines = recordLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "record finish-failed status=3 frames=3");
  EXPECT_EQ(lines[2], "record stop-failed no-file");
  EXPECT_TRUE(sim->workspace().revealed.empty());

  recording().writerCreationFailure = "The disk is full.";
  engine().toggleScreen();
  sim->clock().advance(0.5);
  EXPECT_FALSE(engine().isRecording());
  lines = recordLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "record start-failed The disk is full.");
  ASSERT_EQ(presenter->alerts.size(), 1u);
  EXPECT_EQ(presenter->alerts[0].title, "Record failed");
  EXPECT_EQ(presenter->alerts[0].text, "The disk is full.");
  EXPECT_EQ(recording().runningStreams, 0);
}

}  // namespace
