// One continuous time line for the time stamps of a clip. Two clips joined
// by copying one after the other, or a damaged time stamp, make the video
// time stamps jump. The decoding times of pictures only go forward, by
// less than a second; where they jump, a stretch starts that is placed
// right after the pictures before it, and the audio that follows in the
// file moves with its stretch. A presentation time far from its decoding
// time is damage: the decoding time stands in for it. A clip's length is
// then its pictures times the picture duration, whatever its time stamps
// say. The demultiplexer places every picture with it; the clip probe
// follows it through a clip it finds joined, so that both agree.
#pragma once

#include <cstdint>

class TClipTimeline
{
public:
    // `pictureTicks`: one picture as probed (90 kHz), 0 if unknown.
    explicit TClipTimeline(int64_t pictureTicks) : FPictureTicks(pictureTicks) { }

    // The video time stamps in file order (`dts` is `pts` for a picture
    // without decoding time); each returns its time on the line.
    int64_t Video(int64_t pts, int64_t dts);
    int64_t Audio(int64_t pts) const { return pts + FOffset; }

    // Jumps and damaged presentation times seen.
    int Jumps() const { return FJumps; }
    // Where the first one was: the time stamps before and after it.
    int64_t FirstJumpFrom() const { return FJumpFrom; }
    int64_t FirstJumpTo() const { return FJumpTo; }

private:
    void NoteJump(int64_t from, int64_t to);

    int64_t FPictureTicks;
    int64_t FOffset = 0;
    int64_t FLastDts = 0;
    int64_t FLatest = 0;  // latest time on the line so far
    bool FAny = false;
    int FJumps = 0;
    int64_t FJumpFrom = 0, FJumpTo = 0;
};
