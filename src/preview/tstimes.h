// Clip durations from the time stamps of an MPEG transport stream file
// (188-byte packets, or 192-byte source packets as on AVCHD media). Only
// the start and the end of the file are read: the first program's video
// and audio streams come from its tables, the first time stamps from the
// start, the last ones from the end.
#pragma once

#include <QString>

#include <cstdint>

struct TClipTimes {
    bool TransportStream = false;  // the file is a transport stream with program tables
    bool HasVideo = false;  // the program has a video stream
    bool HasAudio = false;
    // Number of pictures times the picture duration: last presentation
    // time minus the first, plus one picture. 0 when unknown.
    std::int64_t VideoDuration = 0;
    std::int64_t PictureDuration = 0;
    // Last audio time minus the first, plus the length of the last audio
    // packet (counted in AC-3 frames where it can be). 0 when unknown.
    std::int64_t AudioDuration = 0;

    // How long the clip plays when joined to others: the video duration,
    // or for a clip without video its audio duration.
    std::int64_t Duration() const { return HasVideo ? VideoDuration : AudioDuration; }
};

// Times of the clip at path; all zero when it is not a readable transport
// stream. Knowing the picture duration takes two complete pictures.
TClipTimes ReadClipTimes(const QString &path);

// The same for a file already in memory (head and tail may be the same
// bytes): head is the start of the file, tail its end.
TClipTimes ClipTimesOf(const QByteArray &head, const QByteArray &tail);

// The duration of one frame from the smallest step between picture time
// stamps (100 ns). Where the video is interlaced and the step is one field
// (1/50 or 1/59.94 s), the two fields of each frame are stored apart and a
// frame lasts two steps.
std::int64_t FrameDurationOf(std::int64_t pictureStep, bool interlaced);
