#include "annexb.h"

#include <cstring>
#include <stdexcept>

namespace demux {

namespace {

enum : int { kNalSliceFirst = 1, kNalSliceIdr = 5, kNalSps = 7, kNalPps = 8 };

// Calls `visit(nal, size)` for each NAL unit of `data` (start code left
// out) until it returns false.
template <typename TVisit>
void ForEachNal(const uint8_t* data, size_t size, TVisit visit) {
  const uint8_t* end = data + size;
  auto nextStart = [end](const uint8_t* from) -> const uint8_t* {
    while (from + 3 <= end) {
      auto* one = static_cast<const uint8_t*>(std::memchr(from + 2, 1, size_t(end - from - 2)));
      if (!one) return end;
      if (one[-1] == 0 && one[-2] == 0) return one - 2;
      from = one - 1;
    }
    return end;
  };
  const uint8_t* start = nextStart(data);
  while (start < end) {
    const uint8_t* nal = start + 3;
    const uint8_t* next = nextStart(nal);
    const uint8_t* last = next;
    while (last > nal && last[-1] == 0) --last;  // trailing zeros: part of the next start code
    if (last > nal && !visit(nal, size_t(last - nal))) return;
    start = next;
  }
}

}  // namespace

bool StartsWithStartCode(const uint8_t* data, size_t size) {
  return (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) ||
         (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
}

bool HasParameterSetsBeforeFirstPicture(const uint8_t* data, size_t size) {
  bool sps = false, pps = false;
  ForEachNal(data, size, [&](const uint8_t* nal, size_t) {
    int type = nal[0] & 0x1f;
    if (type >= kNalSliceFirst && type <= kNalSliceIdr) return false;
    sps = sps || type == kNalSps;
    pps = pps || type == kNalPps;
    return true;
  });
  return sps && pps;
}

void TPictureCounter::Add(const uint8_t* data, size_t size) {
  ForEachNal(data, size, [this](const uint8_t* nal, size_t nalSize) {
    int type = nal[0] & 0x1f;
    try {
      if (type == kNalSps) FParams.addSps(nal, nalSize);
      if (type == kNalPps) FParams.addPps(nal, nalSize);
    } catch (const std::runtime_error&) {
      // A damaged set: pictures that use it count as frames below.
    }
    // The first slice of a picture begins at macroblock 0: its first byte
    // after the NAL header has the top bit set (first_mb_in_slice ue(v) = 0).
    if (type >= kNalSliceFirst && type <= kNalSliceIdr && nalSize > 1 && (nal[1] & 0x80))
      AddPicture(nal, nalSize);
    return true;
  });
}

void TPictureCounter::AddPicture(const uint8_t* nal, size_t size) {
  TH264SliceHeader slice;
  try {
    slice = FParams.parseSlice(nal, size);
  } catch (const std::runtime_error&) {
    ++FFrames;  // unreadable header: taken as a frame of its own
    FOpenField.reset();
    return;
  }
  if (FOpenField && isSecondField(*FOpenField, slice)) {
    FOpenField.reset();
    return;
  }
  ++FFrames;
  if (slice.fieldPic)
    FOpenField = slice;
  else
    FOpenField.reset();
}

}  // namespace demux
