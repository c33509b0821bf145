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

struct TMuxOptions {
  std::vector<uint64_t> chaptersMs;  // --custom-chapters, milliseconds
  bool avchd = false;                // --avchd: AVCHD "0100" structure versions
  bool pcrOnOwnPid = false;          // --no-pcr-on-video-pid
  bool newAudioPes = false;          // --new-audio-pes
  bool vbr = false;                  // --vbr
  uint32_t vbvLenMs = 500;           // --vbv-len
};

enum class ETrackKind { Video, Audio };

struct TTrack {
  ETrackKind kind = ETrackKind::Video;
  std::string path;
  std::string fps = "25";
  bool insertSei = false;
  bool contSps = false;
};

struct TMetaFile {
  TMuxOptions options;
  std::vector<TTrack> tracks;
  std::vector<std::string> notes;  // options that were ignored, for the user
};

// Throws std::runtime_error with a message naming the line at fault.
TMetaFile parseMetaFile(const std::string& text);
// Throws std::runtime_error naming the file when it cannot be read.
TMetaFile readMetaFile(const std::string& path);
// "HH:MM:SS.mmm" (or "SS.mmm", "MM:SS") to milliseconds; throws when invalid.
uint64_t parseChapterTime(const std::string& text);
