#include "src/preview/mediatype.h"

#include "src/preview/formatnames.h"

namespace {

constexpr TGuid Guid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint8_t a, std::uint8_t b,
                     std::uint8_t c, std::uint8_t d, std::uint8_t e, std::uint8_t f, std::uint8_t g,
                     std::uint8_t h)
{
    return TGuid {d1, d2, d3, {a, b, c, d, e, f, g, h}};
}

// The three families of well-known GUIDs share their last three parts.
constexpr TGuid Base(std::uint32_t d1)  // quartz media types and subtypes
{
    return Guid(d1, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
}
constexpr TGuid Mpeg2(std::uint32_t d1)  // MPEG-2 subtypes and formats
{
    return Guid(d1, 0xDB46, 0x11CF, 0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA);
}
constexpr TGuid Format(std::uint32_t d1)  // format types
{
    return Guid(d1, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
}

}  // namespace

TGuid FourCCGuid(std::uint32_t code)
{
    return Guid(code, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
}

namespace MediaGuids {
const TGuid Video = FourCCGuid(MakeFourCC('v', 'i', 'd', 's'));
const TGuid Audio = FourCCGuid(MakeFourCC('a', 'u', 'd', 's'));
const TGuid Interleaved = FourCCGuid(MakeFourCC('i', 'a', 'v', 's'));
const TGuid Stream = Base(0xE436EB83);

const TGuid RGB1 = Base(0xE436EB78), RGB4 = Base(0xE436EB79), RGB8 = Base(0xE436EB7A),
            RGB565 = Base(0xE436EB7B), RGB555 = Base(0xE436EB7C), RGB24 = Base(0xE436EB7D),
            RGB32 = Base(0xE436EB7E);
const TGuid Mpeg2Video = Mpeg2(0xE06D8026), Mpeg2Audio = Mpeg2(0xE06D802B), DolbyAC3 = Mpeg2(0xE06D802C),
            DvdLpcm = Mpeg2(0xE06D8032);
const TGuid Mpeg1Packet = Base(0xE436EB80), Mpeg1Payload = Base(0xE436EB81), Mpeg1Video = Base(0xE436EB86),
            Mpeg1Audio = Base(0xE436EB87);

const TGuid VideoInfo = Format(0x05589F80), WaveFormatEx = Format(0x05589F81), MpegVideo = Format(0x05589F82),
            DvInfo = Format(0x05589F84);
const TGuid VideoInfo2 = Guid(0xF72A76A0, 0xEB0A, 0x11D0, 0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
const TGuid Mpeg2VideoFormat = Mpeg2(0xE06D80E3);
}  // namespace MediaGuids

QByteArray VideoCodecName(const TMediaType &type)
{
    using namespace MediaGuids;
    const struct
    {
        const TGuid &subType;
        const char *name;
    } rgb[] = {{RGB24, "RGB24"}, {RGB32, "RGB32"},   {RGB1, "RGB1"},    {RGB4, "RGB4"},
               {RGB8, "RGB8"},   {RGB565, "RGB565"}, {RGB555, "RGB555"}};
    for (const auto &entry : rgb)
        if (type.SubType == entry.subType)
            return entry.name;
    return FourCCText(type.Compression);
}

QByteArray AudioCodecName(const TMediaType &type)
{
    using namespace MediaGuids;
    if (type.MajorType != Audio)
        return "???";
    const struct
    {
        const TGuid &subType;
        const char *name;
    } known[] = {{Mpeg2Audio, "MPEG2"},        {DolbyAC3, "DOLBY AC3"},        {DvdLpcm, "LPCM"},
                 {Mpeg1Packet, "MPEG1Packet"}, {Mpeg1Payload, "MPEG1Payload"}, {Mpeg1Audio, "MPEG1"}};
    for (const auto &entry : known)
        if (type.SubType == entry.subType)
            return entry.name;
    if (type.FormatType == WaveFormatEx && type.FormatSize >= FormatSizes::kWaveFormatEx
        && type.FormatTag != 0)
        return WaveFormatName(type.FormatTag).left(4);
    return "???";
}
