#include "cliptimeline.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace demux {

namespace {

// Pictures are stored out of display order by less than a second; a
// larger step between two of them is a jump of the clock.
constexpr int64_t kLargestStep = 90000;

}  // namespace

void TClipTimeline::NoteJump(int64_t from, int64_t to) {
  if (FJumps++ > 0) return;
  FJumpFrom = from;
  FJumpTo = to;
}

int64_t TClipTimeline::Video(int64_t pts, int64_t dts) {
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

int64_t PicturesDuration(std::vector<int64_t>& times, int64_t pictures, int64_t probedPictureTicks) {
  std::sort(times.begin(), times.end());
  std::map<int64_t, int64_t> steps;  // step -> how often
  for (size_t i = 1; i < times.size(); ++i)
    if (int64_t gap = times[i] - times[i - 1]; gap > 0) ++steps[gap];
  int64_t step = probedPictureTicks, seen = 0;
  for (const auto& [gap, count] : steps)
    if (count > seen) {
      step = gap;
      seen = count;
    }
  // No picture lasts a second: a longer step comes from damage, and would
  // make the clip ask for that much silence per picture.
  return step > 0 && step <= kLargestStep ? pictures * step : 0;
}

}  // namespace demux
