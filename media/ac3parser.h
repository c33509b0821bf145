// AC-3 and E-AC-3 sync frame headers: frame size, sample rate, samples and
// channel layout, to split a stream into frames and time them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct TAc3Frame
{
    uint32_t Size = 0;  // bytes, sync word included
    uint32_t SampleRate = 0;  // Hz
    uint32_t Samples = 0;  // per channel: 1536 for AC-3, 256 a block for E-AC-3
    uint32_t BitRate = 0;  // bit/s (AC-3 only; E-AC-3 frames carry their size)
    uint8_t Acmod = 0;  // audio coding mode (channel layout)
    bool Lfe = false;
    bool Enhanced = false;  // E-AC-3
    static constexpr uint32_t kSamples = 1536;
};

// The AC-3 header at `data` (8 bytes needed); nothing when it is not one
// (wrong sync word, reserved codes, or an E-AC-3 frame). Stream ids 9 and
// 10 are AC-3 at half and a quarter of the sample rate.
std::optional<TAc3Frame> ParseAc3Header(const uint8_t *data, size_t size);

// The same, also taking E-AC-3 headers (stream ids 11 to 16, 6 bytes
// needed), whose reduced-rate code 3 is reserved.
std::optional<TAc3Frame> ParseAc3OrEac3Header(const uint8_t *data, size_t size);
