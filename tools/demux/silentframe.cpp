#include "silentframe.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace demux {

namespace {

struct TCodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TFrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

bool TAudioFormat::SameShape(const TAudioFormat& other) const {
  return SampleRate == other.SampleRate && Layout.nb_channels == other.Layout.nb_channels;
}

std::string TAudioFormat::Describe() const {
  return std::to_string(SampleRate) + " Hz, " + std::to_string(Layout.nb_channels) + " channels";
}

std::vector<uint8_t> MakeSilentAc3Frame(const TAudioFormat& format, std::string& error) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
  if (!codec) {
    error = "FFmpeg has no AC-3 encoder";
    return {};
  }
  std::unique_ptr<AVCodecContext, TCodecContextFree> context(avcodec_alloc_context3(codec));
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = format.SampleRate;
  av_channel_layout_copy(&context->ch_layout, &format.Layout);
  context->bit_rate = format.BitRate;
  int status = avcodec_open2(context.get(), codec, nullptr);
  if (status < 0 && format.BitRate != 0) {
    // A bit rate the encoder does not offer: let it choose.
    context.reset(avcodec_alloc_context3(codec));
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = format.SampleRate;
    av_channel_layout_copy(&context->ch_layout, &format.Layout);
    status = avcodec_open2(context.get(), codec, nullptr);
  }
  if (status < 0) {
    error = "the AC-3 encoder refuses " + format.Describe() + ": " + AvError(status);
    return {};
  }
  std::unique_ptr<AVFrame, TFrameFree> frame(av_frame_alloc());
  frame->format = context->sample_fmt;
  frame->sample_rate = context->sample_rate;
  frame->nb_samples = context->frame_size;
  av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
  std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
  if (av_frame_get_buffer(frame.get(), 0) < 0 || !packet) {
    error = "out of memory";
    return {};
  }
  av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                         context->sample_fmt);
  // The encoder may hold a frame back; feed silence until one comes out.
  for (int fed = 0; fed < 4; ++fed) {
    status = avcodec_send_frame(context.get(), frame.get());
    if (status < 0) break;
    status = avcodec_receive_packet(context.get(), packet.get());
    if (status == 0) return std::vector<uint8_t>(packet->data, packet->data + packet->size);
    if (status != AVERROR(EAGAIN)) break;
  }
  error = "the AC-3 encoder made no frame: " + AvError(status);
  return {};
}

}  // namespace demux
