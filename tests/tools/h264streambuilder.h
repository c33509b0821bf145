// H.264 NAL units built bit by bit for the tools' tests: a field-coded
// sequence parameter set, a picture parameter set and slice headers of
// field pictures (headers only: the tools never decode slice data).
#pragma once

#include <cstdint>
#include <string>

#include "media/bitwriter.h"

namespace h264build {

class TNalBuilder
{
public:
    TNalBuilder &u(uint32_t value, int bits)
    {
        if (bits > 0)
            w_.Put(value, bits);
        return *this;
    }
    TNalBuilder &ue(uint32_t value)
    {
        int bits = 0;
        while ((value + 1) >> (bits + 1))
            ++bits;
        u(0, bits);
        return u(value + 1, bits + 1);
    }
    TNalBuilder &se(int32_t value) { return ue(value > 0 ? uint32_t(2 * value - 1) : uint32_t(-2 * value)); }
    // Stop bit, alignment and emulation prevention, behind a start code.
    std::string finish(uint8_t header)
    {
        u(1, 1);
        while (w_.BitCount() % 8)
            u(0, 1);
        std::string out("\0\0\0\1", 4);
        out += char(header);
        int zeros = 0;
        for (uint8_t b : w_.Bytes()) {
            if (zeros >= 2 && b <= 3) {
                out += '\3';
                zeros = 0;
            }
            zeros = b == 0 ? zeros + 1 : 0;
            out += char(b);
        }
        return out + "\xAB\xCD";  // stands for slice data
    }

private:
    TBitWriter w_;
};

inline std::string sps()
{
    return TNalBuilder()
        .u(77, 8)
        .u(0, 8)
        .u(40, 8)
        .ue(0)  // Main profile, level 4, id 0
        .ue(0)  // 4-bit frame_num
        .ue(0)
        .ue(2)  // POC type 0, 6-bit lsb
        .ue(2)
        .u(0, 1)  // two references
        .ue(19)
        .ue(5)  // 320 x 192
        .u(0, 1)
        .u(0, 1)  // field coding allowed, no MBAFF
        .u(1, 1)
        .u(0, 1)
        .u(0, 1)  // direct 8x8, no cropping, no VUI
        .finish(0x67);
}

inline std::string pps()
{
    return TNalBuilder()
        .ue(0)
        .ue(0)
        .u(0, 1)
        .u(0, 1)
        .ue(0)
        .ue(0)
        .ue(0)
        .u(0, 1)
        .u(0, 2)
        .se(0)
        .se(0)
        .se(0)
        .u(1, 1)
        .u(0, 1)
        .u(0, 1)
        .finish(0x68);
}

enum class EKind { Idr, I, P, B };

inline std::string field(EKind kind, bool bottom, uint32_t frameNum, uint32_t pocLsb)
{
    bool reference = kind != EKind::B;
    uint32_t sliceType = kind == EKind::P ? 5 : kind == EKind::B ? 6 : 7;
    TNalBuilder b;
    b.ue(0).ue(sliceType).ue(0).u(frameNum, 4).u(1, 1).u(bottom ? 1 : 0, 1);
    if (kind == EKind::Idr)
        b.ue(0);
    b.u(pocLsb, 6);
    if (reference) {
        if (kind == EKind::P)
            b.u(0, 1).u(0, 1);  // no override, no list modification
        b.u(0, kind == EKind::Idr ? 2 : 1);  // reference marking
    }
    uint8_t header = uint8_t((reference ? 0x60 : 0x00) | (kind == EKind::Idr ? 5 : 1));
    return b.finish(header);
}

}  // namespace h264build
