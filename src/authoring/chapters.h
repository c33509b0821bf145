// The chapter list of a disc: one start time per clip, as the muxer's
// --custom-chapters option wants them.
#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Gap between two clips in the joined streams, in 100 ns. The demultiplexer
// joins the clips without any gap (each clip's audio is fitted to its
// video) and a clip's duration is its exact video duration, so a clip starts
// at the plain sum of the durations before it; any gap here would put each
// chapter further after the start of its clip.
inline constexpr int64_t kChapterGapBetweenClips = 0;

// Chapter start times, "HH:MM:SS.mmm", in the order of the disc's clips.
class TChapters : public QList<QByteArray>
{
public:
    // The texts joined by ";" (empty for no chapter).
    QByteArray getmetastring() const;
};
