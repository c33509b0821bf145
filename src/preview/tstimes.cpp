#include "preview/tstimes.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr std::int64_t PtsWrap = std::int64_t(1) << 33;  // 33-bit 90 kHz clock
constexpr std::int64_t UnitsPer90kTicks = 1000;           // x 1000 / 9: 90 kHz to 100 ns
constexpr std::int64_t TicksDivisor = 9;
constexpr qint64 FirstWindow = 512 * 1024;
constexpr qint64 LastWindow = 16 * 1024 * 1024;  // largest window at either end
constexpr qint64 ProbeWindow = 64 * 1024;        // looked at to tell packets from a dead tail
// Time stamps wanted in the window at the end of the file, so that the
// latest picture in display order (a few pictures before the last one
// stored when B-pictures are used) is among them.
constexpr int WantedVideoPesAtEnd = 8;
constexpr int WantedAudioPesAtEnd = 2;
constexpr char SyncByte = 0x47;
constexpr int SyncChecks = 4;

enum class TKind { None, Video, Audio };

TKind KindOfStreamType(std::uint8_t type)
{
    switch (type) {
    case 0x01: case 0x02: case 0x10: case 0x1B: case 0x20: case 0x24: case 0xEA:
        return TKind::Video;
    case 0x03: case 0x04: case 0x0F: case 0x11: case 0x80: case 0x81: case 0x82: case 0x83:
    case 0x84: case 0x85: case 0x86: case 0x87: case 0xA1: case 0xA2:
        return TKind::Audio;
    default:
        return TKind::None;
    }
}

bool IsAc3Family(std::uint8_t type)
{
    return type == 0x81 || type == 0x84 || type == 0x87 || type == 0xA1;
}

// A transport packet: its PID, whether a PES or section starts in it, and
// its payload.
struct TPacket {
    int Pid = -1;
    bool UnitStart = false;
    const std::uint8_t *Payload = nullptr;
    int PayloadSize = 0;
};

// Walks the packets of a buffer that may start and end in the middle of
// one; packetSize is 188 or 192 (the sync byte is then 4 bytes in).
class TPacketReader {
public:
    TPacketReader(const QByteArray &data, int packetSize) : FData(data), FSize(packetSize)
    {
        FPos = FindSync();
    }

    bool Next(TPacket &packet)
    {
        while (FPos >= 0 && FPos + 188 <= FData.size()) {
            const auto *p = reinterpret_cast<const std::uint8_t *>(FData.constData()) + FPos;
            if (p[0] != std::uint8_t(SyncByte)) {
                FPos = FindSync(FPos + 1);
                continue;
            }
            FPos += FSize;
            if (Parse(p, packet))
                return true;
        }
        return false;
    }

    // The first position from `from` where SyncChecks packets in a row
    // start with the sync byte (fewer when the buffer is short).
    qsizetype FindSync(qsizetype from = 0) const
    {
        for (qsizetype pos = from; pos + 188 <= FData.size(); ++pos) {
            bool synced = true;
            for (int k = 0; k < SyncChecks && pos + k * FSize < FData.size(); ++k)
                synced = synced && FData[pos + k * FSize] == SyncByte;
            if (synced)
                return pos;
        }
        return -1;
    }

private:
    static bool Parse(const std::uint8_t *p, TPacket &packet)
    {
        const int control = (p[3] >> 4) & 3;
        int offset = 4;
        if (control & 2)
            offset += 1 + p[4];
        if (!(control & 1) || offset >= 188 || (p[1] & 0x80))
            return false;  // no payload, or marked in error
        packet.Pid = ((p[1] & 0x1F) << 8) | p[2];
        packet.UnitStart = p[1] & 0x40;
        packet.Payload = p + offset;
        packet.PayloadSize = 188 - offset;
        return true;
    }

    const QByteArray &FData;
    int FSize;
    qsizetype FPos;
};

int PacketSizeOf(const QByteArray &head)
{
    for (int size : {192, 188}) {
        const qsizetype pos = TPacketReader(head, size).FindSync();
        if (pos >= 0 && pos + (SyncChecks - 1) * size < head.size())
            return size;
    }
    return 0;
}

struct TStreams {
    int VideoPid = -1, AudioPid = -1;
    std::uint8_t AudioType = 0;
};

// A section starting in this payload (after its pointer field), or null.
const std::uint8_t *SectionOf(const TPacket &packet, int &length)
{
    if (!packet.UnitStart || packet.PayloadSize < 1)
        return nullptr;
    const int start = 1 + packet.Payload[0];
    if (start + 3 > packet.PayloadSize)
        return nullptr;
    const std::uint8_t *section = packet.Payload + start;
    length = std::min(3 + (((section[1] & 0x0F) << 8) | section[2]), packet.PayloadSize - start);
    return section;
}

