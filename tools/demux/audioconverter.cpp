#include "tools/demux/audioconverter.h"

#include "tools/demux/ac3stream.h"
#include "tools/demux/audiofitter.h"
#include "tools/demux/clipsource.h"

namespace demux {

namespace {

constexpr int kAc3MaxChannels = 6;
constexpr int64_t kStereoBitRate = 256000;
constexpr int64_t kSurroundBitRate = 448000;
// The one AC-3 rate the disc's clip information can state: AC-3 at 44.1 or
// 32 kHz, legal in itself, would play on a disc that says 48 kHz.
constexpr int kDiscSampleRate = 48000;

}  // namespace

TAudioFormat DiscAudioFormatOf(const TClipFacts &clip)
{
    if (clip.AudioCodec == AV_CODEC_ID_AC3 && clip.Audio.SampleRate == kDiscSampleRate)
        return clip.Audio;
    TAudioFormat disc;
    disc.SampleRate = kDiscSampleRate;
    if (clip.Audio.Layout.nb_channels > kAc3MaxChannels)
        disc.Layout = AV_CHANNEL_LAYOUT_5POINT1;
    else
        disc.Layout = clip.Audio.Layout;
    disc.BitRate = disc.Layout.nb_channels > 2 ? kSurroundBitRate : kStereoBitRate;
    return disc;
}

bool NeedsConversion(const TClipFacts &clip, const TAudioFormat &disc)
{
    return clip.HasAudio() && (clip.AudioCodec != AV_CODEC_ID_AC3 || !clip.Audio.SameShape(disc));
}

struct TAudioConverter::TState
{
    TAudioFormat Disc;
    TAvPtr<AVCodecContext> Decoder;
    TAvPtr<AVCodecParserContext> Parser;  // null where packets are whole frames already
    TAvPtr<SwrContext> Resampler;  // made at the first decoded frame
    TAvPtr<AVCodecContext> Encoder;
    TAvPtr<AVAudioFifo> Waiting;  // resampled samples not yet encoded
    TAvPtr<AVPacket> Packet;  // source data to decode (not owned)
    TAvPtr<AVPacket> Encoded;
    TAvPtr<AVFrame> Decoded;
    TAvPtr<AVFrame> ToEncode;
    std::optional<int64_t> FirstPts;  // of the source audio, 90 kHz ticks
    bool Stamped = false;  // the first AC-3 frame has its time stamp
};

TAudioConverter::TAudioConverter() : F_(std::make_unique<TState>())
{ }
TAudioConverter::~TAudioConverter() = default;

bool TAudioConverter::Fail(const std::string &text)
{
    FError = text;
    return false;
}

bool TAudioConverter::Open(AVCodecID source, const TAudioFormat &disc)
{
    F_ = std::make_unique<TState>();
    F_->Disc = disc;
    FDamaged = 0;
    const AVCodec *decoder = avcodec_find_decoder(source);
    if (!decoder)
        return Fail(std::string("FFmpeg has no decoder for ") + avcodec_get_name(source));
    F_->Decoder.reset(avcodec_alloc_context3(decoder));
    if (!F_->Decoder)
        return Fail("out of memory");
    if (int status = avcodec_open2(F_->Decoder.get(), decoder, nullptr); status < 0)
        return Fail(std::string("cannot open the ") + avcodec_get_name(source)
                    + " decoder: " + AvErrorText(status));
    F_->Parser.reset(av_parser_init(source));
    if (!(F_->Encoder = OpenAc3Encoder(disc, FError)))
        return false;
    F_->Waiting.reset(
        av_audio_fifo_alloc(F_->Encoder->sample_fmt, disc.Layout.nb_channels, F_->Encoder->frame_size));
    F_->Packet.reset(av_packet_alloc());
    F_->Encoded.reset(av_packet_alloc());
    F_->Decoded.reset(av_frame_alloc());
    F_->ToEncode.reset(av_frame_alloc());
    if (!F_->Waiting || !F_->Packet || !F_->Encoded || !F_->Decoded || !F_->ToEncode)
        return Fail("out of memory");
    return true;
}

bool TAudioConverter::Add(const uint8_t *data, size_t size, std::optional<int64_t> pts, TAc3Stream &out)
{
    if (!F_->FirstPts)
        F_->FirstPts = pts;
    if (!F_->Parser) {
        F_->Packet->data = const_cast<uint8_t *>(data);
        F_->Packet->size = static_cast<int>(size);
        return Decode(F_->Packet.get(), out);
    }
    while (size > 0) {
        int used = av_parser_parse2(F_->Parser.get(), F_->Decoder.get(), &F_->Packet->data, &F_->Packet->size,
                                    data, static_cast<int>(size), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++FDamaged;
            return true;
        }
        data += used;
        size -= static_cast<size_t>(used);
        if (F_->Packet->size > 0 && !Decode(F_->Packet.get(), out))
            return false;
    }
    return true;
}

bool TAudioConverter::Finish(TAc3Stream &out)
{
    if (F_->Parser) {
        av_parser_parse2(F_->Parser.get(), F_->Decoder.get(), &F_->Packet->data, &F_->Packet->size, nullptr,
                         0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (F_->Packet->size > 0 && !Decode(F_->Packet.get(), out))
            return false;
    }
    if (!Decode(nullptr, out))
        return false;
    if (F_->Resampler && !Resample(nullptr, out))
        return false;
    if (!EncodeBuffered(true, out))
        return false;
    if (int status = avcodec_send_frame(F_->Encoder.get(), nullptr); status < 0)
        return Fail("the AC-3 encoder failed: " + AvErrorText(status));
    return Drain(out);
}

// A packet of null flushes the decoder.
bool TAudioConverter::Decode(const AVPacket *packet, TAc3Stream &out)
{
    if (avcodec_send_packet(F_->Decoder.get(), packet) < 0) {
        ++FDamaged;
        return true;
    }
    for (;;) {
        int status = avcodec_receive_frame(F_->Decoder.get(), F_->Decoded.get());
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
            return true;
        if (status < 0) {
            ++FDamaged;
            return true;
        }
        bool ok = Resample(F_->Decoded.get(), out);
        av_frame_unref(F_->Decoded.get());
        if (!ok)
            return false;
    }
}

// Remixes and resamples into the disc's layout and rate; a frame of null
// drains what the resampler holds.
bool TAudioConverter::Resample(const AVFrame *decoded, TAc3Stream &out)
{
    if (!F_->Resampler) {
        SwrContext *made = nullptr;
        AVChannelLayout source = decoded->ch_layout;  // FFmpeg 5.1 takes it as not const
        int status = swr_alloc_set_opts2(
            &made, &F_->Disc.Layout, F_->Encoder->sample_fmt, F_->Disc.SampleRate, &source,
            static_cast<AVSampleFormat>(decoded->format), decoded->sample_rate, 0, nullptr);
        F_->Resampler.reset(made);
        if (status < 0 || (status = swr_init(made)) < 0)
            return Fail("cannot convert the audio to " + F_->Disc.Describe() + ": " + AvErrorText(status));
    }
    const int inSamples = decoded ? decoded->nb_samples : 0;
    const int room = swr_get_out_samples(F_->Resampler.get(), inSamples);
    if (room <= 0)
        return true;
    uint8_t **planes = nullptr;
    if (av_samples_alloc_array_and_samples(&planes, nullptr, F_->Disc.Layout.nb_channels, room,
                                           F_->Encoder->sample_fmt, 0)
        < 0)
        return Fail("out of memory");
    int made =
        swr_convert(F_->Resampler.get(), planes, room,
                    decoded ? const_cast<const uint8_t **>(decoded->extended_data) : nullptr, inSamples);
    bool ok =
        made >= 0 && av_audio_fifo_write(F_->Waiting.get(), reinterpret_cast<void **>(planes), made) == made;
    av_freep(&planes[0]);
    av_freep(&planes);
    if (!ok)
        return Fail("cannot convert the audio to " + F_->Disc.Describe());
    return EncodeBuffered(false, out);
}

// Encodes every whole frame waiting; when flushing, the rest too, padded
// with silence.
bool TAudioConverter::EncodeBuffered(bool flush, TAc3Stream &out)
{
    const int frameSize = F_->Encoder->frame_size;
    AVFrame *frame = F_->ToEncode.get();
    while (av_audio_fifo_size(F_->Waiting.get()) >= frameSize
           || (flush && av_audio_fifo_size(F_->Waiting.get()) > 0)) {
        av_frame_unref(frame);
        frame->format = F_->Encoder->sample_fmt;
        frame->sample_rate = F_->Encoder->sample_rate;
        frame->nb_samples = frameSize;
        av_channel_layout_copy(&frame->ch_layout, &F_->Encoder->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0)
            return Fail("out of memory");
        int read =
            av_audio_fifo_read(F_->Waiting.get(), reinterpret_cast<void **>(frame->extended_data), frameSize);
        if (read < frameSize)
            av_samples_set_silence(frame->extended_data, read, frameSize - read, frame->ch_layout.nb_channels,
                                   F_->Encoder->sample_fmt);
        if (int status = avcodec_send_frame(F_->Encoder.get(), frame); status < 0)
            return Fail("the AC-3 encoder failed: " + AvErrorText(status));
        if (!Drain(out))
            return false;
    }
    return true;
}

bool TAudioConverter::Drain(TAc3Stream &out)
{
    AVPacket *packet = F_->Encoded.get();
    for (;;) {
        int status = avcodec_receive_packet(F_->Encoder.get(), packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
            return true;
        if (status < 0)
            return Fail("the AC-3 encoder failed: " + AvErrorText(status));
        // The encoder starts with the samples it pads in front: the first
        // frame plays that much before the source's first sample.
        std::optional<int64_t> pts;
        if (!F_->Stamped && F_->FirstPts)
            pts =
                *F_->FirstPts - int64_t(F_->Encoder->initial_padding) * kTicksPerSecond / F_->Disc.SampleRate;
        F_->Stamped = true;
        out.AddPes(packet->data, static_cast<size_t>(packet->size), pts);
        av_packet_unref(packet);
    }
}

}  // namespace demux
