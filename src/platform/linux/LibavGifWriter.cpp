#include "platform/linux/LibavGifWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <pthread.h>

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/linux/LibavEncoding.h"

namespace vistrel::desktop {

namespace {

using platform::MovieWriterStatus;

constexpr AVRational kCentiseconds{1, 100};
// Frames waiting for the writer's thread before it says it is busy.
constexpr std::size_t kWaiting = 3;
// Ordered dithering changes no pixel where the picture did not change, so
// the encoder's changed rectangles stay small; "rectangle" maps only those.
const char* kPaletteUse = "[in]format=bgra[f];[f][pal]paletteuse=dither=bayer:bayer_scale=4:diff_mode=rectangle[out]";
// "diff": colours that move count more than a still background.
const char* kPaletteGen = "[in]format=bgra,palettegen=stats_mode=diff[out]";

// A filter graph from buffer sources "in" (the frames) and, when asked,
// "pal" (a palette) to a buffer sink "out".
struct Graph {
  AVFilterGraph* graph = avfilter_graph_alloc();
  AVFilterContext* in = nullptr;
  AVFilterContext* palette = nullptr;
  AVFilterContext* out = nullptr;
  ~Graph() { avfilter_graph_free(&graph); }

  int make(const char* description, int width, int height, AVPixelFormat format, bool withPalette) {
    if (!graph) return AVERROR(ENOMEM);
    const auto source = [&](AVFilterContext** context, const char* name, int w, int h, AVPixelFormat f) {
      const std::string args = "video_size=" + std::to_string(w) + "x" + std::to_string(h) +
                               ":pix_fmt=" + std::string(av_get_pix_fmt_name(f)) + ":time_base=1/100:pixel_aspect=1/1";
      return avfilter_graph_create_filter(context, avfilter_get_by_name("buffer"), name, args.c_str(), nullptr, graph);
    };
    int error = source(&in, "in", width, height, format);
    if (error >= 0 && withPalette) error = source(&palette, "pal", 16, 16, AV_PIX_FMT_RGB32);
    if (error >= 0) {
      error = avfilter_graph_create_filter(&out, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph);
    }
    if (error < 0) return error;
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    AVFilterInOut* paletteOutput = withPalette ? avfilter_inout_alloc() : nullptr;
    if (!outputs || !inputs || (withPalette && !paletteOutput)) error = AVERROR(ENOMEM);
    if (error >= 0) {
      *outputs = {av_strdup("in"), in, 0, paletteOutput};
      if (paletteOutput) *paletteOutput = {av_strdup("pal"), palette, 0, nullptr};
      *inputs = {av_strdup("out"), out, 0, nullptr};
      error = avfilter_graph_parse_ptr(graph, description, &inputs, &outputs, nullptr);
      if (error >= 0) error = avfilter_graph_config(graph, nullptr);
    } else {
      av_free(paletteOutput);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    return error;
  }
};

// Calls `each` with every frame of the file at `path` (its pts in
// hundredths of a second), in order; a negative error on failure, or what `each` returned.
int forEachFrame(const std::string& path, const std::function<int(AVFrame*)>& each) {
  AVFormatContext* input = nullptr;
  int error = avformat_open_input(&input, path.c_str(), nullptr, nullptr);
  if (error < 0) return error;
  AVCodecContext* decoder = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const AVStream* stream = input->nb_streams > 0 ? input->streams[0] : nullptr;
  const AVCodec* codec = stream ? avcodec_find_decoder(stream->codecpar->codec_id) : nullptr;
  if (!packet || !frame || !codec || !(decoder = avcodec_alloc_context3(codec))) error = AVERROR(ENOMEM);
  if (error >= 0) error = avcodec_parameters_to_context(decoder, stream->codecpar);
  if (error >= 0) error = avcodec_open2(decoder, codec, nullptr);
  const auto drain = [&]() {
    for (;;) {
      const int received = avcodec_receive_frame(decoder, frame);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return 0;
      if (received < 0) return received;
      frame->pts = av_rescale_q(frame->best_effort_timestamp, stream->time_base, kCentiseconds);
      const int result = each(frame);
      av_frame_unref(frame);
      if (result < 0) return result;
    }
  };
  while (error >= 0) {
    const int read = av_read_frame(input, packet);
    if (read == AVERROR_EOF) break;
    if (read < 0) {
      error = read;
      break;
    }
    error = avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    if (error >= 0) error = drain();
  }
  if (error >= 0) error = avcodec_send_packet(decoder, nullptr);
  if (error >= 0) error = drain();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return error;
}

}  // namespace

GifFrameTimeline::Decision GifFrameTimeline::offer(double seconds, bool changed) {
  const std::int64_t at = std::max<std::int64_t>(std::llround(seconds * 100), 0);
  lastOffered_ = std::max(lastOffered_, at);
  Decision decision;
  if (!kept_) {
    kept_ = true;
    last_ = at;
    decision.frameAt = at;
    return decision;
  }
  if (changed && at >= last_ + kMinimumDelay) {
    // A newer picture whose turn has come: the waiting one is never shown, and
    // this one takes its turn (a little early), which keeps the rate at 14.3.
    last_ = waiting_ ? std::max(*waiting_, last_ + kMinimumDelay) : at;
    waiting_.reset();
    decision.frameAt = last_;
    return decision;
  }
  if (waiting_ && at >= std::max(*waiting_, last_ + kMinimumDelay)) {
    last_ = std::max(*waiting_, last_ + kMinimumDelay);
    decision.pendingAt = last_;
    waiting_.reset();
  }
  if (changed) {
    waiting_ = at;
    decision.waits = true;
  }
  return decision;
}

std::optional<std::int64_t> GifFrameTimeline::finish() {
  if (!waiting_) return std::nullopt;
  last_ = std::max(*waiting_, last_ + kMinimumDelay);
  waiting_.reset();
  return last_;
}

std::int64_t GifFrameTimeline::end() const { return std::max(lastOffered_, last_ + kMinimumDelay); }

LibavGifWriter::LibavGifWriter(std::string path) : path_(std::move(path)) {
  const std::filesystem::path target(path_);
  framesPath_ = (target.parent_path() / ("." + target.filename().string() + ".frames.nut")).string();
  av_log_set_level(AV_LOG_WARNING);
}

LibavGifWriter::~LibavGifWriter() {
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
    queue_.clear();
    completion_ = nullptr;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  closeFrames();
  std::error_code ignored;
  std::filesystem::remove(framesPath_, ignored);
}

bool LibavGifWriter::canAdd(const platform::VideoSettings& settings) const {
  // GIF sizes are 16-bit; FFV1 keeps the frames meanwhile.
  return settings.width >= 2 && settings.height >= 2 && settings.width <= 65535 && settings.height <= 65535 &&
         avcodec_find_encoder(AV_CODEC_ID_GIF) && avcodec_find_encoder(AV_CODEC_ID_FFV1) &&
         avfilter_get_by_name("palettegen") && avfilter_get_by_name("paletteuse");
}

void LibavGifWriter::fail(const std::string& what, int error) {
  std::lock_guard lock(mutex_);
  if (error_.empty()) error_ = what + (error ? ": " + libav::errorText(error) : std::string());
  status_ = MovieWriterStatus::failed;
  qWarning("vistrel: the GIF %s failed: %s", path_.c_str(), error_.c_str());
}

std::string LibavGifWriter::errorDescription() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool LibavGifWriter::startWriting() {
  if (status_ != MovieWriterStatus::unknown) return false;
  if (!canAdd(settings_)) return fail("cannot write a GIF of this size", 0), false;
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_FFV1);
  int error = avformat_alloc_output_context2(&frames_, nullptr, "nut", framesPath_.c_str());
  if (error < 0) return fail("cannot keep the frames", error), false;
  stream_ = avformat_new_stream(frames_, nullptr);
  codec_ = avcodec_alloc_context3(encoder);
  picture_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!stream_ || !codec_ || !picture_ || !packet_) return fail("out of memory", 0), false;
  codec_->width = settings_.width;
  codec_->height = settings_.height;
  codec_->pix_fmt = AV_PIX_FMT_0RGB32;  // QImage's RGB32: B, G, R, X in memory
  codec_->time_base = kCentiseconds;
  if (frames_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  error = avcodec_open2(codec_, encoder, nullptr);
  if (error < 0) return fail("cannot open the frame encoder", error), false;
  error = avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (error >= 0) {
    stream_->time_base = kCentiseconds;
    error = avio_open(&frames_->pb, framesPath_.c_str(), AVIO_FLAG_WRITE);
  }
  if (error >= 0) error = avformat_write_header(frames_, nullptr);
  if (error < 0) return fail("cannot create the file", error), false;
  picture_->format = codec_->pix_fmt;
  picture_->width = codec_->width;
  picture_->height = codec_->height;
  error = av_frame_get_buffer(picture_, 0);
  if (error < 0) return fail("out of memory", error), false;
  status_ = MovieWriterStatus::writing;
  thread_ = std::thread([this] { run(); });
  return true;
}

bool LibavGifWriter::isReadyForMoreMediaData() const {
  std::lock_guard lock(mutex_);
  return status_ == MovieWriterStatus::writing && !inputFinished_ && !finishing_ && queue_.size() < kWaiting;
}

bool LibavGifWriter::append(const platform::StreamFrame& frame) {
  std::lock_guard lock(mutex_);
  if (status_ != MovieWriterStatus::writing || inputFinished_ || finishing_ || frame.image.isNull()) return false;
  if (queue_.size() >= kWaiting) return false;
  queue_.push_back({frame.image, frame.time, frame.changed});
  wake_.notify_one();
  return true;
}

void LibavGifWriter::markAsFinished() {
  std::lock_guard lock(mutex_);
  inputFinished_ = true;
}

void LibavGifWriter::finishWriting(std::function<void()> completion) {
  {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() && !finishing_) {
      completion_ = std::move(completion);
      finishing_ = true;
      wake_.notify_one();
      return;
    }
  }
  if (completion) completion();
}

