#include "platform/linux/LibavMovieWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <libyuv/convert.h>
#include <libyuv/scale_argb.h>
#include <pthread.h>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/linux/LibavEncoding.h"
#include "platform/linux/ProcessMemory.h"

namespace vistrel::desktop {

namespace {

using platform::MovieWriterStatus;

constexpr AVRational kTimeBase{1, 90000};
constexpr std::int64_t kTicksPerSecond = 90000;
// Frames waiting for the encoder before the writer says it is busy: enough
// to ride out a moment without the processor, and with the frame being
// encoded, the stream's last and the one being read, the stream's six buffers.
constexpr std::size_t kWaiting = 3;
// A still screen is encoded again this often, and a fragment is cut at least
// this often: what a killed recording can lose.
constexpr std::int64_t kRefreshTicks = kTicksPerSecond;
// The step assumed for the last frame when only one was appended: a frame at 30 per second.
constexpr std::int64_t kDefaultStep = kTicksPerSecond / 30;

const char* kEncoderName = "libx264";

}  // namespace

LibavMovieWriter::LibavMovieWriter(std::string path, EncoderTuning tuning)
    : path_(std::move(path)), tuning_(std::move(tuning)) {
  // x264's statistics at every close are no news; warnings and errors still reach stderr.
  av_log_set_level(AV_LOG_WARNING);
}

LibavMovieWriter::~LibavMovieWriter() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
    queue_.clear();
    completion_ = nullptr;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  closeFile(false);
  av_packet_free(&audioPacket_);
  av_frame_free(&audioFrame_);
  avcodec_free_context(&audioCodec_);
  av_packet_free(&held_);
  av_packet_free(&received_);
  av_frame_free(&picture_);
  avcodec_free_context(&codec_);
  avformat_free_context(format_);
  // The encoder's threads have ended, leaving tens of megabytes of frames free.
  ProcessMemory::releaseFree();
}

bool LibavMovieWriter::canAdd(const platform::VideoSettings& settings) const {
  // x264 takes 4:2:0 pictures of even sizes up to its level limits.
  const bool sized = settings.width >= 2 && settings.height >= 2 && settings.width % 2 == 0 &&
                     settings.height % 2 == 0 && settings.width <= 16384 && settings.height <= 16384;
  return sized && settings.averageBitRate > 0 && avcodec_find_encoder_by_name(kEncoderName) != nullptr;
}

void LibavMovieWriter::fail(const std::string& what, int error) {
  std::lock_guard lock(mutex_);
  if (error_.empty()) error_ = what + (error ? ": " + libav::errorText(error) : std::string());
  // Before writing starts a failure is only remembered: the status changes when writing is asked for.
  if (status_ != MovieWriterStatus::unknown || prepared_) status_ = MovieWriterStatus::failed;
  qWarning("vistrel x11: the recording %s failed: %s", path_.c_str(), error_.c_str());
}

std::string LibavMovieWriter::errorDescription() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void LibavMovieWriter::add(const platform::VideoSettings& settings) {
  settings_ = settings;
  // The encoder is made now, while the recording starts, rather than by the
  // first frame: opening it takes longer than a frame's interval.
  prepared_ = prepare();
}

