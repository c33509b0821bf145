// How long a clip plays, from the time stamps of an MPEG transport stream
// (188-byte packets, or 192-byte source packets as on AVCHD media).
//
// The rule: a clip lasts its pictures times the picture step, the step
// being the most common gap between the sorted presentation times of its
// pictures. The demultiplexer applies it to every picture of a clip when
// it joins clips; the application applies it to the pictures at the two
// ends of the file when it places the chapters, so both agree on where
// each clip starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The picture step (90 kHz) of the presentation times `times`: a picture,
// or a field where fields are carried apart; `probedStep` when no two
// times differ. 0 when unknown or longer than a second (damage). Sorts
// `times`.
int64_t PictureStepOf(std::vector<int64_t> &times, int64_t probedStep);

// How long `pictures` pictures last (90 kHz) by the picture step of
// `times`, taken as the usual frame or field duration within a tick of it
// (1501.5 ticks at 59.94 pictures a second). With `pictures` 0, `times` are those of the first and the last
// pictures only, and the pictures are the steps from the earliest time to
// the latest, plus one. Sorts `times`.
int64_t ClipDuration(std::vector<int64_t> &times, int64_t pictures, int64_t probedStep);

// The duration of one frame from the picture step (any unit): where the
// video is interlaced and the step is one field (1/50 or 1/59.94 s in
// 100 ns), the two fields of each frame are stored apart and a frame
// lasts two steps.
int64_t FrameDurationOf(int64_t pictureStep, bool interlaced);

struct TClipTimes
{
    bool TransportStream = false;  // the file is a transport stream with program tables
    bool HasVideo = false;  // the program has a video stream
    bool HasAudio = false;
    // The pictures' duration by the clip timing rule, and the picture step,
    // in 100 ns. 0 when unknown.
    int64_t VideoDuration = 0;
    int64_t PictureDuration = 0;
    // Last audio time minus the first, plus the length of the last audio
    // packet (counted in AC-3 frames where it can be). 0 when unknown.
    int64_t AudioDuration = 0;

    // How long the clip plays when joined to others: the video duration,
    // or for a clip without video its audio duration.
    int64_t Duration() const { return HasVideo ? VideoDuration : AudioDuration; }
};

// Times from the start and the end of a stream already in memory (head
// and tail may be the same bytes). `HeadEnough` and `TailEnough`: a larger
// window at that end would not change the result.
struct TClipTimesReading
{
    TClipTimes Times;
    bool HeadEnough = false;
    bool TailEnough = false;
    int VideoPid = -1;  // of the program at the start
    int64_t PictureTicks = 0;  // the picture step in 90 kHz ticks, 0 when unknown
};
TClipTimesReading ReadClipTimesOf(std::span<const uint8_t> head, std::span<const uint8_t> tail);

// Times of the clip in the file at `path`; all zero when it is not a
// readable transport stream. Only the start and the end of the file are
// read, each window doubled until it holds enough time stamps, and a few
// windows along it to check that the pictures' time goes forward in step
// with the bytes, in one program. Where it does not (clips joined by
// copying: time stamps starting again, or other PIDs), the whole file is
// read and its pictures placed on one time line as the demultiplexer
// places them (media/cliptimeline.h), so that both give the same duration.
TClipTimes ReadClipTimesOfFile(const std::string &path);
