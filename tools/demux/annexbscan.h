// Small reads of H.264 Annex B byte streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "media/h264parser.h"

namespace demux {

// True when a sequence and a picture parameter set come before the first
// coded slice of `data` (or `data` has no slice at all but holds both).
bool HasParameterSetsBeforeFirstPicture(const uint8_t *data, size_t size);

// True when `data` starts with an Annex B start code.
bool StartsWithStartCode(const uint8_t *data, size_t size);

// Counts the frames of an Annex B stream fed piece by piece: a frame
// picture, or two fields of one frame, however the pieces split them.
class TPictureCounter
{
public:
    void Add(const uint8_t *data, size_t size);
    int64_t Frames() const { return FFrames; }
    // Frames whose slice header could be read with known parameter sets.
    int64_t ReadableFrames() const { return FReadableFrames; }

private:
    void AddPicture(const uint8_t *nal, size_t size);

    TH264ParamSets FParams;
    std::optional<TH264SliceHeader> FOpenField;  // a first field still waiting for its pair
    int64_t FFrames = 0;
    int64_t FReadableFrames = 0;
};

}  // namespace demux
