#include "tools/demux/silentframe.h"

#include <tuple>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace demux {

std::string AvErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

bool TAudioFormat::SameShape(const TAudioFormat &other) const
{
    return SampleRate == other.SampleRate && av_channel_layout_compare(&Layout, &other.Layout) == 0;
}

std::string TAudioFormat::Describe() const
{
    char layout[64] = {};
    av_channel_layout_describe(&Layout, layout, sizeof layout);
    return std::to_string(SampleRate) + " Hz, " + std::to_string(Layout.nb_channels) + " channels (" + layout
           + ")";
}

TAvPtr<AVCodecContext> OpenAc3Encoder(const TAudioFormat &format, std::string &error)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
    if (!codec) {
        error = "FFmpeg has no AC-3 encoder";
        return nullptr;
    }
    auto open = [&](int64_t bitRate) {
        TAvPtr<AVCodecContext> context(avcodec_alloc_context3(codec));
        if (!context)
            return std::make_pair(std::move(context), AVERROR(ENOMEM));
        context->sample_fmt = AV_SAMPLE_FMT_FLTP;
        context->sample_rate = format.SampleRate;
        av_channel_layout_copy(&context->ch_layout, &format.Layout);
        context->bit_rate = bitRate;
        int status = avcodec_open2(context.get(), codec, nullptr);
        return std::make_pair(std::move(context), status);
    };
    auto [context, status] = open(format.BitRate);
    // A bit rate the encoder does not offer: let it choose.
    if (status < 0 && format.BitRate != 0)
        std::tie(context, status) = open(0);
    if (status < 0) {
        error = "the AC-3 encoder refuses " + format.Describe() + ": " + AvErrorText(status);
        return nullptr;
    }
    return std::move(context);
}

std::vector<uint8_t> MakeSilentAc3Frame(const TAudioFormat &format, std::string &error)
{
    TAvPtr<AVCodecContext> context = OpenAc3Encoder(format, error);
    if (!context)
        return {};
    int status = 0;
    TAvPtr<AVFrame> frame(av_frame_alloc());
    frame->format = context->sample_fmt;
    frame->sample_rate = context->sample_rate;
    frame->nb_samples = context->frame_size;
    av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
    TAvPtr<AVPacket> packet(av_packet_alloc());
    if (av_frame_get_buffer(frame.get(), 0) < 0 || !packet) {
        error = "out of memory";
        return {};
    }
    av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                           context->sample_fmt);
    // The encoder may hold a frame back; feed silence until one comes out.
    for (int fed = 0; fed < 4; ++fed) {
        status = avcodec_send_frame(context.get(), frame.get());
        if (status < 0)
            break;
        status = avcodec_receive_packet(context.get(), packet.get());
        if (status == 0)
            return std::vector<uint8_t>(packet->data, packet->data + packet->size);
        if (status != AVERROR(EAGAIN))
            break;
    }
    error = "the AC-3 encoder made no frame: " + AvErrorText(status);
    return {};
}

}  // namespace demux
