// MPEG-TS packets written as 192-byte source packets: a 4-byte header
// holding the 30-bit arrival time stamp (27 MHz clock) before each 188-byte
// transport packet. Keeps the continuity counter of every PID.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/common/outputfile.h"

constexpr size_t kTsPacketSize = 188;
constexpr size_t kSourcePacketSize = 192;

struct TPmtStream
{
    uint8_t StreamType = 0;
    uint16_t Pid = 0;
    std::vector<uint8_t> Descriptors;
};

struct TPatEntry
{
    uint16_t ProgramNumber = 0;  // 0: the network PID, where the SIT is sent
    uint16_t Pid = 0;
};

// Complete PSI sections (table header to CRC included).
std::vector<uint8_t> MakePatSection(uint16_t transportStreamId, const std::vector<TPatEntry> &programs);
std::vector<uint8_t> MakePmtSection(uint16_t programNumber, uint16_t pcrPid,
                                    const std::vector<uint8_t> &programDescriptors,
                                    const std::vector<TPmtStream> &streams);

// Selection information table (table id 0x7F) of a partial transport
// stream: one service and a partial transport stream descriptor giving
// the peak rate.
std::vector<uint8_t> MakeSitSection(uint16_t serviceId, uint64_t peakRate);

// PES header of `payloadSize` bytes of payload; video streams larger than
// the 16-bit length field get the unbounded length 0. Times are 90 kHz. A
// stream id extension (extended stream id 0xFD) goes in the second PES
// extension.
std::vector<uint8_t> MakePesHeader(uint8_t streamId, uint64_t pts, std::optional<uint64_t> dts,
                                   size_t payloadSize,
                                   std::optional<uint8_t> streamIdExtension = std::nullopt);

class TTsPacketWriter
{
public:
    explicit TTsPacketWriter(TOutputFile &out) : FOut(out) { }

    // One section that fits a single packet.
    void WriteSection(uint16_t pid, const std::vector<uint8_t> &section, uint64_t ats27);
    // An adaptation-only packet carrying a PCR.
    void WritePcr(uint16_t pid, uint64_t pcr27, uint64_t ats27);
    // A null packet (PID 0x1FFF), to fill an aligned unit.
    void WriteNull(uint64_t ats27);
    // Packets of `pid` carry the transport priority bit from now on.
    void SetTransportPriority(uint16_t pid) { FPriority[pid] = true; }
    // One packet of PES data starting at `data`; returns the bytes it took.
    // The first packet of a PES sets unitStart; randomAccess marks the start
    // of a picture a decoder can begin with.
    size_t WritePayloadPacket(uint16_t pid, bool unitStart, bool randomAccess, const uint8_t *data,
                              size_t size, uint64_t ats27);

    uint32_t PacketCount() const { return FPackets; }

private:
    uint8_t *BeginPacket(uint64_t ats27);
    uint8_t NextCounter(uint16_t pid);

    TOutputFile &FOut;
    uint8_t FCounters[8192] = {};
    std::bitset<8192> FPriority;
    uint32_t FPackets = 0;
};