bool LibavMovieWriter::prepare() {
  if (!canAdd(settings_)) {
    fail("cannot encode " + std::to_string(settings_.width) + "x" + std::to_string(settings_.height), 0);
    return false;
  }
  const AVCodec* encoder = avcodec_find_encoder_by_name(kEncoderName);
  int error = avformat_alloc_output_context2(&format_, nullptr, "mp4", path_.c_str());
  if (error < 0) return fail("cannot make an MPEG-4 writer", error), false;
  stream_ = avformat_new_stream(format_, nullptr);
  codec_ = avcodec_alloc_context3(encoder);
  picture_ = av_frame_alloc();
  held_ = av_packet_alloc();
  received_ = av_packet_alloc();
  if (!stream_ || !codec_ || !picture_ || !held_ || !received_) return fail("out of memory", 0), false;

  codec_->width = settings_.width;
  codec_->height = settings_.height;
  codec_->pix_fmt = AV_PIX_FMT_YUV420P;
  codec_->time_base = kTimeBase;
  // Time stamps carry the real timing; the rate tells x264 what to plan for.
  codec_->framerate = {30, 1};
  codec_->gop_size = settings_.maxKeyFrameInterval;
  // No reordering: packets leave in presentation order, one frame behind at most.
  codec_->max_b_frames = 0;
  // An average rate with a one-second buffer at that rate: the file grows with the rate, not with the content.
  codec_->bit_rate = settings_.averageBitRate;
  codec_->rc_max_rate = settings_.averageBitRate;
  codec_->rc_buffer_size = int(std::min<std::int64_t>(settings_.averageBitRate, INT32_MAX));
  // libyuv's ARGBToI420 is BT.601 in studio range; say so, or players take HD video for BT.709.
  codec_->color_range = AVCOL_RANGE_MPEG;
  codec_->colorspace = AVCOL_SPC_SMPTE170M;
  codec_->color_primaries = AVCOL_PRI_BT709;
  codec_->color_trc = AVCOL_TRC_IEC61966_2_1;
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", tuning_.preset.c_str(), 0);
  if (!tuning_.tune.empty()) av_dict_set(&options, "tune", tuning_.tune.c_str(), 0);
  av_dict_set(&options, "profile", "high", 0);
  // Key frames exactly every interval, never early on a scene change.
  av_dict_set(&options, "sc_threshold", "0", 0);
  std::string params = tuning_.x264Params;
  if (std::int64_t(settings_.width) * settings_.height <= tuning_.cabacUpToPixels) {
    params += params.empty() ? "cabac=1" : ":cabac=1";
  }
  if (!params.empty()) av_dict_set(&options, "x264-params", params.c_str(), 0);
  if (tuning_.threads > 0) av_dict_set_int(&options, "threads", tuning_.threads, 0);
  error = avcodec_open2(codec_, encoder, &options);
  av_dict_free(&options);
  if (error < 0) return fail("cannot open the H.264 encoder", error), false;
  error = avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (error < 0) return fail("cannot describe the video track", error), false;
  stream_->time_base = kTimeBase;

  picture_->format = codec_->pix_fmt;
  picture_->width = codec_->width;
  picture_->height = codec_->height;
  error = av_frame_get_buffer(picture_, 0);
  if (error < 0) return fail("out of memory", error), false;
  return true;
}

bool LibavMovieWriter::addAudio(const platform::AudioSettings& settings) {
  if (!prepared_ || hasAudio_ || settings.sources < 1) return false;
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!encoder) return false;
  audioSettings_ = settings;
  audioCodec_ = avcodec_alloc_context3(encoder);
  audioFrame_ = av_frame_alloc();
  audioPacket_ = av_packet_alloc();
  if (!audioCodec_ || !audioFrame_ || !audioPacket_) return false;
  audioCodec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  audioCodec_->sample_rate = settings.sampleRate;
  av_channel_layout_default(&audioCodec_->ch_layout, settings.channels);
  audioCodec_->bit_rate = settings.bitRate;
  audioCodec_->time_base = {1, settings.sampleRate};
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) audioCodec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int error = avcodec_open2(audioCodec_, encoder, nullptr);
  // The track is added once the encoder is open: a track without one would fail the whole file.
  if (error >= 0 && !(audioStream_ = avformat_new_stream(format_, nullptr))) error = AVERROR(ENOMEM);
  if (error >= 0) error = avcodec_parameters_from_context(audioStream_->codecpar, audioCodec_);
  if (error >= 0) {
    audioStream_->time_base = audioCodec_->time_base;
    audioFrame_->format = audioCodec_->sample_fmt;
    audioFrame_->nb_samples = audioCodec_->frame_size;
    error = av_channel_layout_copy(&audioFrame_->ch_layout, &audioCodec_->ch_layout);
  }
  if (error >= 0) error = av_frame_get_buffer(audioFrame_, 0);
  if (error < 0) {
    qWarning("vistrel: the recording %s gets no sound: %s", path_.c_str(), libav::errorText(error).c_str());
    // Only a stream that could not be described is in the file: then the file cannot be made.
    if (audioStream_) prepared_ = false;
    return false;
  }
  std::lock_guard lock(mutex_);
  tracks_.resize(std::size_t(settings.sources));
  hasAudio_ = true;
  return true;
}

void LibavMovieWriter::startSession(double sourceTime) {
  std::lock_guard lock(mutex_);
  origin_ = sourceTime;
  sessionStarted_ = true;
}

