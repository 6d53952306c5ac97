#pragma once
// An MPEG-4 file with one H.264 video track, written from stream frames as
// they come. The calls follow the life of the file: add the input, start
// writing, start the session at the first frame's time, append frames while
// the writer is ready for more, mark the input finished, finish writing.
//
// Everything but finishWriting's completion is called by one thread at a
// time (the caller serialises); the encoding itself runs on a thread of the
// writer's own.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/DisplayStream.h"

namespace vistrel::platform {

// The raw values are those of the movie-writing status the product logs.
enum class MovieWriterStatus : int {
  unknown = 0,    // not started
  writing = 1,
  completed = 2,  // finished: the file is whole
  failed = 3,     // an error ended the file; what was written before stays readable where the format allows
  cancelled = 4,
};

struct VideoSettings {
  int width = 0;   // even
  int height = 0;  // even
  std::int64_t averageBitRate = 0;  // bits per second
  int maxKeyFrameInterval = 0;      // frames between key frames, at most
  bool expectsMediaDataInRealTime = true;
};

// Sound beside the video: `sources` streams of 48 kHz stereo float samples,
// mixed into one AAC track.
struct AudioSettings {
  int sources = 1;
  int sampleRate = 48000;
  int channels = 2;
  std::int64_t bitRate = 128000;
};

class MovieWriter {
 public:
  virtual ~MovieWriter() = default;

  // Whether a video input with these settings can be added (the encoder exists and takes the size).
  virtual bool canAdd(const VideoSettings& settings) const = 0;
  virtual void add(const VideoSettings& settings) = 0;
  // A sound track, after add and before startWriting; false when this writer
  // takes no sound (the default) or the encoder cannot be made.
  virtual bool addAudio(const AudioSettings& settings) {
    (void)settings;
    return false;
  }

  // Creates the file and the encoder; false (status failed) when either cannot be made.
  virtual bool startWriting() = 0;
  // The file's time zero: the stream time of the first frame.
  virtual void startSession(double sourceTime) = 0;
  // False while the encoder is busy: a frame offered now would wait, so the caller drops it.
  virtual bool isReadyForMoreMediaData() const = 0;
  // Takes the frame (sized like the input; another size is scaled). False when refused.
  virtual bool append(const StreamFrame& frame) = 0;
  // `frames` interleaved sample frames of sound source `source`, the first
  // at stream time `time` (the clock of the video frames). Any thread; sound
  // before the session's start, or while not writing, is dropped.
  virtual void appendAudio(int source, const float* samples, int frames, double time) {
    (void)source, (void)samples, (void)frames, (void)time;
  }
  // Source `source` gives no more sound: the others go on without it.
  virtual void endAudio(int source) { (void)source; }
  // No frame follows.
  virtual void markAsFinished() = 0;
  // Encodes what is queued and closes the file; `completion` then runs once,
  // on any thread, with the final status in place.
  virtual void finishWriting(std::function<void()> completion) = 0;

  virtual MovieWriterStatus status() const = 0;
  // What went wrong, for a failed writer; empty otherwise.
  virtual std::string errorDescription() const = 0;
};

}  // namespace vistrel::platform
