#include "media/tspackets.h"

#include <algorithm>

namespace {

constexpr uint8_t kSyncByte = 0x47;
constexpr int kTsPacket = 188;
constexpr size_t kStartChecks = 8;  // packets in step at the start of a stream
constexpr size_t kResyncChecks = 4;  // packets in step after a lost sync

enum class TKind { None, Video, Audio };

TKind KindOfStreamType(uint8_t type)
{
    switch (type) {
    case 0x01:
    case 0x02:
    case 0x10:
    case 0x1B:
    case 0x20:
    case 0x24:
    case 0xEA: return TKind::Video;
    case 0x03:
    case 0x04:
    case 0x0F:
    case 0x11:
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x86:
    case 0x87:
    case 0xA1:
    case 0xA2: return TKind::Audio;
    default: return TKind::None;
    }
}

// `checks` sync bytes in step from `pos` (fewer where the data ends first).
bool InStep(const uint8_t *data, size_t size, size_t pos, int packetSize, size_t checks)
{
    for (size_t k = 0; k < checks && pos + k * packetSize < size; ++k)
        if (data[pos + k * packetSize] != kSyncByte)
            return false;
    return true;
}

// A section starting in this payload (after its pointer field), or null.
const uint8_t *SectionOf(const TTsPacket &packet, int &length)
{
    if (!packet.UnitStart || packet.PayloadSize < 1)
        return nullptr;
    const int start = 1 + packet.Payload[0];
    if (start + 3 > packet.PayloadSize)
        return nullptr;
    const uint8_t *section = packet.Payload + start;
    length = std::min(3 + (((section[1] & 0x0F) << 8) | section[2]), packet.PayloadSize - start);
    return section;
}

int FirstProgramMapPid(const uint8_t *pat, int length)
{
    for (int i = 8; i + 4 <= length - 4; i += 4)
        if (((pat[i] << 8) | pat[i + 1]) != 0)
            return ((pat[i + 2] & 0x1F) << 8) | pat[i + 3];
    return -1;
}

TProgramStreams StreamsOfProgramMap(const uint8_t *pmt, int length)
{
    TProgramStreams streams;
    int i = 12 + (((pmt[10] & 0x0F) << 8) | pmt[11]);
    while (i + 5 <= length - 4) {
        const uint8_t type = pmt[i];
        const int pid = ((pmt[i + 1] & 0x1F) << 8) | pmt[i + 2];
        const TKind kind = KindOfStreamType(type);
        if (kind == TKind::Video && streams.VideoPid < 0)
            streams.VideoPid = pid;
        if (kind == TKind::Audio && streams.AudioPid < 0) {
            streams.AudioPid = pid;
            streams.AudioType = type;
        }
        i += 5 + (((pmt[i + 3] & 0x0F) << 8) | pmt[i + 4]);
    }
    return streams;
}

}  // namespace

int TsPacketSizeOf(const uint8_t *data, size_t size)
{
    for (int packetSize : {192, kTsPacket}) {
        const size_t sync = packetSize - kTsPacket;
        if (sync < size && InStep(data, size, sync, packetSize, kStartChecks))
            return packetSize;
    }
    return 0;
}

TTsPacketReader::TTsPacketReader(const uint8_t *data, size_t size, int packetSize)
    : FData(data), FSize(size), FPacketSize(packetSize), FPos(FindSync(0))
{ }

ptrdiff_t TTsPacketReader::FindSync(size_t from) const
{
    for (size_t pos = from; pos + kTsPacket <= FSize; ++pos)
        if (InStep(FData, FSize, pos, FPacketSize, kResyncChecks))
            return static_cast<ptrdiff_t>(pos);
    return -1;
}

bool TTsPacketReader::Next(TTsPacket &packet)
{
    while (FPos >= 0 && static_cast<size_t>(FPos) + kTsPacket <= FSize) {
        const uint8_t *p = FData + FPos;
        if (p[0] != kSyncByte) {
            FPos = FindSync(static_cast<size_t>(FPos) + 1);
            continue;
        }
        FPos += FPacketSize;
        const int control = (p[3] >> 4) & 3;
        int offset = 4;
        if (control & 2)
            offset += 1 + p[4];
        if (!(control & 1) || offset >= kTsPacket || (p[1] & 0x80))
            continue;  // no payload, or in error
        packet.Pid = ((p[1] & 0x1F) << 8) | p[2];
        packet.UnitStart = p[1] & 0x40;
        packet.Payload = p + offset;
        packet.PayloadSize = kTsPacket - offset;
        return true;
    }
    return false;
}

std::optional<TProgramStreams> ReadProgramStreams(const uint8_t *data, size_t size, int packetSize)
{
    TTsPacketReader reader(data, size, packetSize);
    TTsPacket packet;
    int pmtPid = -1;
    while (reader.Next(packet)) {
        int length = 0;
        const uint8_t *section = SectionOf(packet, length);
        if (!section)
            continue;
        if (packet.Pid == 0 && pmtPid < 0 && section[0] == 0x00)
            pmtPid = FirstProgramMapPid(section, length);
        else if (packet.Pid == pmtPid && section[0] == 0x02 && length >= 12)
            return StreamsOfProgramMap(section, length);
    }
    return std::nullopt;
}

bool IsAc3StreamType(uint8_t type)
{
    return type == 0x81 || type == 0x84 || type == 0x87 || type == 0xA1;
}

namespace {

// The 33-bit time stamp written in the five bytes at `at`.
int64_t TimeStampAt(const uint8_t *at)
{
    return (int64_t(at[0] & 0x0E) << 29) | (int64_t(at[1]) << 22) | (int64_t(at[2] & 0xFE) << 14)
           | (int64_t(at[3]) << 7) | (at[4] >> 1);
}

}  // namespace

int64_t PesPts(const uint8_t *pes, int size, int &headerEnd)
{
    headerEnd = size;
    if (size < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1)
        return -1;
    headerEnd = std::min(size, 9 + pes[8]);
    if (!(pes[7] & 0x80) || size < 14)
        return -1;
    return TimeStampAt(pes + 9);
}

int64_t PesDts(const uint8_t *pes, int size)
{
    int headerEnd = 0;
    const int64_t pts = PesPts(pes, size, headerEnd);
    if (pts < 0 || (pes[7] & 0xC0) != 0xC0 || size < 19)
        return pts;
    return TimeStampAt(pes + 14);
}

bool IsVideoPes(const uint8_t *pes, int size)
{
    return size >= 4 && pes[0] == 0 && pes[1] == 0 && pes[2] == 1 && (pes[3] & 0xF0) == 0xE0;
}

int64_t TicksBetween(int64_t a, int64_t b)
{
    int64_t d = (b - a) % kTsClockWrap;
    if (d < 0)
        d += kTsClockWrap;
    return d >= kTsClockWrap / 2 ? d - kTsClockWrap : d;
}
