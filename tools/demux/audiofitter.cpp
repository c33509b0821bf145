#include "tools/demux/audiofitter.h"

namespace demux {

namespace {
constexpr int64_t kHalfFrame = kAc3FrameSamples / 2;
}

int64_t TAudioFitter::TicksToSamples(int64_t ticks) const
{
    // Rounded to the nearest sample, for negative offsets too.
    int64_t scaled = ticks * FRate;
    return scaled >= 0 ? (scaled + kTicksPerSecond / 2) / kTicksPerSecond
                       : -((-scaled + kTicksPerSecond / 2) / kTicksPerSecond);
}

void TAudioFitter::BeginClip(int64_t videoStartPts, int64_t videoDuration)
{
    FClipStart += FClipDuration;
    FClipDuration = videoDuration > 0 ? videoDuration : 0;
    FVideoStartPts = videoStartPts;
}

bool TAudioFitter::FitsBeforeClipEnd() const
{
    // A frame is written when it ends no later than half a frame past the
    // clip's video end.
    return FWritten + kHalfFrame <= TicksToSamples(VideoEndTicks());
}

TAudioFitter::TPlacement TAudioFitter::Place(std::optional<int64_t> pts)
{
    TPlacement placement;
    int64_t start = pts ? TicksToSamples(FClipStart + (*pts - FVideoStartPts)) : FWritten;
    if (start < FWritten - kHalfFrame)
        return placement;  // before the clip, or overlapping
    while (start - FWritten >= kHalfFrame && FitsBeforeClipEnd()) {
        ++placement.SilentBefore;
        FWritten += kAc3FrameSamples;
    }
    placement.Keep = FitsBeforeClipEnd();
    if (placement.Keep)
        FWritten += kAc3FrameSamples;
    return placement;
}

int TAudioFitter::FinishClip()
{
    int silent = 0;
    while (FitsBeforeClipEnd()) {
        ++silent;
        FWritten += kAc3FrameSamples;
    }
    return silent;
}

}  // namespace demux
