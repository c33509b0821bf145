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

struct TEpEntry
{
    uint64_t Pts90 = 0;  // 33-bit presentation time of the I or IDR picture
    uint32_t Spn = 0;  // source packet where its PES packet starts
    uint32_t LastSpn = 0;  // source packet holding the picture's last byte
};

// Video format codes of the clip info, the playlist and the PMT's HDMV
// registration descriptor: lines and scanning.
enum class EVideoFormat : uint8_t {
    Unknown = 0,
    Interlaced480 = 1,
    Interlaced576 = 2,
    Progressive480 = 3,
    Interlaced1080 = 4,
    Progressive720 = 5,
    Progressive1080 = 6,
    Progressive576 = 7,
};

// Display aspect ratio codes of the clip info and the registration descriptor.
enum class EAspectRatio : uint8_t {
    Ratio4x3 = 2,
    Ratio16x9 = 3,
};

// Frame rate codes of the same places; 5 is not used.
enum class EFrameRate : uint8_t {
    Unknown = 0,
    Fps23_976 = 1,
    Fps24 = 2,
    Fps25 = 3,
    Fps29_97 = 4,
    Fps50 = 6,
    Fps59_94 = 7,
};

// Audio presentation types (channel layouts) of the clip info and the playlist.
enum class EAudioFormat : uint8_t {
    Mono = 1,
    Stereo = 3,
    MultiChannel = 6,
};

// Audio sampling frequency codes; these discs know 48, 96 and 192 kHz only.
enum class ESampleRate : uint8_t {
    Hz48000 = 1,
};

struct TVideoAttributes
{
    EVideoFormat Format = EVideoFormat::Unknown;
    EFrameRate Rate = EFrameRate::Unknown;
    EAspectRatio Aspect = EAspectRatio::Ratio16x9;
};

struct TAudioAttributes
{
    EAudioFormat Format = EAudioFormat::Stereo;
    ESampleRate Rate = ESampleRate::Hz48000;
};

struct TClipSummary
{
    std::string Version;  // "0100" for AVCHD, "0200" for Blu-ray
    uint16_t PcrPid = kPcrPid;
    uint32_t InTime45 = 0;
    uint32_t OutTime45 = 0;
    uint32_t SourcePackets = 0;
    uint32_t RecordingRate = 0;  // bytes per second
    TVideoAttributes Video;
    std::optional<TAudioAttributes> Audio;
    std::vector<TEpEntry> EntryPoints;
    std::vector<uint32_t> ChapterTimes45;  // playlist marks, absolute times
};

// Movie objects of MovieObject.bdmv, as index.bdmv refers to them.
constexpr uint16_t kTitleObject = 0;
constexpr uint16_t kFirstPlayObject = 1;
constexpr uint16_t kTopMenuObject = 2;
constexpr uint16_t kMovieObjectCount = 3;

std::vector<uint8_t> BuildIndexFile(const TClipSummary &clip);
std::vector<uint8_t> BuildMovieObjectFile(const TClipSummary &clip);
std::vector<uint8_t> BuildPlaylistFile(const TClipSummary &clip);
std::vector<uint8_t> BuildClipInfoFile(const TClipSummary &clip);