void LibavMovieWriter::appendAudio(int source, const float* samples, int frames, double time) {
  std::lock_guard lock(mutex_);
  if (!hasAudio_ || !sessionStarted_ || status_ != MovieWriterStatus::writing || inputFinished_ || finishing_) return;
  if (source < 0 || std::size_t(source) >= tracks_.size() || tracks_[std::size_t(source)].ended) return;
  SoundTrack& track = tracks_[std::size_t(source)];
  const int channels = audioSettings_.channels;
  const std::int64_t tolerance = audioSettings_.sampleRate / 100;  // 10 ms
  std::int64_t at = std::llround((time - origin_) * audioSettings_.sampleRate);
  const auto drop = [&](std::int64_t count) {
    count = std::clamp<std::int64_t>(count, 0, frames);
    samples += count * channels;
    frames -= int(count);
    at += count;
  };
  if (track.start < 0) {
    drop(audioEncoded_ - at);  // sound from before the start, or already encoded as silence
    track.start = at;
  } else {
    const std::int64_t next = track.start + std::int64_t(track.samples.size()) / channels;
    if (at > next + tolerance) {
      track.samples.insert(track.samples.end(), std::size_t((at - next) * channels), 0.0f);
    } else if (at < next - tolerance) {
      drop(next - at);
    }
  }
  track.samples.insert(track.samples.end(), samples, samples + std::size_t(frames) * channels);
  audioWaiting_ = true;
  wake_.notify_one();
}

void LibavMovieWriter::endAudio(int source) {
  std::lock_guard lock(mutex_);
  if (source < 0 || std::size_t(source) >= tracks_.size()) return;
  tracks_[std::size_t(source)].ended = true;
  audioWaiting_ = true;
  wake_.notify_one();
}

bool LibavMovieWriter::encodeAudio(bool last) {
  if (!hasAudio_) return true;
  const int frameSize = audioCodec_->frame_size;
  const int channels = audioSettings_.channels;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      audioWaiting_ = false;
      // Up to where every live source has given sound; all of it at the end, or when none lives.
      std::int64_t ready = -1;
      std::int64_t given = audioEncoded_;
      bool live = false;
      for (const SoundTrack& track : tracks_) {
        const std::int64_t next = track.start < 0 ? -1 : track.start + std::int64_t(track.samples.size()) / channels;
        given = std::max(given, next);
        if (track.ended) continue;
        live = true;
        ready = ready < 0 ? next : std::min(ready, next);
      }
      if (last || !live) ready = given;
      // A source a second behind the others has stalled: its part is silence, and they do not wait.
      ready = std::max(ready, given - audioSettings_.sampleRate);
      const std::int64_t available = ready - audioEncoded_;
      if (available <= 0 || (available < frameSize && !last)) return true;
      const int error = av_frame_make_writable(audioFrame_);
      if (error < 0) return fail("out of memory", error), false;
      for (int c = 0; c < channels; ++c) {
        float* plane = reinterpret_cast<float*>(audioFrame_->extended_data[c]);
        for (int i = 0; i < frameSize; ++i) {
          float sum = 0;
          for (const SoundTrack& track : tracks_) {
            const std::int64_t index = audioEncoded_ + i - track.start;
            if (track.start >= 0 && index >= 0 && index < std::int64_t(track.samples.size()) / channels) {
              sum += track.samples[std::size_t(index * channels + c)];
            }
          }
          plane[i] = std::clamp(sum, -1.0f, 1.0f);
        }
      }
      audioFrame_->pts = audioEncoded_;
      audioEncoded_ += frameSize;
      for (SoundTrack& track : tracks_) {
        if (track.start < 0) continue;
        const std::int64_t done = std::clamp<std::int64_t>(audioEncoded_ - track.start, 0,
                                                           std::int64_t(track.samples.size()) / channels);
        track.samples.erase(track.samples.begin(), track.samples.begin() + done * channels);
        track.start += done;
      }
    }
    if (!sendAudio(audioFrame_)) return false;
  }
}

bool LibavMovieWriter::sendAudio(AVFrame* frame) {
  const int error = libav::encodeInto(audioCodec_, frame, audioPacket_, format_, audioStream_);
  if (error < 0) return fail("cannot encode the sound", error), false;
  return true;
}

