#pragma once
// MPEG-4 movies with H.264 through FFmpeg's libraries and libx264. Frames
// are queued by append() and converted (libyuv, BGRA to I420) and encoded on
// a thread of the writer's own, so the capture keeps its pace; the writer is
// not ready for more while three frames wait.
//
// The file is fragmented MP4: a fragment is written at every key frame, and
// at least once a second of movie time, so a program killed mid-recording
// leaves a file that plays up to its last whole fragment. A frame marked
// unchanged is not encoded: the previous one lasts longer instead (variable
// frame rate), except that a still screen is encoded once a second to keep
// fragments coming. Packets are written one behind the encoder, when the
// next one tells how long each lasts.
//
// Sound, when added, is AAC in the same file. Each source's samples are laid
// on the video's timeline by their stream times: contiguous while their
// clock agrees with the frames' within 10 ms, else cut or padded with
// silence to agree again, so the two cannot drift apart. Sources are mixed
// by summing; the encoder thread encodes what every live source has given.

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/MovieWriter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace vistrel::desktop {

// The x264 settings that the measurements chose (bench/RecordEncodeBench.cpp);
// the benchmark tries others. The ultrafast preset alone gives Constrained
// Baseline; with the 8x8 transform (High profile's tool) it gives High, at
// about half the processor time of superfast, the fastest preset that is
// High by itself. CABAC packs about a tenth more picture into the bit rate
// for about a tenth more time: taken up to 1920x1200, left out above, where
// two cores would not keep 30 frames a second of a busy screen with it.
// zerolatency costs about 5 % more than frame threads but hands every packet
// out at once: with frame threads a still screen's once-a-second frames
// reach the file seconds late, and a kill loses them.
struct EncoderTuning {
  std::string preset = "ultrafast";
  std::string tune = "zerolatency";       // or empty: frame threads
  std::string x264Params = "8x8dct=1";    // extra "key=value:..." for x264
  int cabacUpToPixels = 1920 * 1200;      // 0: never
  int threads = 0;                        // 0: x264 decides
};

class LibavMovieWriter : public platform::MovieWriter {
 public:
  explicit LibavMovieWriter(std::string path, EncoderTuning tuning = {});
  ~LibavMovieWriter() override;

  bool canAdd(const platform::VideoSettings& settings) const override;
  void add(const platform::VideoSettings& settings) override;
  bool startWriting() override;
  bool addAudio(const platform::AudioSettings& settings) override;
  void startSession(double sourceTime) override;
  void appendAudio(int source, const float* samples, int frames, double time) override;
  void endAudio(int source) override;
  bool isReadyForMoreMediaData() const override;
  bool append(const platform::StreamFrame& frame) override;
  void markAsFinished() override;
  void finishWriting(std::function<void()> completion) override;
  platform::MovieWriterStatus status() const override { return status_.load(); }
  std::string errorDescription() const override;

 private:
  // What the writer did, written to stderr when the file is closed.
  struct Counts {
    long appended = 0;
    long encoded = 0;    // frames given to the encoder (still-screen refreshes included)
    long extended = 0;   // unchanged frames that lengthened the previous one
    long refused = 0;    // frames offered while not ready
  };

  struct Item {
    QImage image;
    double time = 0;
    bool changed = true;
  };

  // Makes the encoder and the file's description; false (the reason kept) when it cannot be.
  bool prepare();
  void run();
  void encode(Item& item);
  bool sendFrame(AVFrame* frame);  // frame null: drain the encoder
  bool writePacket(AVPacket* packet);
  // Writes the packet held back, lasting until `endPts`.
  bool writeHeld(std::int64_t endPts);
  void fail(const std::string& what, int error);
  void closeFile(bool remove);
  std::int64_t ptsOf(double time) const;
  // Encodes the sound every live source has given, in whole AAC frames; `last`: all of it.
  bool encodeAudio(bool last);
  bool sendAudio(AVFrame* frame);  // frame null: drain the encoder

  // One source's samples not yet encoded, interleaved, from position `start`
  // (samples from the session's start; -1 before the first).
  struct SoundTrack {
    std::vector<float> samples;
    std::int64_t start = -1;
    bool ended = false;
  };

  std::string path_;
  EncoderTuning tuning_;
  platform::VideoSettings settings_;
  double origin_ = 0;
  bool prepared_ = false;
  std::atomic<platform::MovieWriterStatus> status_{platform::MovieWriterStatus::unknown};

  platform::AudioSettings audioSettings_;
  bool hasAudio_ = false;
  AVCodecContext* audioCodec_ = nullptr;
  AVStream* audioStream_ = nullptr;
  AVFrame* audioFrame_ = nullptr;
  AVPacket* audioPacket_ = nullptr;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVStream* stream_ = nullptr;
  AVFrame* picture_ = nullptr;  // the last frame converted, kept for unchanged frames
  AVPacket* held_ = nullptr;    // written when the next packet arrives
  AVPacket* received_ = nullptr;
  bool holding_ = false;
  QImage scaled_;  // frames of another size, scaled to the input's
  std::int64_t lastPts_ = -1;          // of the last frame encoded
  std::int64_t lastTimePts_ = 0;       // of the last frame appended, encoded or not
  std::int64_t lastStep_ = 0;          // between the last two frames appended
  std::int64_t fragmentStart_ = 0;     // pts of the first packet of the fragment being built
  std::int64_t wholeSize_ = 0;         // bytes of the file up to its last whole fragment

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<Item> queue_;
  bool sessionStarted_ = false;
  std::vector<SoundTrack> tracks_;
  std::int64_t audioEncoded_ = 0;  // position of the next sample to encode
  bool audioWaiting_ = false;
  bool inputFinished_ = false;
  bool finishing_ = false;
  std::function<void()> completion_;
  std::string error_;
  Counts counts_;
  std::thread thread_;
};

}  // namespace vistrel::desktop