// The first video and audio streams of the first program, from the
// program tables at the start of the file.
std::optional<TStreams> ReadStreams(const QByteArray &head, int packetSize)
{
    TPacketReader reader(head, packetSize);
    TPacket packet;
    int pmtPid = -1;
    while (reader.Next(packet)) {
        int length = 0;
        const std::uint8_t *s = SectionOf(packet, length);
        if (!s)
            continue;
        if (packet.Pid == 0 && pmtPid < 0 && s[0] == 0x00) {
            for (int i = 8; i + 4 <= length - 4; i += 4)
                if (((s[i] << 8) | s[i + 1]) != 0) {
                    pmtPid = ((s[i + 2] & 0x1F) << 8) | s[i + 3];
                    break;
                }
        } else if (packet.Pid == pmtPid && s[0] == 0x02 && length >= 12) {
            TStreams streams;
            int i = 12 + (((s[10] & 0x0F) << 8) | s[11]);
            while (i + 5 <= length - 4) {
                const std::uint8_t type = s[i];
                const int pid = ((s[i + 1] & 0x1F) << 8) | s[i + 2];
                const TKind kind = KindOfStreamType(type);
                if (kind == TKind::Video && streams.VideoPid < 0)
                    streams.VideoPid = pid;
                if (kind == TKind::Audio && streams.AudioPid < 0) {
                    streams.AudioPid = pid;
                    streams.AudioType = type;
                }
                i += 5 + (((s[i + 3] & 0x0F) << 8) | s[i + 4]);
            }
            return streams;
        }
    }
    return std::nullopt;
}

// One PES packet of a stream: its time stamp (-1 when it has none),
// whether another PES of the stream follows it in the buffer, and (for the
// last one) its payload bytes.
struct TPes {
    std::int64_t Pts = -1;
    bool Complete = false;
};

struct TStreamPes {
    std::vector<TPes> Pes;
    QByteArray LastPayload;
};

std::int64_t PtsOf(const std::uint8_t *pes, int size, int &headerEnd)
{
    headerEnd = size;
    if (size < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1)
        return -1;
    headerEnd = std::min(size, 9 + pes[8]);
    if (!(pes[7] & 0x80) || size < 14)
        return -1;
    return (std::int64_t(pes[9] & 0x0E) << 29) | (std::int64_t(pes[10]) << 22) | (std::int64_t(pes[11] & 0xFE) << 14)
           | (std::int64_t(pes[12]) << 7) | (pes[13] >> 1);
}

// keepPayload: gather the payload of the last PES (for counting audio
// frames in it).
TStreamPes CollectPes(const QByteArray &data, int packetSize, int pid, bool keepPayload = false)
{
    TStreamPes stream;
    TPacketReader reader(data, packetSize);
    TPacket packet;
    bool started = false;
    while (reader.Next(packet)) {
        if (packet.Pid != pid)
            continue;
        if (packet.UnitStart) {
            if (!stream.Pes.empty())
                stream.Pes.back().Complete = true;
            int headerEnd = 0;
            stream.Pes.push_back({PtsOf(packet.Payload, packet.PayloadSize, headerEnd), false});
            if (keepPayload)
                stream.LastPayload = QByteArray(reinterpret_cast<const char *>(packet.Payload) + headerEnd,
                                                packet.PayloadSize - headerEnd);
            started = true;
        } else if (started && keepPayload) {
            stream.LastPayload.append(reinterpret_cast<const char *>(packet.Payload), packet.PayloadSize);
        }
    }
    return stream;
}

// b - a on the 33-bit clock, as a signed difference.
std::int64_t TicksBetween(std::int64_t a, std::int64_t b)
{
    std::int64_t d = (b - a) % PtsWrap;
    if (d < 0)
        d += PtsWrap;
    return d >= PtsWrap / 2 ? d - PtsWrap : d;
}

std::int64_t UnitsOfTicks(std::int64_t ticks)
{
    return ticks * UnitsPer90kTicks / TicksDivisor;
}

std::int64_t FirstPts(const TStreamPes &stream)
{
    for (const TPes &pes : stream.Pes)
        if (pes.Pts >= 0)
            return pes.Pts;
    return -1;
}

// The smallest step between the time stamps of complete pictures at the
// start: one picture (or one field when fields are stored apart).
std::int64_t PictureTicks(const TStreamPes &head, std::int64_t first)
{
    std::vector<std::int64_t> times;
    for (const TPes &pes : head.Pes)
        if (pes.Complete && pes.Pts >= 0)
            times.push_back(TicksBetween(first, pes.Pts));
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    std::int64_t step = 0;
    for (std::size_t i = 1; i < times.size(); ++i)
        if (step == 0 || times[i] - times[i - 1] < step)
            step = times[i] - times[i - 1];
    return step;
}

