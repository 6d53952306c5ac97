#include "platform/linux/LibavEncoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vistrel::desktop::libav {

std::string errorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

int encodeInto(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet, AVFormatContext* file,
               AVStream* stream) {
  int error = avcodec_send_frame(encoder, frame);
  while (error >= 0) {
    error = avcodec_receive_packet(encoder, packet);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) return 0;
    if (error < 0) break;
    packet->stream_index = stream->index;
    av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
    error = av_write_frame(file, packet);
    av_packet_unref(packet);
  }
  return error;
}

}  // namespace vistrel::desktop::libav
