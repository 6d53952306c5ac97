#pragma once
// What the FFmpeg writers (movies, GIFs) repeat: FFmpeg's error texts, and
// one encoder step that sends a frame and writes every packet it yields.

#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace vistrel::desktop::libav {

std::string errorText(int error);

// Sends the frame (nullptr drains the encoder) and writes each packet that
// comes back into the stream of the file. 0 once the encoder wants more or is
// drained; otherwise FFmpeg's error from encoding or writing.
int encodeInto(AVCodecContext* encoder, const AVFrame* frame, AVPacket* packet, AVFormatContext* file,
               AVStream* stream);

}  // namespace vistrel::desktop::libav