bool LibavMovieWriter::startWriting() {
  if (status_ != MovieWriterStatus::unknown) return false;
  if (!prepared_) {
    // Not added, or the encoder could not be made (the reason is logged).
    if (error_.empty()) fail("no video input", 0);
    status_ = MovieWriterStatus::failed;
    return false;
  }
  int error = avio_open(&format_->pb, path_.c_str(), AVIO_FLAG_WRITE);
  if (error < 0) return fail("cannot create the file", error), false;
  // Every fragment reaches the file as soon as it is cut, not when the I/O buffer fills.
  format_->flags |= AVFMT_FLAG_FLUSH_PACKETS;
  AVDictionary* muxing = nullptr;
  av_dict_set(&muxing, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
  error = avformat_write_header(format_, &muxing);
  av_dict_free(&muxing);
  if (error < 0) {
    fail("cannot write the file's header", error);
    closeFile(true);  // it holds no frame
    return false;
  }
  avio_flush(format_->pb);
  wholeSize_ = avio_tell(format_->pb);

  status_ = MovieWriterStatus::writing;
  thread_ = std::thread([this] { run(); });
  return true;
}

bool LibavMovieWriter::isReadyForMoreMediaData() const {
  std::lock_guard lock(mutex_);
  return status_ == MovieWriterStatus::writing && !inputFinished_ && !finishing_ && queue_.size() < kWaiting;
}

bool LibavMovieWriter::append(const platform::StreamFrame& frame) {
  std::lock_guard lock(mutex_);
  if (status_ != MovieWriterStatus::writing || inputFinished_ || finishing_ || frame.image.isNull()) return false;
  if (queue_.size() >= kWaiting) {
    ++counts_.refused;
    return false;
  }
  queue_.push_back({frame.image, frame.time, frame.changed});
  ++counts_.appended;
  wake_.notify_one();
  return true;
}

void LibavMovieWriter::markAsFinished() {
  std::lock_guard lock(mutex_);
  inputFinished_ = true;
}

void LibavMovieWriter::finishWriting(std::function<void()> completion) {
  {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() && !finishing_) {
      completion_ = std::move(completion);
      finishing_ = true;
      wake_.notify_one();
      return;
    }
  }
  // Never started, or finished already: nothing to wait for.
  if (completion) completion();
}

std::int64_t LibavMovieWriter::ptsOf(double time) const {
  return std::max<std::int64_t>(std::llround((time - origin_) * double(kTicksPerSecond)), 0);
}

void LibavMovieWriter::run() {
  pthread_setname_np(pthread_self(), "vistrel-encode");
  for (;;) {
    Item item;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !queue_.empty() || finishing_ || audioWaiting_; });
      if (queue_.empty() && finishing_) break;
      if (!queue_.empty()) {
        item = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    if (status_ == MovieWriterStatus::writing && !item.image.isNull()) encode(item);
    if (status_ == MovieWriterStatus::writing) encodeAudio(false);
  }

  bool whole = false;
  if (status_ == MovieWriterStatus::writing && hasAudio_ && encodeAudio(true)) sendAudio(nullptr);
  if (status_ == MovieWriterStatus::writing && sendFrame(nullptr)) {
    // The last frame lasts as long as the step before it: until the stop, within a frame.
    const std::int64_t step = lastStep_ > 0 ? lastStep_ : kDefaultStep;
    if (!holding_ || writeHeld(lastTimePts_ + step)) {
      const int error = av_write_trailer(format_);
      if (error < 0) {
        fail("cannot finish the file", error);
      } else {
        whole = true;
      }
    }
  }
  closeFile(false);
  std::function<void()> completion;
  {
    std::lock_guard lock(mutex_);
    if (whole) status_ = MovieWriterStatus::completed;
    completion = std::move(completion_);
    qInfo("vistrel x11: movie %dx%d appended=%ld encoded=%ld extended=%ld refused=%ld status=%d", settings_.width,
          settings_.height, counts_.appended, counts_.encoded, counts_.extended, counts_.refused, int(status_.load()));
  }
  if (completion) completion();
}

