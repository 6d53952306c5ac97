#pragma once
// Recording on the simulated desktop. A stream ticks on the virtual clock
// and hands out the display's picture as the simulated capture shows it (on
// the main thread: the clock is the stream's queue). A writer keeps what it
// was asked in a record the test reads, and writes a small stand-in file
// when it finishes.

#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/DisplayStream.h"
#include "platform/MovieWriter.h"
#include "platform/sim/SimScreenCapture.h"
#include "platform/sim/VirtualClock.h"

namespace vistrel::sim {

// What one writer was asked to do.
struct SimMovie {
  std::string path;
  std::optional<platform::VideoSettings> settings;  // once the input was added
  std::optional<double> sessionStart;
  std::vector<double> frameTimes;  // of the frames appended, in order
  QImage lastFrame;
  bool markedFinished = false;
  bool finishWritingCalled = false;
  platform::MovieWriterStatus status = platform::MovieWriterStatus::unknown;
};

// What one stream was started with.
struct SimStreamStart {
  std::uint32_t displayID = 0;
  platform::StreamConfiguration configuration;
};

class SimRecording {
 public:
  SimRecording(VirtualClock& clock, SimScreenCapture& capture) : clock_(clock), capture_(capture) {}

  std::unique_ptr<platform::DisplayStream> makeStream();
  platform::CaptureResult<std::unique_ptr<platform::MovieWriter>> makeWriter(const std::string& path);

  // Test controls.
  bool framesFlow = true;  // false: started streams deliver nothing
  std::optional<std::string> streamStartFailure;
  std::optional<std::string> writerCreationFailure;
  bool writerStartFails = false;
  // The writer fails on the frame after this many (a disk that fills up).
  std::optional<int> writerFailsAfterFrames;

  std::vector<std::shared_ptr<SimMovie>> movies;  // every writer made, in order
  std::vector<SimStreamStart> streamStarts;
  int runningStreams = 0;

 private:
  VirtualClock& clock_;
  SimScreenCapture& capture_;
};

}  // namespace vistrel::sim
