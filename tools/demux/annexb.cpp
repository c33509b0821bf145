#include "annexb.h"

namespace demux {

namespace {

enum : int { kNalSliceFirst = 1, kNalSliceIdr = 5, kNalSps = 7, kNalPps = 8 };

}  // namespace

bool StartsWithStartCode(const uint8_t* data, size_t size) {
  return (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) ||
         (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
}

bool HasParameterSetsBeforeFirstPicture(const uint8_t* data, size_t size) {
  bool sps = false, pps = false;
  for (size_t i = 0; i + 3 < size; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    int type = data[i + 3] & 0x1f;
    if (type >= kNalSliceFirst && type <= kNalSliceIdr) return sps && pps;
    sps = sps || type == kNalSps;
    pps = pps || type == kNalPps;
    i += 2;
  }
  return sps && pps;
}

}  // namespace demux
