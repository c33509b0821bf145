#include "media/cliptimes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "media/ac3parser.h"
#include "media/cliptimeline.h"
#include "media/tspackets.h"

namespace {

// Pictures are stored out of display order by less than a second; a
// larger step between two of them is damage.
constexpr int64_t kLongestStep = kTsTicksPerSecond;
constexpr int64_t kUnitsPerSecond = 10'000'000;  // 100 ns
// Picture steps of the usual frame and field rates, in quarter ticks.
// Time stamps are whole ticks, so at 59.94 or 23.976 pictures a second
// they alternate around the step (1501 and 1502 for 1501.5): counted in
// whole ticks, a ten-minute clip would be off by a fifth of a second, and
// the two ends of a file could disagree with the whole of it.
constexpr int64_t kQuarter = 4;
constexpr int64_t kUsualQuarterSteps[] = {
    15015,  // 23.976 frames a second
    15000,  // 24
    14400,  // 25
    12012,  // 29.97
    12000,  // 30
    7200,  // 50
    6006,  // 59.94
    6000,  // 60
};
constexpr size_t kFirstWindow = 512 * 1024;
constexpr size_t kLastWindow = 16 * 1024 * 1024;  // largest window at either end
constexpr size_t kProbeWindow = 64 * 1024;  // looked at to tell packets from a dead tail
// Time stamps wanted in the window at the end of the file, so that the
// latest picture in display order (a few pictures before the last one
// stored when B-pictures are used) is among them.
constexpr size_t kWantedVideoPesAtEnd = 8;
constexpr size_t kWantedAudioPesAtEnd = 2;

// Windows along the file where the pictures' time is checked, and their
// size: the first one, doubled while it holds no picture's time stamp.
constexpr int kJoinChecks = 8;
constexpr size_t kCheckWindow = 128 * 1024;
constexpr size_t kLargestCheckWindow = 4 << 20;
// Packets read at a time when a joined clip is read whole.
constexpr size_t kScanPackets = 16384;

using TBytes = std::span<const uint8_t>;

// The first picture with a time stamp in a window: its PID and decoding time.
struct TPictureMark
{
    int Pid = -1;
    int64_t Dts = -1;
};

TPictureMark FirstPictureIn(TBytes data, int packetSize)
{
    TTsPacketReader reader(data.data(), data.size(), packetSize);
    TTsPacket packet;
    while (reader.Next(packet))
        if (packet.UnitStart && IsVideoPes(packet.Payload, packet.PayloadSize))
            if (const int64_t dts = PesDts(packet.Payload, packet.PayloadSize); dts >= 0)
                return {packet.Pid, dts};
    return {};
}

int64_t UnitsOfTicks(int64_t ticks)
{
    return ticks * kUnitsPerSecond / kTsTicksPerSecond;
}

// The step in quarter ticks: the usual one within a tick of it, or the
// step itself.
int64_t QuarterStepOf(int64_t step)
{
    for (int64_t usual : kUsualQuarterSteps)
        if (std::llabs(kQuarter * step - usual) <= kQuarter)
            return usual;
    return kQuarter * step;
}

// The PES packets of one stream in a window: their time stamps (-1 where
// a PES has none) and, when asked for, the payload of the last one.
struct TStreamPes
{
    std::vector<int64_t> Pts;
    std::vector<uint8_t> LastPayload;

