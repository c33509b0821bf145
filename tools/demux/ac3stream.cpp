#include "ac3stream.h"

#include "audiofitter.h"

namespace demux {

namespace {

constexpr int kBitRates[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr size_t kHeaderSize = 6;

}  // namespace

size_t Ac3FrameSize(const uint8_t* data, size_t size) {
  if (size < kHeaderSize || data[0] != 0x0b || data[1] != 0x77) return 0;
  const int fscod = data[4] >> 6, frmsizecod = data[4] & 0x3f, bsid = data[5] >> 3;
  if (fscod == 3 || frmsizecod >= 38 || bsid > 8) return 0;
  const int kbps = kBitRates[frmsizecod / 2];
  size_t words = 0;
  switch (fscod) {
    case 0: words = static_cast<size_t>(kbps) * 2; break;  // 48 kHz
    case 1: words = static_cast<size_t>(kbps) * 1536000 / 44100 / 16 + (frmsizecod & 1); break;
    default: words = static_cast<size_t>(kbps) * 3; break;  // 32 kHz
  }
  return words * 2;
}

void TAc3Stream::Clear() {
  FBytes.clear();
  FMarks.clear();
  FSkipped = 0;
}

void TAc3Stream::AddPes(const uint8_t* data, size_t size, std::optional<int64_t> pts) {
  if (pts) FMarks.push_back({FBytes.size(), *pts});
  FBytes.insert(FBytes.end(), data, data + size);
}

std::vector<TAc3Stream::TFrame> TAc3Stream::Frames(int sampleRate) {
  std::vector<TFrame> frames;
  size_t mark = 0;  // next time stamp mark not yet given to a frame
  std::optional<int64_t> basePts;
  int64_t sinceBase = 0;  // frames since the one that carried basePts
  size_t at = 0;
  while (at + kHeaderSize <= FBytes.size()) {
    size_t size = Ac3FrameSize(FBytes.data() + at, FBytes.size() - at);
    if (size == 0) {
      ++FSkipped;
      ++at;
      continue;
    }
    if (at + size > FBytes.size()) break;
    // The latest mark at or before this frame's start, if no earlier frame
    // has taken it, stamps this frame.
    bool stamped = false;
    while (mark < FMarks.size() && FMarks[mark].Offset <= at) {
      basePts = FMarks[mark++].Pts;
      stamped = true;
    }
    if (stamped) sinceBase = 0;
    std::optional<int64_t> pts;
    if (basePts) pts = *basePts + sinceBase * kAc3FrameSamples * kTicksPerSecond / sampleRate;
    frames.push_back({at, size, pts});
    ++sinceBase;
    at += size;
  }
  FSkipped += FBytes.size() - at;
  return frames;
}

}  // namespace demux
