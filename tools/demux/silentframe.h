// One AC-3 frame of silence in a given format, made with FFmpeg's AC-3
// encoder, to fill the audio where a clip has none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "tools/demux/avhandles.h"

namespace demux {

struct TAudioFormat
{
    int SampleRate = 48000;
    AVChannelLayout Layout = AV_CHANNEL_LAYOUT_STEREO;
    int64_t BitRate = 192000;

    // The channel layout and rate are what must agree between the clips of
    // a disc; the bit rate may vary from frame to frame in AC-3.
    bool SameShape(const TAudioFormat &other) const;
    std::string Describe() const;  // "48000 Hz, 2 channels (stereo)"
};

// FFmpeg's AC-3 encoder opened for `format` (planar float samples), at its
// bit rate when the encoder offers it, else at the encoder's choice; null
// with `error` set when the encoder refuses the format.
TAvPtr<AVCodecContext> OpenAc3Encoder(const TAudioFormat &format, std::string &error);

// Empty with `error` set when the encoder refuses the format.
std::vector<uint8_t> MakeSilentAc3Frame(const TAudioFormat &format, std::string &error);

}  // namespace demux