    int64_t First() const
    {
        for (int64_t pts : Pts)
            if (pts >= 0)
                return pts;
        return -1;
    }
    // Their times on one line from `reference`, the clock wrap folded;
    // `wholeOnly`: leaving out the last PES, which the window may cut.
    void AddTimesFrom(int64_t reference, std::vector<int64_t> &times, bool wholeOnly = false) const
    {
        const size_t count = wholeOnly && !Pts.empty() ? Pts.size() - 1 : Pts.size();
        for (size_t i = 0; i < count; ++i)
            if (Pts[i] >= 0)
                times.push_back(TicksBetween(reference, Pts[i]));
    }
};

TStreamPes CollectPes(TBytes data, int packetSize, int pid, bool keepPayload)
{
    TStreamPes stream;
    ForEachPesPiece(data.data(), data.size(), packetSize, pid, [&](const TPesPiece &piece) {
        if (piece.Start) {
            stream.Pts.push_back(piece.Pts);
            stream.LastPayload.clear();
        }
        if (keepPayload && !stream.Pts.empty())
            stream.LastPayload.insert(stream.LastPayload.end(), piece.Data, piece.Data + piece.Size);
    });
    return stream;
}

// The pictures' duration in ticks and the picture step, from the first
// pictures in the head and the last ones in the tail.
int64_t VideoTicks(const TStreamPes &head, const TStreamPes &tail, int64_t &step)
{
    step = 0;
    const int64_t reference = head.First();
    if (reference < 0 || tail.First() < 0)
        return 0;
    // Two whole pictures at the start tell that the step can be known.
    std::vector<int64_t> times;
    head.AddTimesFrom(reference, times, true);
    if (PictureStepOf(times, 0) == 0)
        return 0;
    times.clear();
    head.AddTimesFrom(reference, times);
    tail.AddTimesFrom(reference, times);
    const int64_t duration = ClipDuration(times, 0, 0);
    step = PictureStepOf(times, 0);
    return duration;
}

// Length of the complete AC-3 or E-AC-3 frames in `payload`, in 100 ns.
int64_t Ac3Units(const std::vector<uint8_t> &payload)
{
    size_t pos = 0;
    int64_t units = 0;
    while (pos < payload.size()) {
        const std::optional<TAc3Frame> frame =
            ParseAc3OrEac3Header(payload.data() + pos, payload.size() - pos);
        if (!frame || pos + frame->Size > payload.size())
            break;
        units += int64_t(frame->Samples) * kUnitsPerSecond / frame->SampleRate;
        pos += frame->Size;
    }
    return units;
}

int64_t AudioUnits(const TStreamPes &head, const TStreamPes &tail, uint8_t type)
{
    const int64_t reference = head.First();
    if (reference < 0)
        return 0;
    std::vector<int64_t> times;
    tail.AddTimesFrom(reference, times);
    if (times.empty())
        return 0;
    // The last packet's length: its AC-3 frames, else the step between the
    // last two packets (packets of one stream usually hold equal amounts).
    int64_t lastUnits = IsAc3StreamType(type) ? Ac3Units(tail.LastPayload) : 0;
    if (lastUnits == 0 && times.size() >= 2)
        lastUnits = UnitsOfTicks(times.back() - times[times.size() - 2]);
    const int64_t total = UnitsOfTicks(times.back()) + lastUnits;
    return std::max<int64_t>(total, 0);
}

// Reads the two ends of a regular file.
class TClipFile
{
public:
    explicit TClipFile(const std::string &path)
    {
        // Only regular files: opening a named pipe would block.
        struct stat st
        { };
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return;
        FFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        FSize = FFd >= 0 ? static_cast<size_t>(st.st_size) : 0;
    }
    ~TClipFile()
    {
        if (FFd >= 0)
            close(FFd);
    }
    TClipFile(const TClipFile &) = delete;
    TClipFile &operator=(const TClipFile &) = delete;

    bool IsOpen() const { return FFd >= 0; }
    size_t Size() const { return FSize; }

