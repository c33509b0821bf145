// MPEG-TS packets written as 192-byte source packets: a 4-byte header
// holding the 30-bit arrival time stamp (27 MHz clock) before each 188-byte
// transport packet. Keeps the continuity counter of every PID.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/outputfile.h"

constexpr size_t kTsPacketSize = 188;
constexpr size_t kSourcePacketSize = 192;

struct TPmtStream {
  uint8_t streamType = 0;
  uint16_t pid = 0;
  std::vector<uint8_t> descriptors;
};

struct TPatEntry {
  uint16_t programNumber = 0;  // 0: the network PID, where the SIT is sent
  uint16_t pid = 0;
};

// Complete PSI sections (table header to CRC included).
std::vector<uint8_t> makePatSection(uint16_t transportStreamId, const std::vector<TPatEntry>& programs);
std::vector<uint8_t> makePmtSection(uint16_t programNumber, uint16_t pcrPid,
                                    const std::vector<uint8_t>& programDescriptors,
                                    const std::vector<TPmtStream>& streams);

// Selection information table (table id 0x7F) of a partial transport
// stream: one service and a partial transport stream descriptor giving
// the peak rate.
std::vector<uint8_t> makeSitSection(uint16_t serviceId, uint64_t peakRate);

// PES header of `payloadSize` bytes of payload; video streams larger than
// the 16-bit length field get the unbounded length 0. Times are 90 kHz. A
// stream id extension (extended stream id 0xFD) goes in the second PES
// extension.
std::vector<uint8_t> makePesHeader(uint8_t streamId, uint64_t pts, std::optional<uint64_t> dts,
                                   size_t payloadSize,
                                   std::optional<uint8_t> streamIdExtension = std::nullopt);

class TTsPacketWriter {
public:
  explicit TTsPacketWriter(TOutputFile& out) : out_(out) {}

  // One section that fits a single packet.
  void writeSection(uint16_t pid, const std::vector<uint8_t>& section, uint64_t ats27);
  // An adaptation-only packet carrying a PCR.
  void writePcr(uint16_t pid, uint64_t pcr27, uint64_t ats27);
  // A null packet (PID 0x1FFF), to fill an aligned unit.
  void writeNull(uint64_t ats27);
  // Packets of `pid` carry the transport priority bit from now on.
  void setTransportPriority(uint16_t pid) { priority_[pid] = true; }
  // One packet of PES data starting at `data`; returns the bytes it took.
  // The first packet of a PES sets unitStart; randomAccess marks the start
  // of a picture a decoder can begin with.
  size_t writePayloadPacket(uint16_t pid, bool unitStart, bool randomAccess, const uint8_t* data,
                            size_t size, uint64_t ats27);

  uint32_t packetCount() const { return packets_; }

private:
  uint8_t* beginPacket(uint64_t ats27);
  uint8_t nextCounter(uint16_t pid);

  TOutputFile& out_;
  uint8_t counters_[8192] = {};
  std::bitset<8192> priority_;
  uint32_t packets_ = 0;
};