void LibavGifWriter::run() {
  pthread_setname_np(pthread_self(), "vistrel-gif");
  for (;;) {
    Item item;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !queue_.empty() || finishing_; });
      if (queue_.empty()) break;
      item = std::move(queue_.front());
      queue_.pop_front();
    }
    if (status_ == MovieWriterStatus::writing) take(item);
  }
  if (status_ == MovieWriterStatus::writing) {
    if (const auto at = timeline_.finish()) keep(waiting_, *at);
    waiting_ = QImage();
  }
  const bool kept = closeFrames();
  if (status_ == MovieWriterStatus::writing && kept && makeGif()) status_ = MovieWriterStatus::completed;
  std::error_code ignored;
  std::filesystem::remove(framesPath_, ignored);
  if (status_ != MovieWriterStatus::completed) std::filesystem::remove(path_, ignored);
  std::function<void()> completion;
  {
    std::lock_guard lock(mutex_);
    completion = std::move(completion_);
    qInfo("vistrel: GIF %dx%d kept=%ld status=%d", settings_.width, settings_.height, kept_, int(status_.load()));
  }
  if (completion) completion();
}

void LibavGifWriter::take(Item& item) {
  const auto decision = timeline_.offer(item.time - origin_, item.changed);
  if (decision.pendingAt && !keep(waiting_, *decision.pendingAt)) return;
  if (decision.frameAt && !keep(item.image, *decision.frameAt)) return;
  // The stream gets its buffer back once the waiting frame is kept or passed over.
  if (decision.waits) {
    waiting_ = std::move(item.image);
  } else if (decision.pendingAt || decision.frameAt) {
    waiting_ = QImage();
  }
}

