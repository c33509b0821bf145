// What the disc structure files say about the one clip of the disc: its
// streams, its time span and its entry points.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr uint16_t kSitPid = 0x001F;
constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kPcrPid = 0x1001;
constexpr uint16_t kVideoPid = 0x1011;
constexpr uint16_t kAudioPid = 0x1100;
constexpr uint8_t kStreamTypeH264 = 0x1B;
constexpr uint8_t kStreamTypeAc3 = 0x81;
constexpr uint32_t kAlignedUnitPackets = 32;  // 6144 bytes, read as one unit

struct TEpEntry {
  uint64_t pts90 = 0;      // 33-bit presentation time of the I or IDR picture
  uint32_t spn = 0;        // source packet where its PES packet starts
  uint32_t lastSpn = 0;    // source packet holding the picture's last byte
};

struct TVideoAttributes {
  uint8_t format = 0;  // 1 480i, 2 576i... (disc video format code)
  uint8_t rate = 0;    // disc frame rate code
  uint8_t aspect = 3;  // 3: 16:9, 2: 4:3
};

struct TAudioAttributes {
  uint8_t format = 3;  // 1 mono, 3 stereo, 6 multi-channel
  uint8_t rate = 1;    // 1: 48 kHz
};

struct TClipSummary {
  std::string version;  // "0100" for AVCHD, "0200" for Blu-ray
  uint16_t pcrPid = kPcrPid;
  uint32_t inTime45 = 0;
  uint32_t outTime45 = 0;
  uint32_t sourcePackets = 0;
  uint32_t recordingRate = 0;  // bytes per second
  TVideoAttributes video;
  std::optional<TAudioAttributes> audio;
  std::vector<TEpEntry> entryPoints;
  std::vector<uint32_t> chapterTimes45;  // playlist marks, absolute times
};

// Movie objects of MovieObject.bdmv, as index.bdmv refers to them.
constexpr uint16_t kTitleObject = 0;
constexpr uint16_t kFirstPlayObject = 1;
constexpr uint16_t kTopMenuObject = 2;
constexpr uint16_t kMovieObjectCount = 3;

std::vector<uint8_t> buildIndexFile(const TClipSummary& clip);
std::vector<uint8_t> buildMovieObjectFile(const TClipSummary& clip);
std::vector<uint8_t> buildPlaylistFile(const TClipSummary& clip);
std::vector<uint8_t> buildClipInfoFile(const TClipSummary& clip);
