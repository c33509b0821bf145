#include "tools/mux/transportbuffer.h"

#include "tools/common/tspacketwriter.h"
#include "media/h264levels.h"

namespace {

constexpr uint64_t kTicksPerSecond = 27000000;
constexpr uint64_t kBufferBits = 512 * 8;
constexpr uint64_t kPacketBits = kTsPacketSize * 8;
// The fullest the buffer may be when a packet arrives.
constexpr uint64_t kArrivalLimit = (kBufferBits - kPacketBits) * kTicksPerSecond;

}  // namespace

uint64_t H264LeakRate(const TH264Sps &sps)
{
    const uint64_t maxRate = sps.NalHrdBitRate.value_or(LevelMaxNalBitRate(sps));
    return maxRate * 6 / 5;
}

uint64_t TTransportBuffer::LevelAt(uint64_t t27) const
{
    const uint64_t elapsed = t27 > FTime ? t27 - FTime : 0;
    const unsigned __int128 drained = static_cast<unsigned __int128>(FRate) * elapsed;
    return drained >= FLevel ? 0 : FLevel - static_cast<uint64_t>(drained);
}

void TTransportBuffer::Arrive(uint64_t t27)
{
    if (FRate == 0)
        return;
    FLevel = LevelAt(t27) + kPacketBits * kTicksPerSecond;
    FTime = t27;
    FReadyTime = FLevel <= kArrivalLimit ? t27 : t27 + (FLevel - kArrivalLimit + FRate - 1) / FRate;
}