    std::vector<uint8_t> ReadAt(size_t offset, size_t size) const
    {
        std::vector<uint8_t> data(size);
        size_t done = 0;
        while (done < size) {
            const ssize_t got =
                pread(FFd, data.data() + done, size - done, static_cast<off_t>(offset + done));
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        data.resize(done);
        return data;
    }

    // Where the packets of the file end. A camera that lost power while
    // filming leaves the clip followed by zeros (or other bytes that hold
    // no packet), up to gigabytes of them; the last stretch holding packets
    // is found by halving, a few small reads whatever the tail's size. The
    // start of the file is known to hold packets.
    size_t PacketsEnd(int packetSize) const
    {
        if (FSize <= kProbeWindow || HoldsPackets(FSize - kProbeWindow, packetSize))
            return FSize;
        size_t holding = 0, dead = FSize - kProbeWindow;  // window starts known to hold packets, or not
        while (dead - holding > kProbeWindow) {
            const size_t middle = holding + (dead - holding) / 2;
            (HoldsPackets(middle, packetSize) ? holding : dead) = middle;
        }
        return std::min(FSize, dead + kProbeWindow);
    }

    // The first picture with a time stamp from `offset` on, before `end`.
    TPictureMark PictureAt(size_t offset, size_t end, int packetSize) const
    {
        for (size_t window = kCheckWindow;; window *= 2) {
            const size_t length = std::min(window, end - offset);
            const TPictureMark mark = FirstPictureIn(ReadAt(offset, length), packetSize);
            if (mark.Dts >= 0 || length < window || window >= kLargestCheckWindow)
                return mark;
        }
    }

private:
    bool HoldsPackets(size_t offset, int packetSize) const
    {
        const std::vector<uint8_t> data = ReadAt(offset, kProbeWindow);
        TTsPacketReader reader(data.data(), data.size(), packetSize);
        TTsPacket packet;
        return reader.Next(packet);
    }

    int FFd = -1;
    size_t FSize = 0;
};

// Whether the clip in the first `end` bytes of `file` may be made of
// others joined by copying: at a few places along it, the pictures' time
// must go forward, in step with the bytes (within a factor of three and a
// second, as the rate of a clip varies), on the video PID of the start.
bool MayBeJoined(const TClipFile &file, size_t end, int packetSize, int videoPid)
{
    std::vector<std::pair<size_t, TPictureMark>> marks;  // by offset
    for (int i = 0; i <= kJoinChecks; ++i) {
        const size_t offset =
            i < kJoinChecks ? end / kJoinChecks * size_t(i) : end - std::min(end, kCheckWindow);
        const TPictureMark mark = file.PictureAt(offset, end, packetSize);
        if (mark.Dts < 0)
            continue;  // a damaged stretch
        if (mark.Pid != videoPid)
            return true;
        if (marks.empty() || mark.Dts != marks.back().second.Dts)
            marks.emplace_back(offset, mark);
    }
    if (marks.size() < 2)
        return false;
    const int64_t span = TicksBetween(marks.front().second.Dts, marks.back().second.Dts);
    const double bytes = double(marks.back().first - marks.front().first);
    if (span <= 0 || bytes <= 0)
        return true;
    for (size_t i = 1; i < marks.size(); ++i) {
        const int64_t step = TicksBetween(marks[i - 1].second.Dts, marks[i].second.Dts);
        const double expected = double(span) * double(marks[i].first - marks[i - 1].first) / bytes;
        if (step <= 0 || double(step) > 3 * expected + kTsTicksPerSecond
            || 3 * double(step) + kTsTicksPerSecond < expected)
            return true;
    }
    return false;
}

// The pictures' duration in ticks of a clip read whole: every picture of a
// video stream, through program changes, placed on the demultiplexer's time
// line (time stamps unwrapped from one picture to the next, as FFmpeg
// gives them to it) and counted.
int64_t JoinedVideoTicks(const TClipFile &file, size_t end, int packetSize, int64_t step)
{
    TClipTimeline timeline(step);
    std::vector<int64_t> times;
    int64_t pictures = 0;
    int64_t lastRawDts = -1, dts = 0;
    const size_t chunk = kScanPackets * size_t(packetSize);
    for (size_t offset = 0; offset < end; offset += chunk) {
        const std::vector<uint8_t> data = file.ReadAt(offset, std::min(chunk, end - offset));
        TTsPacketReader reader(data.data(), data.size(), packetSize);
        TTsPacket packet;
        while (reader.Next(packet)) {
            if (!packet.UnitStart || !IsVideoPes(packet.Payload, packet.PayloadSize))
                continue;
            ++pictures;
            int headerEnd = 0;
            const int64_t rawPts = PesPts(packet.Payload, packet.PayloadSize, headerEnd);
            if (rawPts < 0)
                continue;
            const int64_t rawDts = PesDts(packet.Payload, packet.PayloadSize);
            dts = lastRawDts < 0 ? rawDts : dts + TicksBetween(lastRawDts, rawDts);
            lastRawDts = rawDts;
            times.push_back(timeline.Video(dts + TicksBetween(rawDts, rawPts), dts));
        }
    }
    return ClipDuration(times, pictures, step);
}

}  // namespace

int64_t PictureStepOf(std::vector<int64_t> &times, int64_t probedStep)
{
    std::sort(times.begin(), times.end());
    std::map<int64_t, int64_t> steps;  // step -> how often
    for (size_t i = 1; i < times.size(); ++i)
        if (int64_t gap = times[i] - times[i - 1]; gap > 0)
            ++steps[gap];
    int64_t step = probedStep, seen = 0;
    for (const auto &[gap, count] : steps)
        if (count > seen) {
            step = gap;
            seen = count;
        }
    // No picture lasts a second: a longer step comes from damage, and would
    // make the clip ask for that much silence per picture.
    return step > 0 && step <= kLongestStep ? step : 0;
}

int64_t ClipDuration(std::vector<int64_t> &times, int64_t pictures, int64_t probedStep)
{
    const int64_t step = PictureStepOf(times, probedStep);
    if (step == 0)
        return 0;
    const int64_t quarterStep = QuarterStepOf(step);
    if (pictures == 0 && !times.empty())
        pictures = (kQuarter * (times.back() - times.front()) + quarterStep / 2) / quarterStep + 1;
    return (pictures * quarterStep + kQuarter / 2) / kQuarter;
}

int64_t FrameDurationOf(int64_t pictureStep, bool interlaced)
{
    // Longest field of an interlaced camcorder format (50 fields a second),
    // with room for the rounding of 90 kHz time stamps.
    constexpr int64_t kLongestField = 205'000;
    return interlaced && pictureStep <= kLongestField ? 2 * pictureStep : pictureStep;
}

TClipTimesReading ReadClipTimesOf(TBytes head, TBytes tail)
{
    TClipTimesReading result;
    const int packetSize = TsPacketSizeOf(head.data(), head.size());
    if (packetSize == 0)
        return {TClipTimes {}, true, true};
    TClipTimes &times = result.Times;
    times.TransportStream = true;
    const std::optional<TProgramStreams> streams = ReadProgramStreams(head.data(), head.size(), packetSize);
    result.TailEnough = true;
    if (!streams)
        return result;
    result.HeadEnough = true;
    result.VideoPid = streams->VideoPid;
    times.HasVideo = streams->VideoPid >= 0;
    times.HasAudio = streams->AudioPid >= 0;
    if (times.HasVideo) {
        const TStreamPes first = CollectPes(head, packetSize, streams->VideoPid, false);
        const TStreamPes last = CollectPes(tail, packetSize, streams->VideoPid, false);
        int64_t step = 0;
        times.VideoDuration = UnitsOfTicks(VideoTicks(first, last, step));
        times.PictureDuration = UnitsOfTicks(step);
        result.PictureTicks = step;
        result.HeadEnough = step > 0;
        result.TailEnough = last.Pts.size() >= kWantedVideoPesAtEnd;
    }
    if (times.HasAudio) {
        const TStreamPes first = CollectPes(head, packetSize, streams->AudioPid, false);
        const TStreamPes last = CollectPes(tail, packetSize, streams->AudioPid, true);
        times.AudioDuration = AudioUnits(first, last, streams->AudioType);
        result.HeadEnough = result.HeadEnough && first.First() >= 0;
        result.TailEnough = result.TailEnough && last.Pts.size() >= kWantedAudioPesAtEnd;
    }
    return result;
}

TClipTimes ReadClipTimesOfFile(const std::string &path)
{
    const TClipFile file(path);
    if (!file.IsOpen())
        return {};
    size_t size = file.Size();
    size_t headLength = std::min(kFirstWindow, size);
    std::vector<uint8_t> head = file.ReadAt(0, headLength);
    const int packetSize = TsPacketSizeOf(head.data(), head.size());
    if (packetSize)
        size = file.PacketsEnd(packetSize);
    headLength = std::min(headLength, size);
    head.resize(std::min(head.size(), headLength));
    size_t tailLength = headLength;
    std::vector<uint8_t> tail = tailLength == size ? head : file.ReadAt(size - tailLength, tailLength);
    for (;;) {
        const TClipTimesReading reading = ReadClipTimesOf(head, tail);
        const bool growHead = !reading.HeadEnough && headLength < size && headLength < kLastWindow;
        const bool growTail = !reading.TailEnough && tailLength < size && tailLength < kLastWindow;
        if (!growHead && !growTail) {
            TClipTimes times = reading.Times;
            if (packetSize && reading.PictureTicks > 0
                && MayBeJoined(file, size, packetSize, reading.VideoPid))
                times.VideoDuration =
                    UnitsOfTicks(JoinedVideoTicks(file, size, packetSize, reading.PictureTicks));
            return times;
        }
        if (growHead) {
            headLength = std::min(2 * headLength, size);
            head = file.ReadAt(0, headLength);
        }
        if (growTail) {
            tailLength = std::min(2 * tailLength, size);
            tail = file.ReadAt(size - tailLength, tailLength);
        }
    }
}
