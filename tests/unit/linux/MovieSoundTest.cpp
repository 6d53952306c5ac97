#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QImage>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

#include "EventLoopWait.h"
#include "platform/linux/LibavMovieWriter.h"

using namespace vistrel;

namespace {

// The time in the file of the first decoded sample louder than `level`, or none.
std::optional<double> firstLoud(const std::string& path, float level) {
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
  std::optional<double> found;
  avformat_find_stream_info(input, nullptr);
  const int index = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  const AVCodec* codec = index >= 0 ? avcodec_find_decoder(input->streams[index]->codecpar->codec_id) : nullptr;
  AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (decoder && avcodec_parameters_to_context(decoder, input->streams[index]->codecpar) >= 0 &&
      avcodec_open2(decoder, codec, nullptr) >= 0) {
    const AVRational base = input->streams[index]->time_base;
    while (!found && av_read_frame(input, packet) >= 0) {
      if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) {
        while (!found && avcodec_receive_frame(decoder, frame) >= 0) {
          const auto* left = reinterpret_cast<const float*>(frame->extended_data[0]);  // planar float
          for (int i = 0; i < frame->nb_samples && !found; ++i) {
            if (std::abs(left[i]) > level) found = double(frame->pts) * av_q2d(base) + double(i) / frame->sample_rate;
          }
        }
      }
      av_packet_unref(packet);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return found;
}

}  // namespace

// A sound card whose clock runs 1 % slow against the frames' clock (1 % is
// 6 s in 10 minutes) still has its sound where the frames' clock says after
// a minute: the writer follows the chunks' times, not their sample counts.
TEST(LibavMovieWriterSound, SoundStaysWithTheFramesClock) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("sound.mp4").toStdString();
  desktop::LibavMovieWriter writer(path);
  platform::VideoSettings video;
  video.width = 64;
  video.height = 48;
  video.averageBitRate = 200'000;
  video.maxKeyFrameInterval = 30;
  writer.add(video);
  ASSERT_TRUE(writer.addAudio({}));
  ASSERT_TRUE(writer.startWriting());
  const double origin = 100;
  writer.startSession(origin);

  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::gray);
  constexpr int kChunk = 960;          // 20 ms of samples
  constexpr double kStep = 0.02 * 1.01;  // the real time those samples took
  constexpr int kToneChunk = 2475;     // at 49.995 s on the frames' clock
  std::vector<float> silence(kChunk * 2, 0.0f);
  std::vector<float> tone(kChunk * 2);
  for (int i = 0; i < kChunk; ++i) tone[2 * i] = tone[2 * i + 1] = float(0.8 * std::sin(i * 2 * M_PI * 1000 / 48000));
  int frame = 0;
  for (int chunk = 0; chunk < 3000; ++chunk) {
    const double time = origin + chunk * kStep;
    for (; origin + frame / 30.0 <= time; ++frame) {
      while (!writer.isReadyForMoreMediaData()) std::this_thread::yield();
      ASSERT_TRUE(writer.append({picture, origin + frame / 30.0, frame == 0}));
    }
    writer.appendAudio(0, (chunk == kToneChunk ? tone : silence).data(), kChunk, time);
  }
  writer.markAsFinished();
  std::atomic<bool> done = false;
  writer.finishWriting([&] { done = true; });
  ASSERT_TRUE(desktop::runEventsUntil([&] { return done.load(); }, 60000));
  ASSERT_EQ(writer.status(), platform::MovieWriterStatus::completed) << writer.errorDescription();

  const auto heard = firstLoud(path, 0.3f);
  ASSERT_TRUE(heard);
  EXPECT_NEAR(*heard, kToneChunk * kStep, 0.02);  // uncorrected, it would be at 49.5 s
}
