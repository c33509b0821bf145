// Places the AC-3 frames of each clip on the joined audio time line so that
// audio and video stay in step at every join: clip k's audio starts where
// the video of the clips before it ends, gaps are filled with silent frames
// and frames outside the clip's video are dropped. The written audio never
// strays more than half a frame from the joined video time line, so each
// clip's audio spans its video duration to within one frame.
#pragma once

#include <cstdint>
#include <optional>

namespace demux {

constexpr int64_t kTicksPerSecond = 90000;  // MPEG-TS time stamps
constexpr int64_t kAc3FrameSamples = 1536;

class TAudioFitter
{
public:
    explicit TAudioFitter(int sampleRate) : FRate(sampleRate) { }

    // A clip whose video starts at time stamp `videoStartPts` and lasts
    // `videoDuration` ticks; it is placed after the clips already finished.
    void BeginClip(int64_t videoStartPts, int64_t videoDuration);

    struct TPlacement
    {
        int SilentBefore = 0;  // silent frames to write before this frame
        bool Keep = false;  // write the frame itself
    };
    // Where the next frame of the clip goes; a frame without time stamp
    // follows the audio written so far.
    TPlacement Place(std::optional<int64_t> pts);
    // Silent frames that complete the clip's audio up to its video end.
    int FinishClip();

    int64_t VideoEndTicks() const { return FClipStart + FClipDuration; }
    int64_t WrittenSamples() const { return FWritten; }
    int SampleRate() const { return FRate; }

private:
    int64_t TicksToSamples(int64_t ticks) const;
    bool FitsBeforeClipEnd() const;

    int FRate;
    int64_t FClipStart = 0;  // joined ticks where the current clip starts
    int64_t FClipDuration = 0;  // its video duration in ticks
    int64_t FVideoStartPts = 0;
    int64_t FWritten = 0;  // samples written on the joined time line
};

}  // namespace demux
