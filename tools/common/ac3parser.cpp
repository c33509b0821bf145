#include "common/ac3parser.h"

namespace {

constexpr uint16_t kBitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                    192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr uint32_t kSampleRates[3] = {48000, 44100, 32000};

// Frame size in 16-bit words for 44.1 kHz; the rate table repeats per pair.
uint32_t frameWords(uint32_t fscod, uint32_t frmsizecod) {
  uint32_t kbps = kBitRates[frmsizecod / 2];
  switch (fscod) {
    case 0: return kbps * 2;
    case 1: return kbps * 320 / 147 + (frmsizecod & 1);
    default: return kbps * 3;
  }
}

}  // namespace

std::optional<TAc3Frame> parseAc3Header(const uint8_t* data, size_t size) {
  if (size < 8 || data[0] != 0x0B || data[1] != 0x77) return std::nullopt;
  uint32_t fscod = data[4] >> 6;
  uint32_t frmsizecod = data[4] & 0x3F;
  uint32_t bsid = data[5] >> 3;
  if (fscod == 3 || frmsizecod >= 38 || bsid > 10) return std::nullopt;
  TAc3Frame frame;
  frame.sampleRate = kSampleRates[fscod];
  frame.bitRate = uint32_t(kBitRates[frmsizecod / 2]) * 1000;
  frame.size = frameWords(fscod, frmsizecod) * 2;
  frame.acmod = data[6] >> 5;
  // lfeon follows acmod and the optional mix level fields.
  int bit = 3;
  if ((frame.acmod & 1) && frame.acmod != 1) bit += 2;
  if (frame.acmod & 4) bit += 2;
  if (frame.acmod == 2) bit += 2;
  frame.lfe = (((data[6] << 8) | data[7]) >> (15 - bit)) & 1;
  return frame;
}
