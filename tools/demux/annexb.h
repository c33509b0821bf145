// Small reads of H.264 Annex B byte streams.
#pragma once

#include <cstddef>
#include <cstdint>

namespace demux {

// True when a sequence and a picture parameter set come before the first
// coded slice of `data` (or `data` has no slice at all but holds both).
bool HasParameterSetsBeforeFirstPicture(const uint8_t* data, size_t size);

// True when `data` starts with an Annex B start code.
bool StartsWithStartCode(const uint8_t* data, size_t size);

}  // namespace demux
