// The editor without a window: gestures, undo, crop, copy, save and keys on
// the sim desktop, under virtual time.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>

#include "editor/EditorState.h"
#include "platform/sim/SimPlatform.h"
#include "support/TempLog.h"

using namespace vistrel;
using platform::KeyEvent;

namespace {

QImage plainPicture(QColor color = Qt::white, int width = 600, int height = 400) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

KeyEvent key(char letter, std::uint64_t modifiers = 0) {
  return {0xFFFF, modifiers, std::string(1, letter)};
}
KeyEvent escape() { return {53, 0, "\x1b"}; }

class EditorFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    sim->defaults().set("vistrel.saveDirectory", folder.path().toStdString());
    shot = std::make_shared<CaptureShot>(CaptureShot::Payload{QUuid::createUuid(), plainPicture(), {}, {}});
    editor = std::make_unique<EditorState>(shot);
    editor->onClose = [this] { ++closes; };
  }

  void drag(EditorTool tool, Point from, Point to, bool shift = false) {
    editor->selectTool(tool);
    editor->dragChanged(from, shift);
    editor->dragChanged(to, shift);
    editor->dragEnded(to, shift);
  }

  sim::ScopedSimPlatform sim;
  vistrel::testing::TempLog log;
  QTemporaryDir folder;
  std::shared_ptr<CaptureShot> shot;
  std::unique_ptr<EditorState> editor;
  int closes = 0;
};

TEST_F(EditorFlow, ShiftLocksLinesToFortyFiveDegreesButNotShapes) {
  const double length = 100;
  const double at30 = 30 * M_PI / 180, at20 = 20 * M_PI / 180;
  drag(EditorTool::line, {100, 100}, {100 + length * std::cos(at30), 100 + length * std::sin(at30)}, true);
  drag(EditorTool::arrow, {100, 100}, {100 + length * std::cos(at20), 100 + length * std::sin(at20)}, true);
  drag(EditorTool::rectangle, {10, 10}, {50, 20}, true);
  drag(EditorTool::arrow, {10, 10}, {11, 11});  // too short: nothing, no history

  ASSERT_EQ(editor->marks().size(), 3u);
  const auto& line = std::get<Markup::Line>(editor->marks()[0]);
  EXPECT_NEAR(line.end.x - 100, length / std::sqrt(2), 1e-9);
  EXPECT_NEAR(line.end.y - 100, length / std::sqrt(2), 1e-9);
  const auto& arrow = std::get<Markup::Arrow>(editor->marks()[1]);
  EXPECT_NEAR(arrow.end.x, 200, 1e-9);
  EXPECT_NEAR(arrow.end.y, 100, 1e-9);
  EXPECT_EQ(std::get<Markup::Rectangle>(editor->marks()[2]).opposite, (Point{50, 20}));
  EXPECT_EQ(editor->history().size(), 3u);
  EXPECT_EQ(std::get<Markup::Line>(editor->marks()[0]).width, 2);  // 600 px wide: max(600/480, 2)
}

TEST_F(EditorFlow, CountersKeepCountingAcrossUndoAndHistoryHoldsForty) {
  editor->selectTool(EditorTool::step);
  EXPECT_TRUE(editor->showCounterMenu());
  editor->chooseCounterSize(CounterSize::large);
  editor->dragEnded({50, 50}, false);
  editor->dragEnded({90, 50}, false);
  EXPECT_EQ(std::get<Markup::Step>(editor->marks()[1]).number, 2);
  editor->undo();
  editor->dragEnded({90, 50}, false);
  EXPECT_EQ(std::get<Markup::Step>(editor->marks().back()).number, 3);

  for (int i = 0; i < 41; ++i) editor->commit(Markup::Blur{Rect(i, 0, 10, 10)});
  int undos = 0;
  while (!editor->history().empty()) {
    editor->undo();
    ++undos;
  }
  EXPECT_EQ(undos, 40);
  EXPECT_EQ(editor->marks().size(), 3u);  // the two counters and the first blur stay
}

