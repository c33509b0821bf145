#include "media/ac3parser.h"

namespace {

constexpr uint16_t kBitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                    192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr uint32_t kSampleRates[3] = {48000, 44100, 32000};
constexpr uint32_t kEac3Blocks[4] = {1, 2, 3, 6};
constexpr uint32_t kBlockSamples = 256;
constexpr uint32_t kLastAc3Bsid = 10;

// Frame size in 16-bit words; at 44.1 kHz the odd size codes pad a word.
uint32_t FrameWords(uint32_t fscod, uint32_t frmsizecod)
{
    uint32_t kbps = kBitRates[frmsizecod / 2];
    switch (fscod) {
    case 0: return kbps * 2;
    case 1: return kbps * 320 / 147 + (frmsizecod & 1);
    default: return kbps * 3;
    }
}

bool HasSyncWord(const uint8_t *data)
{
    return data[0] == 0x0B && data[1] == 0x77;
}

uint32_t BsidOf(const uint8_t *data)
{
    return data[5] >> 3;
}

std::optional<TAc3Frame> Ac3Header(const uint8_t *data)
{
    const uint32_t fscod = data[4] >> 6, frmsizecod = data[4] & 0x3F, bsid = BsidOf(data);
    if (fscod == 3 || frmsizecod >= 38)
        return std::nullopt;
    const uint32_t rateShift = bsid > 8 ? bsid - 8 : 0;
    TAc3Frame frame;
    frame.SampleRate = kSampleRates[fscod] >> rateShift;
    frame.BitRate = (uint32_t(kBitRates[frmsizecod / 2]) * 1000) >> rateShift;
    frame.Size = FrameWords(fscod, frmsizecod) * 2;
    frame.Samples = TAc3Frame::kSamples;
    frame.Acmod = data[6] >> 5;
    // lfeon follows acmod and the optional mix level fields.
    int bit = 3;
    if ((frame.Acmod & 1) && frame.Acmod != 1)
        bit += 2;
    if (frame.Acmod & 4)
        bit += 2;
    if (frame.Acmod == 2)
        bit += 2;
    frame.Lfe = (((data[6] << 8) | data[7]) >> (15 - bit)) & 1;
    return frame;
}

std::optional<TAc3Frame> Eac3Header(const uint8_t *data)
{
    TAc3Frame frame;
    frame.Enhanced = true;
    frame.Size = ((((data[2] & 0x07) << 8) | data[3]) + 1) * 2;
    const uint32_t fscod = data[4] >> 6, code = (data[4] >> 4) & 3;
    if (fscod == 3) {
        if (code == 3)
            return std::nullopt;  // reserved reduced rate
        frame.SampleRate = kSampleRates[code] / 2;
        frame.Samples = 6 * kBlockSamples;
    } else {
        frame.SampleRate = kSampleRates[fscod];
        frame.Samples = kEac3Blocks[code] * kBlockSamples;
    }
    frame.Acmod = (data[4] >> 1) & 7;
    frame.Lfe = data[4] & 1;
    return frame;
}

}  // namespace

std::optional<TAc3Frame> ParseAc3Header(const uint8_t *data, size_t size)
{
    if (size < 8 || !HasSyncWord(data) || BsidOf(data) > kLastAc3Bsid)
        return std::nullopt;
    return Ac3Header(data);
}

std::optional<TAc3Frame> ParseAc3OrEac3Header(const uint8_t *data, size_t size)
{
    if (size < 6 || !HasSyncWord(data))
        return std::nullopt;
    if (BsidOf(data) > kLastAc3Bsid)
        return BsidOf(data) <= 16 ? Eac3Header(data) : std::nullopt;
    return ParseAc3Header(data, size);
}
