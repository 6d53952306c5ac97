#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <thread>

#include "EventLoopWait.h"
#include "platform/linux/LibavGifWriter.h"

using namespace vistrel;
using desktop::GifFrameTimeline;

// At most one frame per 7 hundredths; unchanged frames lengthen the last one;
// the last of a burst of changes goes out at its turn, or at the end.
TEST(GifFrameTimeline, KeepsFifteenFramesASecondAndTheLastChange) {
  GifFrameTimeline timeline;
  EXPECT_EQ(timeline.offer(0.0, false).frameAt, 0);  // the first frame, whatever its mark
  auto d = timeline.offer(0.03, true);               // too soon: waits
  EXPECT_TRUE(d.waits);
  EXPECT_FALSE(d.frameAt);
  d = timeline.offer(0.05, true);  // still too soon: replaces the waiting one
  EXPECT_TRUE(d.waits);
  EXPECT_FALSE(d.pendingAt);
  d = timeline.offer(0.1, false);  // the waiting frame goes out at its turn
  EXPECT_EQ(d.pendingAt, 7);
  EXPECT_FALSE(d.frameAt);
  EXPECT_FALSE(d.waits);
  for (int i = 4; i < 60; ++i) {  // two seconds of a still screen
    d = timeline.offer(i / 30.0, false);
    EXPECT_FALSE(d.frameAt || d.pendingAt || d.waits) << i;
  }
  EXPECT_EQ(timeline.offer(2.0, true).frameAt, 200);
  EXPECT_TRUE(timeline.offer(2.03, true).waits);
  d = timeline.offer(2.08, true);  // takes the waiting one's place, at its turn
  EXPECT_EQ(d.frameAt, 207);
  EXPECT_FALSE(d.pendingAt);
  EXPECT_TRUE(timeline.offer(2.1, true).waits);
  EXPECT_EQ(timeline.finish(), 214);  // held back to keep the rate
  EXPECT_EQ(timeline.finish(), std::nullopt);
  EXPECT_EQ(timeline.end(), 221);
}

// A stream of changing frames makes a GIF of the input's size with no frame
// shorter than 70 ms, with the lossless frames file gone afterwards.
TEST(LibavGifWriter, WritesAnAnimatedGif) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("moving.gif").toStdString();
  auto writer = std::make_unique<desktop::LibavGifWriter>(path);
  platform::VideoSettings settings;
  settings.width = 64;
  settings.height = 48;
  ASSERT_TRUE(writer->canAdd(settings));
  writer->add(settings);
  ASSERT_TRUE(writer->startWriting());
  writer->startSession(10.0);
  int appended = 0;
  for (int i = 0; i < 30; ++i) {  // one second at 30 frames a second, a bar moving across
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 48; ++y) image.setPixel(i * 2, y, qRgb(200, 30, 30));
    while (!writer->isReadyForMoreMediaData()) std::this_thread::yield();
    appended += writer->append({image, 10.0 + i / 30.0, true});
  }
  EXPECT_EQ(appended, 30);
  writer->markAsFinished();
  std::atomic<bool> done = false;
  writer->finishWriting([&] { done = true; });
  ASSERT_TRUE(desktop::runEventsUntil([&] { return done.load(); }));
  ASSERT_EQ(writer->status(), platform::MovieWriterStatus::completed) << writer->errorDescription();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"moving.gif"});

  QImageReader reader(QString::fromStdString(path));
  EXPECT_EQ(reader.format(), "gif");
  EXPECT_EQ(reader.size(), QSize(64, 48));
  int frames = 0;
  int total = 0;
  while (reader.canRead() && !reader.read().isNull()) {
    ++frames;
    EXPECT_GE(reader.nextImageDelay(), 70) << frames;
    total += reader.nextImageDelay();
  }
  EXPECT_GE(frames, 13);
  EXPECT_NEAR(total, 1050, 100);
}
