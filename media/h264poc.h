// Picture order counts of H.264 pictures in decoding order (all three
// picture order count types), for presentation times computed from the
// stream itself. IDR pictures and pictures with memory management
// operation 5 begin a new order count sequence. Counts are worked out in
// 64 bits: damaged parameter sets may ask for sums no 32-bit count holds,
// and such a count is kept modulo 2^32.
#pragma once

#include <cstdint>

#include "media/h264parser.h"

struct TPictureOrder
{
    int32_t Top = 0;
    int32_t Bottom = 0;
    int32_t Poc = 0;  // of the frame, or of the field for field pictures
    bool NewSequence = false;  // counts restart here
};

class TH264PocCalculator
{
public:
    // Call for the first slice of each picture, in decoding order.
    TPictureOrder Next(const TH264SliceHeader &slice, const TH264Sps &sps);

private:
    TPictureOrder Type0(const TH264SliceHeader &slice, const TH264Sps &sps);
    TPictureOrder Type1or2(const TH264SliceHeader &slice, const TH264Sps &sps);
    int64_t FrameNumOffset(const TH264SliceHeader &slice, const TH264Sps &sps) const;

    // Type 0: from the previous reference picture.
    int64_t FPrevPocMsb = 0;
    int64_t FPrevPocLsb = 0;
    // Types 1 and 2: from the previous picture.
    int64_t FPrevFrameNumOffset = 0;
    uint32_t FPrevFrameNum = 0;
    bool FPrevMmco5 = false;
};
