// The muxer's meta file: an MUXOPT line of options and one line per
// elementary stream track, e.g.
//   MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters=00:00:00.000;00:01:10.120 --vbv-len=500
//   V_MPEG4/ISO/AVC, "/flux/clip.h264", fps=25, insertSEI, contSPS
//   A_AC3, "/flux/clip.ac3"
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TMuxOptions
{
    std::vector<uint64_t> ChaptersMs;  // --custom-chapters, milliseconds
    bool Avchd = false;  // --avchd: AVCHD "0100" structure versions
    bool PcrOnOwnPid = false;  // --no-pcr-on-video-pid
    bool NewAudioPes = false;  // --new-audio-pes
    bool Vbr = false;  // --vbr
    uint32_t VbvLenMs = 500;  // --vbv-len
};

enum class ETrackKind { Video, Audio };

struct TTrack
{
    ETrackKind Kind = ETrackKind::Video;
    std::string Path;
    std::string Fps = "25";
    bool InsertSei = false;
    bool ContSps = false;
};

struct TMetaFile
{
    TMuxOptions Options;
    std::vector<TTrack> Tracks;
    std::vector<std::string> Notes;  // options that were ignored, for the user
};

// Throws std::runtime_error with a message naming the line at fault.
TMetaFile ParseMetaFile(const std::string &text);
// Throws std::runtime_error naming the file when it cannot be read.
TMetaFile ReadMetaFile(const std::string &path);
// "HH:MM:SS.mmm" (or "SS.mmm", "MM:SS") to milliseconds; throws when invalid.
uint64_t ParseChapterTime(const std::string &text);