bool LibavGifWriter::keep(const QImage& image, std::int64_t pts) {
  if (image.isNull()) return true;
  int error = av_frame_make_writable(picture_);
  if (error < 0) return fail("out of memory", error), false;
  const QImage sized = image.size() == QSize(settings_.width, settings_.height)
                           ? image
                           : image.scaled(settings_.width, settings_.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  const std::size_t rowBytes = std::size_t(settings_.width) * 4;
  for (int y = 0; y < settings_.height; ++y) {
    std::memcpy(picture_->data[0] + std::size_t(y) * picture_->linesize[0], sized.constScanLine(y), rowBytes);
  }
  picture_->pts = pts;
  error = libav::encodeInto(codec_, picture_, packet_, frames_, stream_);
  if (error < 0) return fail("cannot keep a frame", error), false;
  ++kept_;
  return true;
}

bool LibavGifWriter::closeFrames() {
  if (!frames_) return false;
  bool whole = false;
  if (frames_->pb) {
    whole = libav::encodeInto(codec_, nullptr, packet_, frames_, stream_) >= 0 && av_write_trailer(frames_) >= 0;
    avio_closep(&frames_->pb);
  }
  av_packet_free(&packet_);
  av_frame_free(&picture_);
  avcodec_free_context(&codec_);
  avformat_free_context(frames_);
  frames_ = nullptr;
  return whole;
}

bool LibavGifWriter::makeGif() {
  if (kept_ == 0) return fail("no frame", 0), false;
  // Pass 1: the palette of every frame kept.
  Graph survey;
  int error = survey.make(kPaletteGen, settings_.width, settings_.height, AV_PIX_FMT_0RGB32, false);
  if (error < 0) return fail("cannot make the palette filter", error), false;
  error = forEachFrame(framesPath_, [&](AVFrame* frame) { return av_buffersrc_add_frame(survey.in, frame); });
  if (error >= 0) error = av_buffersrc_add_frame(survey.in, nullptr);
  AVFrame* palette = av_frame_alloc();
  if (!palette) error = AVERROR(ENOMEM);
  if (error >= 0) error = av_buffersink_get_frame(survey.out, palette);
  if (error < 0) {
    av_frame_free(&palette);
    return fail("cannot choose the palette", error), false;
  }

  // Pass 2: each frame on the palette, into the GIF.
  Graph mapping;
  AVFormatContext* gif = nullptr;
  AVCodecContext* encoder = nullptr;
  AVStream* stream = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* mapped = av_frame_alloc();
  std::int64_t lastPts = 0;
  error = mapping.make(kPaletteUse, settings_.width, settings_.height, AV_PIX_FMT_0RGB32, true);
  if (error >= 0) error = av_buffersrc_add_frame(mapping.palette, palette);
  if (error >= 0) error = av_buffersrc_add_frame(mapping.palette, nullptr);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_GIF);
  if (error >= 0) error = avformat_alloc_output_context2(&gif, nullptr, "gif", path_.c_str());
  if (error >= 0 && (!packet || !mapped || !(stream = avformat_new_stream(gif, nullptr)) ||
                     !(encoder = avcodec_alloc_context3(codec)))) {
    error = AVERROR(ENOMEM);
  }
  if (error >= 0) {
    encoder->width = settings_.width;
    encoder->height = settings_.height;
    encoder->pix_fmt = AV_PIX_FMT_PAL8;
    encoder->time_base = kCentiseconds;
    error = avcodec_open2(encoder, codec, nullptr);
  }
  if (error >= 0) error = avcodec_parameters_from_context(stream->codecpar, encoder);
  if (error >= 0) {
    stream->time_base = kCentiseconds;
    error = avio_open(&gif->pb, path_.c_str(), AVIO_FLAG_WRITE);
  }
  if (error >= 0) error = avformat_write_header(gif, nullptr);
  const AVRational sinkBase = error >= 0 ? av_buffersink_get_time_base(mapping.out) : kCentiseconds;
  const auto encodeMapped = [&]() {
    for (;;) {
      int got = av_buffersink_get_frame(mapping.out, mapped);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
      if (got < 0) return got;
      mapped->pts = av_rescale_q(mapped->pts, sinkBase, kCentiseconds);
      lastPts = mapped->pts;
      mapped->pict_type = AV_PICTURE_TYPE_NONE;
      got = libav::encodeInto(encoder, mapped, packet, gif, stream);
      av_frame_unref(mapped);
      if (got < 0) return got;
    }
  };
  if (error >= 0) {
    error = forEachFrame(framesPath_, [&](AVFrame* frame) {
      const int added = av_buffersrc_add_frame(mapping.in, frame);
      return added < 0 ? added : encodeMapped();
    });
  }
  if (error >= 0) error = av_buffersrc_add_frame(mapping.in, nullptr);
  if (error >= 0) error = encodeMapped();
  if (error >= 0) error = libav::encodeInto(encoder, nullptr, packet, gif, stream);
  if (error >= 0) {
    // How long the last picture stays, which the muxer cannot know from the next one.
    av_opt_set_int(gif->priv_data, "final_delay", std::max<std::int64_t>(timeline_.end() - lastPts, 1), 0);
    error = av_write_trailer(gif);
  }
  if (gif && gif->pb) avio_closep(&gif->pb);
  avformat_free_context(gif);
  avcodec_free_context(&encoder);
  av_frame_free(&mapped);
  av_frame_free(&palette);
  av_packet_free(&packet);
  if (error < 0) return fail("cannot write the GIF", error), false;
  return true;
}

}  // namespace vistrel::desktop
