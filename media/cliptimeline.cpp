#include "media/cliptimeline.h"

#include <algorithm>
#include <cstdlib>

#include "media/tspackets.h"

namespace {

// Pictures are stored out of display order by less than a second; a
// larger step between two of them is a jump of the clock.
constexpr int64_t kLargestStep = kTsTicksPerSecond;

}  // namespace

void TClipTimeline::NoteJump(int64_t from, int64_t to)
{
    if (FJumps++ > 0)
        return;
    FJumpFrom = from;
    FJumpTo = to;
}

int64_t TClipTimeline::Video(int64_t pts, int64_t dts)
{
    if (std::llabs(pts - dts) > kLargestStep) {
        NoteJump(dts, pts);
        pts = dts;
    }
    if (FAny && (dts < FLastDts || dts - FLastDts > kLargestStep)) {
        NoteJump(FLastDts, dts);
        FOffset = FLatest + FPictureTicks - pts;
    }
    FLastDts = dts;
    const int64_t time = pts + FOffset;
    FLatest = FAny ? std::max(FLatest, time) : time;
    FAny = true;
    return time;
}