std::int64_t VideoDurationOf(const TStreamPes &head, const TStreamPes &tail, std::int64_t &pictureTicks)
{
    const std::int64_t reference = FirstPts(head);
    pictureTicks = reference >= 0 ? PictureTicks(head, reference) : 0;
    if (pictureTicks <= 0)
        return 0;
    std::int64_t first = 0, last = 0;
    for (const TPes &pes : head.Pes)
        if (pes.Pts >= 0)
            first = std::min(first, TicksBetween(reference, pes.Pts));
    bool any = false;
    for (const TPes &pes : tail.Pes)
        if (pes.Pts >= 0) {
            const std::int64_t t = TicksBetween(reference, pes.Pts);
            last = any ? std::max(last, t) : t;
            any = true;
        }
    if (!any || last < first)
        return 0;
    return UnitsOfTicks(last - first + pictureTicks);
}

// AC-3 frame size in bytes from its header (sample rate code, frame size
// code), and samples per frame; E-AC-3 frames carry their own size.
bool Ac3Frame(const std::uint8_t *p, qsizetype available, int &bytes, int &samples, int &rate)
{
    if (available < 6 || p[0] != 0x0B || p[1] != 0x77)
        return false;
    static constexpr int Rates[3] = {48000, 44100, 32000};
    static constexpr int Kbps[19] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160,
                                     192, 224, 256, 320, 384, 448, 512, 576, 640};
    const int bsid = p[5] >> 3;
    if (bsid > 10) {  // E-AC-3
        bytes = ((((p[2] & 0x07) << 8) | p[3]) + 1) * 2;
        const int fscod = p[4] >> 6;
        const int blocksCode = (p[4] >> 4) & 3;
        static constexpr int Blocks[4] = {1, 2, 3, 6};
        if (fscod == 3) {
            const int halfRateCode = (p[4] >> 4) & 3;
            if (halfRateCode == 3)
                return false;  // reserved
            rate = Rates[halfRateCode] / 2;
            samples = 6 * 256;
        } else {
            rate = Rates[fscod];
            samples = Blocks[blocksCode] * 256;
        }
        return rate > 0;
    }
    const int fscod = p[4] >> 6;
    const int sizeCode = p[4] & 0x3F;
    if (fscod == 3 || sizeCode >= 38)
        return false;
    const int kbps = Kbps[sizeCode / 2];
    const int words = fscod == 0 ? 2 * kbps : fscod == 2 ? 3 * kbps : kbps * 320 / 147 + (sizeCode & 1);
    bytes = words * 2;
    samples = 1536;
    rate = Rates[fscod];
    return true;
}

// Length of the complete AC-3 frames in payload, in 100 ns; 0 when none.
std::int64_t Ac3Units(const QByteArray &payload)
{
    const auto *p = reinterpret_cast<const std::uint8_t *>(payload.constData());
    qsizetype pos = 0;
    std::int64_t units = 0;
    int bytes = 0, samples = 0, rate = 0;
    while (Ac3Frame(p + pos, payload.size() - pos, bytes, samples, rate) && pos + bytes <= payload.size()) {
        units += std::int64_t(samples) * 10'000'000 / rate;
        pos += bytes;
    }
    return units;
}

std::int64_t AudioDurationOf(const TStreamPes &head, const TStreamPes &tail, std::uint8_t type)
{
    const std::int64_t reference = FirstPts(head);
    if (reference < 0)
        return 0;
    std::vector<std::int64_t> times;
    for (const TPes &pes : tail.Pes)
        if (pes.Pts >= 0)
            times.push_back(TicksBetween(reference, pes.Pts));
    if (times.empty())
        return 0;
    // The last packet's length: its AC-3 frames, else the step between the
    // last two packets (packets of one stream usually hold equal amounts).
    std::int64_t lastUnits = IsAc3Family(type) ? Ac3Units(tail.LastPayload) : 0;
    if (lastUnits == 0 && times.size() >= 2)
        lastUnits = UnitsOfTicks(times.back() - times[times.size() - 2]);
    const std::int64_t total = UnitsOfTicks(times.back()) + lastUnits;
    return total > 0 ? total : 0;
}

struct TAnalysis {
    TClipTimes Times;
    // A larger window at the start, or at the end, would not change the
    // result.
    bool HeadEnough = false;
    bool TailEnough = false;
};