void LibavMovieWriter::encode(Item& item) {
  std::int64_t pts = ptsOf(item.time);
  if (lastPts_ >= 0 && pts <= lastTimePts_) pts = lastTimePts_ + 1;  // a stream time that went back
  if (lastPts_ >= 0) lastStep_ = pts - lastTimePts_;
  lastTimePts_ = pts;
  const bool refresh = lastPts_ >= 0 && pts - lastPts_ >= kRefreshTicks;
  if (!item.changed && lastPts_ >= 0 && !refresh) {
    std::lock_guard lock(mutex_);
    ++counts_.extended;
    return;
  }
  if (item.changed || lastPts_ < 0) {
    // The encoder may still hold the last picture; writing into it then makes a copy first.
    const int error = av_frame_make_writable(picture_);
    if (error < 0) return fail("out of memory", error);
    const QImage* source = &item.image;
    if (item.image.size() != QSize(settings_.width, settings_.height)) {
      if (scaled_.size() != QSize(settings_.width, settings_.height)) {
        scaled_ = QImage(settings_.width, settings_.height, QImage::Format_RGB32);
      }
      libyuv::ARGBScale(item.image.constBits(), int(item.image.bytesPerLine()), item.image.width(),
                        item.image.height(), scaled_.bits(), int(scaled_.bytesPerLine()), scaled_.width(),
                        scaled_.height(), libyuv::kFilterBilinear);
      source = &scaled_;
    }
    // libyuv's ARGB is B, G, R, A in memory: QImage's RGB32 on this (little-endian) machine.
    libyuv::ARGBToI420(source->constBits(), int(source->bytesPerLine()), picture_->data[0], picture_->linesize[0],
                       picture_->data[1], picture_->linesize[1], picture_->data[2], picture_->linesize[2],
                       settings_.width, settings_.height);
  }
  item.image = QImage();  // the stream may reuse its buffer now
  picture_->pts = pts;
  // Only the key frames the interval asks for: a still-screen refresh is an ordinary frame.
  picture_->pict_type = AV_PICTURE_TYPE_NONE;
  if (!sendFrame(picture_)) return;
  lastPts_ = pts;
  std::lock_guard lock(mutex_);
  ++counts_.encoded;
}

bool LibavMovieWriter::sendFrame(AVFrame* frame) {
  int error = avcodec_send_frame(codec_, frame);
  if (error < 0) return fail("cannot encode a frame", error), false;
  for (;;) {
    error = avcodec_receive_packet(codec_, received_);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return true;
    if (error < 0) return fail("cannot encode a frame", error), false;
    if (!writePacket(received_)) return false;
  }
}

bool LibavMovieWriter::writePacket(AVPacket* packet) {
  if (holding_ && !writeHeld(packet->pts)) {
    av_packet_unref(packet);
    return false;
  }
  const bool key = packet->flags & AV_PKT_FLAG_KEY;
  // The fragment before a key frame is whole now: cut it at once rather
  // than when the key packet itself is written, a packet later.
  if (key || packet->pts - fragmentStart_ >= kRefreshTicks) {
    // (A still screen makes few key frames: its fragments are cut by time.)
    av_write_frame(format_, nullptr);
    fragmentStart_ = packet->pts;
    if (format_->pb->error < 0) {
      fail("cannot write to the file", format_->pb->error);
      av_packet_unref(packet);
      return false;
    }
    wholeSize_ = avio_tell(format_->pb);
  }
  av_packet_move_ref(held_, packet);
  holding_ = true;
  return true;
}

bool LibavMovieWriter::writeHeld(std::int64_t endPts) {
  held_->duration = std::max<std::int64_t>(endPts - held_->pts, 1);
  held_->stream_index = stream_->index;
  av_packet_rescale_ts(held_, codec_->time_base, stream_->time_base);
  const int error = av_write_frame(format_, held_);
  av_packet_unref(held_);
  holding_ = false;
  if (error < 0 || (format_->pb && format_->pb->error < 0)) {
    fail("cannot write to the file", error < 0 ? error : format_->pb->error);
    return false;
  }
  return true;
}

void LibavMovieWriter::closeFile(bool remove) {
  if (!format_ || !format_->pb) return;
  avio_closep(&format_->pb);
  std::error_code ignored;
  if (remove) {
    std::filesystem::remove(path_, ignored);
  } else if (status_ == MovieWriterStatus::failed && wholeSize_ > 0) {
    // A write that failed (a full disk) may have left part of a fragment: cut
    // the file back to its last whole one, so that it plays to its end cleanly.
    std::filesystem::resize_file(path_, std::uintmax_t(wholeSize_), ignored);
  }
}

}  // namespace vistrel::desktop
