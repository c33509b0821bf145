#include "tools/demux/annexbscan.h"

#include <stdexcept>

#include "media/annexb.h"

namespace demux {

bool StartsWithStartCode(const uint8_t *data, size_t size)
{
    return (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1)
           || (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
}

bool HasParameterSetsBeforeFirstPicture(const uint8_t *data, size_t size)
{
    bool sps = false, pps = false;
    ForEachNal(data, size, [&](const uint8_t *nal, size_t) {
        const uint8_t type = NalType(nal);
        if (IsVclNal(type))
            return false;
        sps = sps || type == uint8_t(EH264Nal::Sps);
        pps = pps || type == uint8_t(EH264Nal::Pps);
        return true;
    });
    return sps && pps;
}

void TPictureCounter::Add(const uint8_t *data, size_t size)
{
    ForEachNal(data, size, [this](const uint8_t *nal, size_t nalSize) {
        const uint8_t type = NalType(nal);
        try {
            if (type == uint8_t(EH264Nal::Sps))
                FParams.AddSps(nal, nalSize);
            if (type == uint8_t(EH264Nal::Pps))
                FParams.AddPps(nal, nalSize);
        } catch (const std::runtime_error &) {
            // A damaged set: pictures that use it count as frames below.
        }
        // The first slice of a picture begins at macroblock 0: its first byte
        // after the NAL header has the top bit set (first_mb_in_slice ue(v) = 0).
        if (IsVclNal(type) && nalSize > 1 && (nal[1] & 0x80))
            AddPicture(nal, nalSize);
        return true;
    });
}

void TPictureCounter::AddPicture(const uint8_t *nal, size_t size)
{
    TH264SliceHeader slice;
    try {
        slice = FParams.ParseSlice(nal, size);
    } catch (const std::runtime_error &) {
        ++FFrames;  // unreadable header: taken as a frame of its own
        FOpenField.reset();
        return;
    }
    if (FOpenField && IsSecondField(*FOpenField, slice)) {
        FOpenField.reset();
        return;
    }
    ++FFrames;
    ++FReadableFrames;
    if (slice.FieldPic)
        FOpenField = slice;
    else
        FOpenField.reset();
}

}  // namespace demux
