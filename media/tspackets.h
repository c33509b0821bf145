// Reading MPEG transport streams: 188-byte packets, or the 192-byte
// source packets of AVCHD media (a 4-byte arrival time before each
// packet), the program tables and the time stamps of PES headers. Reads
// buffers that may start and end in the middle of a packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

constexpr int64_t kTsTicksPerSecond = 90000;  // PES time stamps
constexpr int64_t kTsClockWrap = int64_t(1) << 33;  // 33-bit time stamps

// 192 or 188 when `data` starts with packets of that size in step (up to
// eight sync bytes checked, fewer when the data is shorter), else 0.
int TsPacketSizeOf(const uint8_t *data, size_t size);

// A packet: its PID, whether a PES or section starts in it, its payload.
struct TTsPacket
{
    int Pid = -1;
    bool UnitStart = false;
    const uint8_t *Payload = nullptr;
    int PayloadSize = 0;
};

class TTsPacketReader
{
public:
    TTsPacketReader(const uint8_t *data, size_t size, int packetSize);

    // The next packet with a payload; packets marked in error are passed
    // over, and so are bytes out of step until the sync comes back.
    bool Next(TTsPacket &packet);

private:
    // The first position from `from` where four packets in a row (fewer
    // at the end of the data) start with the sync byte, or -1.
    ptrdiff_t FindSync(size_t from) const;

    const uint8_t *FData;
    size_t FSize;
    int FPacketSize;
    ptrdiff_t FPos;
};

// The first video and audio streams of the first program, from the
// program tables; `AudioType` is the audio's stream type.
struct TProgramStreams
{
    int VideoPid = -1;
    int AudioPid = -1;
    uint8_t AudioType = 0;
};
std::optional<TProgramStreams> ReadProgramStreams(const uint8_t *data, size_t size, int packetSize);

// True for the stream types that carry AC-3 or E-AC-3 audio.
bool IsAc3StreamType(uint8_t type);

// The presentation time stamp of the PES header at `pes`, or -1 when it
// has none; `headerEnd` is where its payload starts.
int64_t PesPts(const uint8_t *pes, int size, int &headerEnd);

// The decoding time stamp of the PES header at `pes`: its DTS, else its
// PTS; -1 when it has neither.
int64_t PesDts(const uint8_t *pes, int size);

// True when `pes` begins a PES packet of a video stream (stream id 0xE0 to
// 0xEF), whatever the PID or the program tables say.
bool IsVideoPes(const uint8_t *pes, int size);

// The part of a PES stream one packet carries: its payload, less the PES
// header when a PES starts in it (`Start`, with that PES's time stamp,
// -1 when it has none).
struct TPesPiece
{
    const uint8_t *Data = nullptr;
    int Size = 0;
    bool Start = false;
    int64_t Pts = -1;
};

// Calls `visit(piece)` for each packet of `pid` in `data`, in order.
template <typename TVisit>
void ForEachPesPiece(const uint8_t *data, size_t size, int packetSize, int pid, TVisit visit)
{
    TTsPacketReader reader(data, size, packetSize);
    TTsPacket packet;
    while (reader.Next(packet)) {
        if (packet.Pid != pid)
            continue;
        TPesPiece piece {packet.Payload, packet.PayloadSize, packet.UnitStart, -1};
        if (packet.UnitStart) {
            int headerEnd = 0;
            piece.Pts = PesPts(packet.Payload, packet.PayloadSize, headerEnd);
            piece.Data += headerEnd;
            piece.Size -= headerEnd;
        }
        visit(piece);
    }
}

// b - a on the 33-bit clock, as a signed difference: a time stamp just
// below another one, across the wrap or not, comes out negative.
int64_t TicksBetween(int64_t a, int64_t b);
