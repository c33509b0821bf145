#include "media/h264levels.h"

namespace {

struct TLevelLimit
{
    uint8_t LevelIdc;
    uint32_t MaxBitRate;  // MaxBR of Table A-1, in units of cpbBrNalFactor bit/s
};

// Level 1b is coded as 9 (or as 11 with constraint_set3_flag, taken here
// for level 1.1, the higher of the two).
constexpr TLevelLimit kLevels[] = {
    {9, 128},     {10, 64},     {11, 192},    {12, 384},    {13, 768},    {20, 2000},   {21, 4000},
    {22, 4000},   {30, 10000},  {31, 14000},  {32, 20000},  {40, 20000},  {41, 50000},  {42, 50000},
    {50, 135000}, {51, 240000}, {52, 240000}, {60, 240000}, {61, 480000}, {62, 800000},
};

// cpbBrNalFactor of Table A-2: the High profiles allow more bits per MaxBR unit.
uint32_t NalFactor(uint8_t profileIdc)
{
    switch (profileIdc) {
    case 100: return 1500;  // High
    case 110: return 3600;  // High 10
    case 122:  // High 4:2:2
    case 244:  // High 4:4:4 Predictive
    case 44: return 4800;  // CAVLC 4:4:4 Intra
    default: return 1200;  // Baseline, Main, Extended
    }
}

}  // namespace

uint64_t LevelMaxNalBitRate(const TH264Sps &sps)
{
    for (const TLevelLimit &level : kLevels)
        if (level.LevelIdc == sps.LevelIdc)
            return uint64_t(level.MaxBitRate) * NalFactor(sps.ProfileIdc);
    return 0;
}
