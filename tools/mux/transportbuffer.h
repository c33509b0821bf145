// The transport buffer the system target decoder of MPEG-2 systems (the
// T-STD) puts in front of each elementary stream and of the system
// information: 512 bytes, emptied at a fixed rate Rx. A packet may arrive
// only when all its 188 bytes fit, so a stream's packets must be spread
// out in time however fast the transport stream runs.
#pragma once

#include <cstdint>

#include "media/h264parser.h"

// Rx of AC-3 audio and of the system information, in bit/s.
constexpr uint64_t kAc3LeakRate = 2000000;
constexpr uint64_t kSystemLeakRate = 1000000;

// Rx of an H.264 stream, in bit/s: 1.2 times the highest rate of its NAL
// HRD parameters or, without them, the highest its profile and level
// allow; 0 (no limit) for a level H.264 does not define.
uint64_t H264LeakRate(const TH264Sps &sps);

class TTransportBuffer
{
public:
    // `leakRate` in bit/s; 0 puts no limit on arrivals.
    explicit TTransportBuffer(uint64_t leakRate = 0) : FRate(leakRate) { }

    // The first time (27 MHz) from `t27` on at which a packet fits.
    uint64_t ReadyAt(uint64_t t27) const { return t27 > FReadyTime ? t27 : FReadyTime; }
    // A packet arrives at `t27`, which ReadyAt allowed.
    void Arrive(uint64_t t27);

private:
    // Fill levels in bits times 27,000,000, so that a rate in bit/s is also
    // what leaves per tick.
    uint64_t LevelAt(uint64_t t27) const;

    uint64_t FRate;
    uint64_t FLevel = 0;  // at FTime
    uint64_t FTime = 0;
    uint64_t FReadyTime = 0;  // when the next packet fits
};