TEST_F(EditorFlow, CropBurnsTheItemsInAndUndoBringsThemBack) {
  drag(EditorTool::rectangle, {100, 100}, {200, 150});
  editor->selectTool(EditorTool::crop);
  editor->handleCropStroke({90, 90}, {150, 130}, false, {600, 400}, {90, 90}, {150, 130});
  editor->handleCropStroke({90, 90}, {300, 200}, true, {600, 400}, {90, 90}, {300, 200});
  ASSERT_TRUE(editor->cropRect());
  EXPECT_EQ(editor->statusLabel(), "Enter to crop");

  // Escape first clears the selection; undo does the same without touching history.
  editor->handleKey(escape(), false);
  EXPECT_FALSE(editor->cropRect());
  EXPECT_EQ(closes, 0);
  editor->handleCropStroke({90, 90}, {300, 200}, true, {600, 400}, {90, 90}, {300, 200});
  editor->handleKey({36, 0, "\r"}, false);

  EXPECT_TRUE(editor->marks().empty());
  EXPECT_EQ(editor->picture().size(), QSize(210, 110));
  EXPECT_NE(editor->picture().pixelColor(10, 10), QColor(Qt::white));  // the rectangle's corner at (100,100)
  EXPECT_EQ(shot->payload().image.size(), QSize(210, 110));
  editor->undo();
  EXPECT_EQ(editor->picture().size(), QSize(600, 400));
  EXPECT_EQ(editor->marks().size(), 1u);

  const std::vector<std::string> lines = log.messages();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "crop tool-on stamp=L40");
  EXPECT_EQ(lines[1], "crop drag-begin layout=600.0x400.0 view=90.0,90.0 px=600x400 at=90.0,90.0");
  EXPECT_EQ(lines[2],
            "crop select px=90.0,90.0 210.0x110.0 origin=90.0,90.0 end=300.0,200.0 viewStart=90.0,90.0 "
            "viewEnd=300.0,200.0 layout=600.0x400.0");
  EXPECT_EQ(lines[5], "crop apply in=600x400 rect=90.0,90.0 210.0x110.0 stamp=L40");
  EXPECT_EQ(lines[6], "crop apply-ok out=210x110");
}

TEST_F(EditorFlow, CopiesOnceUntilSomethingChangesAndEscapeCopiesAndCloses) {
  auto& board = sim->pasteboard();
  editor->handleKey({48, 0, "\t"}, false);
  editor->copyImage();
  EXPECT_EQ(board.changeCount, 2);  // cleared, then the picture
  EXPECT_EQ(editor->statusLabel(), "Copied");
  sim->clock().advance(0.9);
  EXPECT_EQ(editor->statusLabel(), "Esc copies");

  editor->cycleBackdrop();
  editor->copyImage();
  EXPECT_EQ(board.changeCount, 4);
  EXPECT_EQ(board.picture->size(), QSize(744, 544));  // framed by the backdrop

  drag(EditorTool::oval, {10, 10}, {60, 60});
  editor->handleKey(escape(), false);
  EXPECT_EQ(board.changeCount, 6);
  EXPECT_EQ(closes, 1);
}

TEST_F(EditorFlow, SavesAnOpaqueShotAsJpegThenOverwritesIt) {
  sim->defaults().setString("vistrel.capture.saveFormat", "auto");
  editor->handleKey(key('s', KeyEvent::kControl), false);
  const QStringList files = QDir(folder.path()).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(files[0].startsWith("Vistrel-") && files[0].endsWith(".jpg")) << files[0].toStdString();
  EXPECT_EQ(editor->statusLabel(), "Saved");

  drag(EditorTool::arrow, {10, 10}, {100, 100});
  editor->handleKey(key('s', KeyEvent::kCommand), false);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), files);
  EXPECT_EQ(editor->savedName(), files[0].toStdString());
  sim->clock().advance(1.4);
  EXPECT_FALSE(editor->saveNote());


  shot->setPayload({QUuid::createUuid(), plainPicture(), "/nonexistent/Vistrel-2.png", {}});
  editor->saveImage();
  EXPECT_EQ(editor->statusLabel(), "Save failed");
  EXPECT_EQ(editor->savedURL(), "/nonexistent/Vistrel-2.png");
}

