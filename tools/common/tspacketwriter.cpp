#include "tools/common/tspacketwriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "media/crc32mpeg.h"

namespace {

void AppendCrc(std::vector<uint8_t> &section)
{
    uint32_t crc = Crc32Mpeg(section.data(), section.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        section.push_back(uint8_t(crc >> shift));
}

// Fills in section_length (bytes after the field, CRC included) and the CRC.
// `flags` are the four bits before the length: section syntax indicator,
// then '0' for MPEG tables, '1' for DVB ones, and two reserved bits.
void FinishSection(std::vector<uint8_t> &section, uint8_t flags = 0xB0)
{
    size_t length = section.size() - 3 + 4;
    if (length > 1021)
        throw std::logic_error("PSI section too long");
    section[1] = uint8_t(flags | (length >> 8));
    section[2] = uint8_t(length);
    AppendCrc(section);
}

void PutTimestamp(std::vector<uint8_t> &out, uint8_t prefix, uint64_t t)
{
    t &= (uint64_t(1) << 33) - 1;
    out.push_back(uint8_t(prefix << 4 | ((t >> 29) & 0x0E) | 1));
    out.push_back(uint8_t(t >> 22));
    out.push_back(uint8_t(((t >> 14) & 0xFE) | 1));
    out.push_back(uint8_t(t >> 7));
    out.push_back(uint8_t(((t << 1) & 0xFE) | 1));
}

}  // namespace

std::vector<uint8_t> MakePatSection(uint16_t transportStreamId, const std::vector<TPatEntry> &programs)
{
    std::vector<uint8_t> s = {0x00, 0,    0,   uint8_t(transportStreamId >> 8), uint8_t(transportStreamId),
                              0xC1, 0x00, 0x00};
    for (const TPatEntry &program : programs) {
        s.push_back(uint8_t(program.ProgramNumber >> 8));
        s.push_back(uint8_t(program.ProgramNumber));
        s.push_back(uint8_t(0xE0 | (program.Pid >> 8)));
        s.push_back(uint8_t(program.Pid));
    }
    FinishSection(s);
    return s;
}

std::vector<uint8_t> MakeSitSection(uint16_t serviceId, uint64_t peakRate)
{
    // Transmission info: a partial transport stream descriptor with the peak
    // rate in units of 400 bit/s, the smoothing rate and buffer left
    // undefined (all ones).
    uint32_t peak = uint32_t(std::min<uint64_t>((peakRate + 399) / 400, 0x3FFFFF));
    std::vector<uint8_t> s = {0x7F,
                              0,
                              0,
                              0xFF,
                              0xFF,
                              0xC1,
                              0x00,
                              0x00,
                              0xF0,
                              10,
                              0x63,
                              8,
                              uint8_t(0xC0 | (peak >> 16)),
                              uint8_t(peak >> 8),
                              uint8_t(peak),
                              0xFF,
                              0xFF,
                              0xFF,
                              0xFF,
                              0xFF};
    s.push_back(uint8_t(serviceId >> 8));
    s.push_back(uint8_t(serviceId));
    s.push_back(0x80);  // running status undefined, no service descriptors
    s.push_back(0x00);
    FinishSection(s, 0xF0);
    return s;
}

std::vector<uint8_t> MakePmtSection(uint16_t programNumber, uint16_t pcrPid,
                                    const std::vector<uint8_t> &programDescriptors,
                                    const std::vector<TPmtStream> &streams)
{
    std::vector<uint8_t> s = {0x02, 0,    0,   uint8_t(programNumber >> 8), uint8_t(programNumber),
                              0xC1, 0x00, 0x00};
    s.push_back(uint8_t(0xE0 | (pcrPid >> 8)));
    s.push_back(uint8_t(pcrPid));
    s.push_back(uint8_t(0xF0 | (programDescriptors.size() >> 8)));
    s.push_back(uint8_t(programDescriptors.size()));
    s.insert(s.end(), programDescriptors.begin(), programDescriptors.end());
    for (const TPmtStream &stream : streams) {
        s.push_back(stream.StreamType);
        s.push_back(uint8_t(0xE0 | (stream.Pid >> 8)));
        s.push_back(uint8_t(stream.Pid));
        s.push_back(uint8_t(0xF0 | (stream.Descriptors.size() >> 8)));
        s.push_back(uint8_t(stream.Descriptors.size()));
        s.insert(s.end(), stream.Descriptors.begin(), stream.Descriptors.end());
    }
    FinishSection(s);
    return s;
}

std::vector<uint8_t> MakePesHeader(uint8_t streamId, uint64_t pts, std::optional<uint64_t> dts,
                                   size_t payloadSize, std::optional<uint8_t> streamIdExtension)
{
    uint8_t extensionFlag = streamIdExtension ? 0x01 : 0x00;
    uint8_t headerLength = uint8_t((dts ? 10 : 5) + (streamIdExtension ? 3 : 0));
    std::vector<uint8_t> h = {
        0x00, 0x00, 0x01, streamId, 0, 0, 0x84, uint8_t((dts ? 0xC0 : 0x80) | extensionFlag), headerLength};
    PutTimestamp(h, dts ? 3 : 2, pts);
    if (dts)
        PutTimestamp(h, 1, *dts);
    if (streamIdExtension) {
        h.push_back(0x0F);  // only the second extension (reserved bits set)
        h.push_back(0x81);  // marker bit, one byte of extension field
        h.push_back(uint8_t(*streamIdExtension & 0x7F));  // stream_id_extension_flag 0
    }
    size_t length = h.size() - 6 + payloadSize;
    if (length <= 0xFFFF) {
        h[4] = uint8_t(length >> 8);
        h[5] = uint8_t(length);
    } else if ((streamId & 0xF0) != 0xE0) {
        throw std::logic_error("PES packet too long for a non-video stream");
    }
    return h;
}

uint8_t *TTsPacketWriter::BeginPacket(uint64_t ats27)
{
    uint8_t *p = FOut.Reserve(kSourcePacketSize);
    uint32_t ats = uint32_t(ats27 & 0x3FFFFFFF);
    p[0] = uint8_t(ats >> 24);
    p[1] = uint8_t(ats >> 16);
    p[2] = uint8_t(ats >> 8);
    p[3] = uint8_t(ats);
    ++FPackets;
    return p + 4;
}

uint8_t TTsPacketWriter::NextCounter(uint16_t pid)
{
    uint8_t cc = FCounters[pid];
    FCounters[pid] = uint8_t((cc + 1) & 0x0F);
    return cc;
}

void TTsPacketWriter::WriteSection(uint16_t pid, const std::vector<uint8_t> &section, uint64_t ats27)
{
    if (section.size() + 5 > kTsPacketSize)
        throw std::logic_error("section does not fit a packet");
    uint8_t *p = BeginPacket(ats27);
    p[0] = 0x47;
    p[1] = uint8_t(0x40 | (pid >> 8));
    p[2] = uint8_t(pid);
    p[3] = uint8_t(0x10 | NextCounter(pid));
    p[4] = 0;  // pointer field
    std::memcpy(p + 5, section.data(), section.size());
    std::memset(p + 5 + section.size(), 0xFF, kTsPacketSize - 5 - section.size());
}

void TTsPacketWriter::WritePcr(uint16_t pid, uint64_t pcr27, uint64_t ats27)
{
    uint8_t *p = BeginPacket(ats27);
    uint64_t base = (pcr27 / 300) & ((uint64_t(1) << 33) - 1);
    uint32_t extension = uint32_t(pcr27 % 300);
    p[0] = 0x47;
    p[1] = uint8_t(pid >> 8);
    p[2] = uint8_t(pid);
    // Adaptation field only: the continuity counter does not advance.
    p[3] = uint8_t(0x20 | FCounters[pid]);
    p[4] = 183;
    p[5] = 0x10;
    p[6] = uint8_t(base >> 25);
    p[7] = uint8_t(base >> 17);
    p[8] = uint8_t(base >> 9);
    p[9] = uint8_t(base >> 1);
    p[10] = uint8_t((base & 1) << 7 | 0x7E | (extension >> 8));
    p[11] = uint8_t(extension);
    std::memset(p + 12, 0xFF, kTsPacketSize - 12);
}

void TTsPacketWriter::WriteNull(uint64_t ats27)
{
    uint8_t *p = BeginPacket(ats27);
    p[0] = 0x47;
    p[1] = 0x1F;
    p[2] = 0xFF;
    p[3] = 0x10;
    std::memset(p + 4, 0xFF, kTsPacketSize - 4);
}

size_t TTsPacketWriter::WritePayloadPacket(uint16_t pid, bool unitStart, bool randomAccess,
                                           const uint8_t *data, size_t size, uint64_t ats27)
{
    uint8_t *p = BeginPacket(ats27);
    p[0] = 0x47;
    p[1] = uint8_t((unitStart ? 0x40 : 0) | (FPriority[pid] ? 0x20 : 0) | (pid >> 8));
    p[2] = uint8_t(pid);
    size_t headerSize = 4;
    size_t room = kTsPacketSize - 4;
    bool flags = unitStart && randomAccess;
    size_t adaptation = flags ? 2 : 0;  // length byte and flags byte
    if (size + adaptation < room)
        adaptation = room - size;  // stuffing for the last packet
    size_t take = room - adaptation;
    p[3] = uint8_t((adaptation ? 0x30 : 0x10) | NextCounter(pid));
    if (adaptation > 0) {
        p[4] = uint8_t(adaptation - 1);
        if (adaptation > 1) {
            p[5] = flags ? 0x40 : 0x00;
            std::memset(p + 6, 0xFF, adaptation - 2);
        }
        headerSize += adaptation;
    }
    std::memcpy(p + headerSize, data, take);
    return take;
}
