// Turns the audio of a clip that does not match the disc (LPCM, or AC-3
// with another channel layout or sample rate) into AC-3 frames in the
// disc's format: FFmpeg decodes it, libswresample remixes and resamples
// it, FFmpeg's AC-3 encoder encodes it at the disc's bit rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "tools/demux/silentframe.h"

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace demux {

class TAc3Stream;
struct TClipFacts;

// The AC-3 format of a disc whose first clip with audio is `clip`: its own
// for AC-3; for LPCM its channel layout (5.1 at most) and sample rate
// (48 kHz where AC-3 has not that rate) at 256 kb/s, 448 kb/s beyond two
// channels.
TAudioFormat DiscAudioFormatOf(const TClipFacts &clip);

// The clip's audio must be re-encoded to go on a disc of that format.
bool NeedsConversion(const TClipFacts &clip, const TAudioFormat &disc);

class TAudioConverter
{
public:
    TAudioConverter();
    ~TAudioConverter();
    TAudioConverter(const TAudioConverter &) = delete;
    TAudioConverter &operator=(const TAudioConverter &) = delete;

    // Ready to convert audio of codec `source` into `disc`; false with
    // Error() set when FFmpeg lacks a codec or refuses the format.
    bool Open(AVCodecID source, const TAudioFormat &disc);

    // Decodes one PES payload and appends the AC-3 frames made so far to
    // `out`. The converted audio runs on without gaps from the first time
    // stamp given (later time stamps are not followed); its first frame
    // carries that time stamp, moved back by the samples the encoder pads in
    // front, so that the sound keeps its place. False with Error() set when
    // resampling or encoding fails (or memory runs out); damaged input is
    // left out and counted.
    bool Add(const uint8_t *data, size_t size, std::optional<int64_t> pts, TAc3Stream &out);
    // Encodes what is still held back (the last frame padded with silence).
    bool Finish(TAc3Stream &out);

    const std::string &Error() const { return FError; }
    int DamagedPackets() const { return FDamaged; }

private:
    bool Fail(const std::string &text);
    bool Decode(const AVPacket *packet, TAc3Stream &out);
    bool Resample(const AVFrame *decoded, TAc3Stream &out);
    bool EncodeBuffered(bool flush, TAc3Stream &out);
    bool Drain(TAc3Stream &out);

    struct TState;
    std::unique_ptr<TState> F_;
    std::string FError;
    int FDamaged = 0;
};

}  // namespace demux