TAnalysis Analyse(const QByteArray &head, const QByteArray &tail)
{
    TAnalysis result;
    const int packetSize = PacketSizeOf(head);
    if (packetSize == 0)
        return {TClipTimes{}, true, true};
    TClipTimes &times = result.Times;
    times.TransportStream = true;
    const std::optional<TStreams> streams = ReadStreams(head, packetSize);
    result.TailEnough = true;
    if (!streams)
        return result;
    result.HeadEnough = true;
    times.HasVideo = streams->VideoPid >= 0;
    times.HasAudio = streams->AudioPid >= 0;
    if (times.HasVideo) {
        const TStreamPes first = CollectPes(head, packetSize, streams->VideoPid);
        const TStreamPes last = CollectPes(tail, packetSize, streams->VideoPid);
        std::int64_t pictureTicks = 0;
        times.VideoDuration = VideoDurationOf(first, last, pictureTicks);
        times.PictureDuration = UnitsOfTicks(pictureTicks);
        result.HeadEnough = pictureTicks > 0;
        result.TailEnough = int(last.Pes.size()) >= WantedVideoPesAtEnd;
    }
    if (times.HasAudio) {
        const TStreamPes first = CollectPes(head, packetSize, streams->AudioPid);
        const TStreamPes last = CollectPes(tail, packetSize, streams->AudioPid, true);
        times.AudioDuration = AudioDurationOf(first, last, streams->AudioType);
        result.HeadEnough = result.HeadEnough && FirstPts(first) >= 0;
        result.TailEnough = result.TailEnough && int(last.Pes.size()) >= WantedAudioPesAtEnd;
    }
    return result;
}

QByteArray ReadAt(QFile &file, qint64 offset, qint64 size)
{
    if (!file.seek(offset))
        return {};
    return file.read(size);
}

bool HoldsPackets(const QByteArray &data, int packetSize)
{
    return TPacketReader(data, packetSize).FindSync() >= 0;
}

// Where the packets of the file end. A camera that lost power while
// filming leaves the clip followed by zeros (or other bytes that hold no
// packet), up to gigabytes of them; the last stretch holding packets is
// found by halving, a few small reads whatever the tail's size. The start
// of the file is known to hold packets.
qint64 PacketsEnd(QFile &file, qint64 size, int packetSize)
{
    if (size <= ProbeWindow || HoldsPackets(ReadAt(file, size - ProbeWindow, ProbeWindow), packetSize))
        return size;
    qint64 holding = 0, dead = size - ProbeWindow;  // window starts known to hold packets, or not
    while (dead - holding > ProbeWindow) {
        const qint64 middle = holding + (dead - holding) / 2;
        if (HoldsPackets(ReadAt(file, middle, ProbeWindow), packetSize))
            holding = middle;
        else
            dead = middle;
    }
    return std::min(size, dead + ProbeWindow);
}

} // namespace

TClipTimes ClipTimesOf(const QByteArray &head, const QByteArray &tail)
{
    return Analyse(head, tail).Times;
}

TClipTimes ReadClipTimes(const QString &path)
{
    // Only regular files: opening a named pipe would block.
    struct stat st{};
    QFile file(path);
    if (stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) || !file.open(QIODevice::ReadOnly))
        return {};
    qint64 size = file.size();
    // A window at each end, each doubled until it holds enough time stamps
    // or covers the file.
    qint64 headLength = std::min(FirstWindow, size);
    QByteArray head = ReadAt(file, 0, headLength);
    if (const int packetSize = PacketSizeOf(head))
        size = PacketsEnd(file, size, packetSize);
    headLength = std::min(headLength, size);
    head.truncate(headLength);
    qint64 tailLength = headLength;
    QByteArray tail = tailLength == size ? head : ReadAt(file, size - tailLength, tailLength);
    for (;;) {
        const TAnalysis analysis = Analyse(head, tail);
        const bool growHead = !analysis.HeadEnough && headLength < size && headLength < LastWindow;
        const bool growTail = !analysis.TailEnough && tailLength < size && tailLength < LastWindow;
        if (!growHead && !growTail)
            return analysis.Times;
        if (growHead) {
            headLength = std::min(2 * headLength, size);
            head = ReadAt(file, 0, headLength);
        }
        if (growTail) {
            tailLength = std::min(2 * tailLength, size);
            tail = ReadAt(file, size - tailLength, tailLength);
        }
    }
}

std::int64_t FrameDurationOf(std::int64_t pictureStep, bool interlaced)
{
    // Longest field of an interlaced camcorder format (50 fields a second),
    // with room for the rounding of 90 kHz time stamps.
    constexpr std::int64_t LongestField = 205'000;
    return interlaced && pictureStep <= LongestField ? 2 * pictureStep : pictureStep;
}