TEST_F(EditorFlow, KeysFollowTheTableAndTypingNeverSwitchesTools) {
  drag(EditorTool::arrow, {10, 10}, {100, 100});
  drag(EditorTool::arrow, {10, 10}, {200, 100});
  EXPECT_FALSE(editor->handleKey(key('z', KeyEvent::kControl | KeyEvent::kShift), false));
  EXPECT_TRUE(editor->handleKey(key('z', KeyEvent::kControl), false));
  EXPECT_TRUE(editor->handleKey(key('z', KeyEvent::kCommand), false));
  EXPECT_TRUE(editor->marks().empty());

  EXPECT_TRUE(editor->handleKey(key('T'), false));
  EXPECT_EQ(editor->tool(), EditorTool::text);
  editor->dragEnded({30, 40}, false);
  EXPECT_TRUE(editor->textFocused());
  EXPECT_FALSE(editor->handleKey(key('r'), true));
  EXPECT_EQ(editor->tool(), EditorTool::text);
  editor->setTextValue("  \n");
  editor->commitText();
  EXPECT_TRUE(editor->marks().empty());
  EXPECT_FALSE(editor->textAnchor());

  editor->dragEnded({30, 40}, false);
  editor->setTextValue(" Hello ");
  editor->commitText();
  ASSERT_EQ(editor->marks().size(), 1u);
  EXPECT_EQ(std::get<Markup::Text>(editor->marks()[0]).string, "Hello");

  EXPECT_FALSE(editor->handleKey(key('x'), false));
  EXPECT_FALSE(editor->handleKey(key('r', KeyEvent::kOption), false));
  EXPECT_TRUE(editor->handleKey(key('k'), false));
  EXPECT_EQ(editor->backdrop(), BackdropStyle::light);
}

TEST_F(EditorFlow, ColourPickPutsTheHexOnTheClipboardAndRemembersTheInk) {
  shot->setPayload({QUuid::createUuid(), plainPicture(QColor(255, 59, 48)), {}, {}});
  editor->selectTool(EditorTool::pick);
  editor->dragEnded({700, 10}, false);  // outside: nothing
  EXPECT_FALSE(sim->pasteboard().text);
  editor->dragEnded({5, 5}, false);
  EXPECT_EQ(sim->pasteboard().text, "#FF3B30");
  EXPECT_EQ(editor->statusLabel(), "#FF3B30");
  EXPECT_EQ(sim->defaults().string("vistrel.ink"), "#FF3B30");
  sim->clock().advance(0.9);
  EXPECT_EQ(editor->statusLabel(), "Click a pixel");
}

TEST_F(EditorFlow, ANewCaptureClearsTheDocumentButKeepsToolInkAndBackdrop) {
  editor->setInk({0, 0, 1, 1});
  editor->cycleBackdrop();
  drag(EditorTool::highlight, {10, 10}, {80, 40});
  ASSERT_EQ(editor->marks().size(), 1u);

  shot->setPayload({QUuid::createUuid(), plainPicture(Qt::black, 300, 200), "/tmp/x/Vistrel-1.png", {}});
  EXPECT_TRUE(editor->marks().empty());
  EXPECT_TRUE(editor->history().empty());
  EXPECT_EQ(editor->picture().size(), QSize(300, 200));
  EXPECT_EQ(editor->savedName(), "Vistrel-1.png");
  EXPECT_EQ(editor->tool(), EditorTool::highlight);
  EXPECT_EQ(editor->ink(), (MarkupColor{0, 0, 1, 1}));
  EXPECT_EQ(editor->backdrop(), BackdropStyle::light);
}

}  // namespace
