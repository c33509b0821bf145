// The neutral media type the stream notifier reasons about: a major type, a
// subtype and a format type given as the well-known DirectShow GUID values,
// with the fields of the format block those types carry (picture size, bit
// count, time per frame, picture aspect, four-character code, wave-format
// fields). GStreamer caps are translated into it (notifier.h), so that the
// format logic (streamformat.h) is written once and tested without
// GStreamer.
#pragma once

#include <QByteArray>

#include <cstdint>

struct TGuid
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0, Data3 = 0;
    std::uint8_t Data4[8] = {};

    bool IsNull() const { return *this == TGuid {}; }
    friend bool operator==(const TGuid &a, const TGuid &b) = default;
};

// The GUID of a four-character code or wave-format tag subtype:
// {code-0000-0010-8000-00AA00389B71}.
TGuid FourCCGuid(std::uint32_t code);
// A four-character code from its characters, lowest byte first.
constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8
           | std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

namespace MediaGuids {
// Major types.
extern const TGuid Video, Audio, Interleaved, Stream;
// Subtypes that are not four-character codes.
extern const TGuid RGB1, RGB4, RGB8, RGB565, RGB555, RGB24, RGB32;
extern const TGuid Mpeg2Video, Mpeg2Audio, DolbyAC3, DvdLpcm, Mpeg1Packet, Mpeg1Payload, Mpeg1Video,
    Mpeg1Audio;
// Format types.
extern const TGuid VideoInfo, VideoInfo2, WaveFormatEx, MpegVideo, Mpeg2VideoFormat, DvInfo;
}  // namespace MediaGuids

// Sizes of the format blocks as the platform lays them out; the format
// logic only trusts a block of at least the size of its header.
namespace FormatSizes {
inline constexpr int VideoInfo = 88, kVideoInfo2 = 112, kMpeg1Video = 104, kMpeg2Video = 136,
                     kWaveFormatEx = 18, kDvInfo = 32;
}  // namespace FormatSizes

struct TMediaType
{
    TGuid MajorType, SubType, FormatType;
    int FormatSize = 0;  // bytes of the format block; 0 when there is none

    // Video format block (video-info, video-info-2, MPEG headers).
    std::int32_t Width = 0, Height = 0;
    std::int32_t BitCount = 0;
    std::uint32_t Compression = 0;  // four-character code of the bitmap header
    std::int64_t AvgTimePerFrame = 0;  // 100-ns units
    std::int32_t AspectX = 0, AspectY = 0;  // picture aspect (video-info-2)
    std::int32_t BitRate = 0;  // bits per second

    // Wave-format block.
    std::uint16_t FormatTag = 0;
    std::int32_t Channels = 0, SampleRate = 0, BitsPerSample = 0, AvgBytesPerSec = 0;
};

// The video codec name of a type with a video-info or video-info-2 block:
// the name of an RGB subtype, else the compression code as text ("" when
// one of its bytes is below a space).
QByteArray VideoCodecName(const TMediaType &type);
// The audio codec name of a source stream: "???" unless audio; by subtype
// for the MPEG, AC-3 and LPCM kinds; else the first four characters of the
// wave-format tag's name.
QByteArray AudioCodecName(const TMediaType &type);
