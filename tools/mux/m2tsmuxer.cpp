#include "tools/mux/m2tsmuxer.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "tools/common/outputfile.h"
#include "tools/common/tspacketwriter.h"
#include "tools/mux/muxfile.h"
#include "tools/mux/transportbuffer.h"

namespace {

constexpr uint64_t kClock = 27000000;
constexpr uint64_t kPcrInterval = kClock / 25;  // 40 ms
constexpr uint64_t kPsiInterval = kClock / 10;  // 100 ms
constexpr uint64_t kAudioLeadMax = kClock / 5;  // audio buffers are small
constexpr uint64_t kRateWindow = kClock / 100;  // 10 ms
constexpr uint8_t kVideoStreamId = 0xE0;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kExtendedStreamId = 0xFD;
constexpr uint8_t kAc3StreamIdExtension = 0x71;

// Descriptor tags of the PMT.
constexpr uint8_t kRegistrationTag = 0x05;
constexpr uint8_t kAc3AudioTag = 0x81;
constexpr uint8_t kCopyControlTag = 0x88;

// A registration descriptor: the tag, its length and the format identifier.
std::vector<uint8_t> Registration(const char *id)
{
    return {kRegistrationTag, 4, uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3])};
}

// Copy control descriptor of Blu-ray and AVCHD streams: no copy restriction.
const std::vector<uint8_t> kCopyControl = {kCopyControlTag, 4, 0x0F, 0xFF, 0xFC, 0xFC};

// HDMV registration with the video's coding type, format, rate and aspect;
// the bits around them are reserved (all ones).
std::vector<uint8_t> VideoRegistration(const TVideoAttributes &video)
{
    std::vector<uint8_t> d = Registration("HDMV");
    d[1] = 8;  // the identifier and the four bytes below
    d.push_back(0xFF);
    d.push_back(kStreamTypeH264);
    d.push_back(uint8_t(uint8_t(video.Format) << 4 | uint8_t(video.Rate)));
    d.push_back(uint8_t(uint8_t(video.Aspect) << 4 | 0x0F));
    return d;
}

// The 'AC-3' registration and the AC-3 audio descriptor, read from the
// first frame's header: fscod and frmsizecod (byte 4), bsid and bsmod
// (byte 5), acmod (top of byte 6).
std::vector<uint8_t> Ac3Descriptors(const std::vector<uint8_t> &frame)
{
    std::vector<uint8_t> d = Registration("AC-3");
    if (frame.size() < 7)
        return d;
    uint8_t fscod = frame[4] >> 6, bitRateCode = (frame[4] & 0x3F) >> 1;
    uint8_t bsid = frame[5] >> 3, bsmod = frame[5] & 0x07, acmod = frame[6] >> 5;
    d.insert(d.end(), {kAc3AudioTag, 4, uint8_t(fscod << 5 | bsid), uint8_t(bitRateCode << 2),
                       uint8_t(bsmod << 5 | acmod << 1 | 1),  // surround not indicated; full service
                       0xFF});  // language code: deprecated, all ones
    return d;
}

// The spacing of source packets that keeps every 10 ms window at or under
// `rate` bit/s however the window falls.
uint64_t PacketInterval(uint64_t rate)
{
    uint64_t packetsPerWindow = std::max<uint64_t>(1, rate / 100 / (kSourcePacketSize * 8));
    return (kRateWindow + packetsPerWindow - 1) / packetsPerWindow;
}

// Highest rate over any second, or over the whole stream when shorter.
double PeakBitRate(const std::map<uint64_t, uint64_t> &bytesPerTenth)
{
    if (bytesPerTenth.empty())
        return 0;
    uint64_t first = bytesPerTenth.begin()->first, last = bytesPerTenth.rbegin()->first;
    std::vector<uint64_t> tenths(last - first + 1, 0);
    for (const auto &[tenth, bytes] : bytesPerTenth)
        tenths[tenth - first] = bytes;
    size_t window = std::min<size_t>(10, tenths.size());
    uint64_t sum = 0, best = 0;
    for (size_t i = 0; i < tenths.size(); ++i) {
        sum += tenths[i];
        if (i >= window)
            sum -= tenths[i - window];
        best = std::max(best, sum);
    }
    return double(best) * 8 * 10 / double(window);
}

// One PES packet being sent, a transport packet at a time.
struct TPesSend
{
    uint16_t Pid = 0;
    std::vector<uint8_t> Header;
    const uint8_t *Payload = nullptr;
    size_t Size = 0;
    uint64_t Earliest = 0;  // no packet of it before this time
    uint64_t Deadline = 0;  // when its decoder wants it whole
    bool RandomAccess = false;
    // What sending it has done so far.
    bool Started = false;
    size_t Done = 0;  // payload bytes sent
    uint32_t FirstPacket = 0;
    uint32_t LastPacket = 0;
    uint64_t LastTime = 0;

    bool Finished() const { return Started && Done >= Size; }
};

TPesSend VideoPes(const TVideoFrame &frame, uint64_t vbv)
{
    TPesSend pes;
    pes.Pid = kVideoPid;
    // Every video PES carries its decoding time so no reader has to guess it.
    pes.Header = MakePesHeader(kVideoStreamId, frame.Pts27 / 300, frame.Dts27 / 300, frame.Size());
    pes.Payload = frame.Data();
    pes.Size = frame.Size();
    pes.Earliest = frame.Dts27 > vbv ? frame.Dts27 - vbv : 0;
    pes.Deadline = frame.Dts27;
    pes.RandomAccess = frame.Intra;
    return pes;
}

TPesSend AudioPes(std::vector<uint8_t> header, const std::vector<uint8_t> &frame, uint64_t pts, uint64_t lead)
{
    TPesSend pes;
    pes.Pid = kAudioPid;
    pes.Header = std::move(header);
    pes.Payload = frame.data();
    pes.Size = frame.size();
    pes.Earliest = pts - std::min(pts, lead);
    pes.Deadline = pts;
    return pes;
}

}  // namespace

// One run: the packet clock, the decoder's transport buffers, the output
// and the statistics.
class TM2tsMuxer::TSession
{
public:
    // `firstAudioFrame` is empty for a stream without audio.
    TSession(TOutputFile &out, const TMuxSettings &settings, const std::vector<uint8_t> &firstAudioFrame)
        : FWriter(out), FInterval(PacketInterval(settings.MuxRate)),
          FPcrPid(settings.PcrOnOwnPid ? kPcrPid : kVideoPid), FVideoBuffer(settings.VideoLeakRate),
          FAudioBuffer(kAc3LeakRate), FSystemBuffer(kSystemLeakRate)
    {
        std::vector<TPmtStream> streams = {{kStreamTypeH264, kVideoPid, VideoRegistration(settings.Video)}};
        if (!firstAudioFrame.empty())
            streams.push_back({kStreamTypeAc3, kAudioPid, Ac3Descriptors(firstAudioFrame)});
        std::vector<uint8_t> programDescriptors = Registration("HDMV");
        programDescriptors.insert(programDescriptors.end(), kCopyControl.begin(), kCopyControl.end());
        FTables = {{0, MakePatSection(1, {{0, kSitPid}, {1, kPmtPid}})},
                   {kPmtPid, MakePmtSection(1, FPcrPid, programDescriptors, streams)},
                   {kSitPid, MakeSitSection(1, settings.MuxRate)}};
        if (settings.BlurayAudioPes)
            FWriter.SetTransportPriority(kAudioPid);
    }

    uint16_t PcrPid() const { return FPcrPid; }
    uint32_t Packets() const { return FWriter.PacketCount(); }

    // The clock starts a few packets before the first one is due.
    void Start(uint64_t firstEarliest)
    {
        FClock = firstEarliest > 4 * FInterval ? firstEarliest - 4 * FInterval : 0;
    }

    // When the next packet of `pes` could go, tables and PCR aside.
    uint64_t NextTime(const TPesSend &pes) { return Ready(pes.Pid, pes.Earliest, pes.Deadline); }

    // Sends the next packet of `pes`, after the tables and the PCR when due.
    void SendPacket(TPesSend &pes)
    {
        const uint64_t t = Slot(pes.Pid, pes.Earliest, pes.Deadline, pes.RandomAccess && !pes.Started);
        if (!pes.Started) {
            pes.FirstPacket = FWriter.PacketCount();
            // The header goes in the first packet with as much payload as fits.
            uint8_t packet[kTsPacketSize];
            const size_t headerTake = std::min(pes.Header.size() + pes.Size, kTsPacketSize - 4);
            std::copy(pes.Header.begin(), pes.Header.end(), packet);
            std::copy(pes.Payload, pes.Payload + (headerTake - pes.Header.size()),
                      packet + pes.Header.size());
            const size_t taken =
                FWriter.WritePayloadPacket(pes.Pid, true, pes.RandomAccess, packet, headerTake, t);
            if (taken < pes.Header.size())
                throw std::logic_error("PES header split across packets");
            pes.Done = taken - pes.Header.size();
            pes.Started = true;
        } else {
            pes.Done += FWriter.WritePayloadPacket(pes.Pid, false, false, pes.Payload + pes.Done,
                                                   pes.Size - pes.Done, t);
        }
        pes.LastPacket = FWriter.PacketCount() - 1;
        pes.LastTime = t;
    }

    // Fills the last aligned unit with null packets.
    void Finish()
    {
        while (FWriter.PacketCount() % kAlignedUnitPackets != 0) {
            FClock += FInterval;
            FWriter.WriteNull(FClock);
        }
    }

private:
    // The transport buffer packets of `pid` go through, if any: the PCR's
    // own PID carries no stream.
    TTransportBuffer *BufferOf(uint16_t pid)
    {
        if (pid == kVideoPid)
            return &FVideoBuffer;
        if (pid == kAudioPid)
            return &FAudioBuffer;
        if (pid == 0 || pid == kPmtPid || pid == kSitPid)
            return &FSystemBuffer;
        return nullptr;
    }

    // The first slot from `earliest` on where a packet of `pid` keeps the
    // mux rate and fits its transport buffer. A packet waits for its buffer
    // only until its `deadline`: a stream faster than its level allows then
    // overflows the buffer rather than drifting ever later than its
    // decoding times.
    uint64_t Ready(uint16_t pid, uint64_t earliest, uint64_t deadline = UINT64_MAX)
    {
        const uint64_t t = std::max(FClock + FInterval, earliest);
        const TTransportBuffer *buffer = BufferOf(pid);
        return buffer ? std::min(buffer->ReadyAt(t), std::max(t, deadline)) : t;
    }

    // Takes the slot at `t` for a packet of `pid`.
    void Take(uint16_t pid, uint64_t t)
    {
        FClock = t;
        if (TTransportBuffer *buffer = BufferOf(pid))
            buffer->Arrive(t);
    }

    // The time of the next packet of `pid`, not before `earliest`. Tables
    // and PCR falling due before it are written first, at their due time
    // where the clock allows, so that long waits keep their spacing.
    uint64_t Slot(uint16_t pid, uint64_t earliest, uint64_t deadline, bool forceTables)
    {
        for (;;) {
            const uint64_t t = Ready(pid, earliest, deadline);
            const uint64_t tablesDue = forceTables || !FTablesWritten ? t : FLastTables + kPsiInterval;
            const uint64_t pcrDue = FPcrWritten ? FLastPcr + kPcrInterval : t;
            if (tablesDue <= t && tablesDue <= pcrDue) {
                FLastTables = Ready(0, tablesDue);
                for (const auto &[tablePid, section] : FTables) {
                    const uint64_t at = Ready(tablePid, tablesDue);
                    FWriter.WriteSection(tablePid, section, at);
                    Take(tablePid, at);
                }
                FTablesWritten = true;
                forceTables = false;
            } else if (pcrDue <= t) {
                const uint64_t at = Ready(FPcrPid, pcrDue);
                FWriter.WritePcr(FPcrPid, at, at);
                Take(FPcrPid, at);
                FLastPcr = at;
                FPcrWritten = true;
            } else {
                Take(pid, t);
                return t;
            }
        }
    }

    TTsPacketWriter FWriter;
    uint64_t FInterval;
    uint16_t FPcrPid;
    TTransportBuffer FVideoBuffer, FAudioBuffer, FSystemBuffer;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> FTables;  // PID and section
    uint64_t FClock = 0;
    bool FTablesWritten = false;
    bool FPcrWritten = false;
    uint64_t FLastTables = 0;
    uint64_t FLastPcr = 0;
};

TM2tsMuxer::TM2tsMuxer(TVideoStream &video, TAc3Stream *audio, const TMuxSettings &settings)
    : FVideo(video), FAudio(audio), FSettings(settings)
{ }

uint64_t TM2tsMuxer::FirstPresentationTime27(const TMuxSettings &settings, const TFrameRate &rate)
{
    // Room for the buffering window, the deepest reordering and a margin.
    return uint64_t(settings.VbvLenMs) * (kClock / 1000) + 17 * rate.FrameDuration27() + kClock / 10;
}

TMuxResult TM2tsMuxer::Run(const std::string &path, const std::function<void(double)> &progress)
{
    TVideoFrame frame;
    bool haveFrame = FVideo.Next(frame);
    std::vector<uint8_t> audioFrame;
    bool haveAudio = FAudio && FAudio->Next(audioFrame);

    TOutputFile out;
    ThrowOnFailure(out.Open(path), out, "cannot create");
    TSession session(out, FSettings, audioFrame);
    TMuxResult result;
    result.PcrPid = session.PcrPid();
    result.FirstPts27 = FVideo.FirstPts27();
    const uint64_t vbv = uint64_t(FSettings.VbvLenMs) * (kClock / 1000);
    const uint64_t audioLead = std::min(vbv, kAudioLeadMax);
    const uint64_t totalBytes = std::max<uint64_t>(1, FVideo.FileSize() + (FAudio ? FAudio->FileSize() : 0));
    std::map<uint64_t, uint64_t> bytesPerTenth;  // stream bytes by tenth of a second
    const uint8_t audioStreamId = FSettings.BlurayAudioPes ? kExtendedStreamId : kPrivateStream1;
    const std::optional<uint8_t> audioExtension =
        FSettings.BlurayAudioPes ? std::optional<uint8_t>(kAc3StreamIdExtension) : std::nullopt;
    uint64_t audioPts = result.FirstPts27;
    int lastPercent = -1;

    // The current PES packet of each stream; their transport packets are
    // interleaved as their times and buffers allow.
    std::optional<TPesSend> video, audio;
    auto nextVideo = [&] { video = haveFrame ? std::optional(VideoPes(frame, vbv)) : std::nullopt; };
    auto nextAudio = [&] {
        audio = haveAudio ? std::optional(AudioPes(MakePesHeader(audioStreamId, audioPts / 300, std::nullopt,
                                                                 audioFrame.size(), audioExtension),
                                                   audioFrame, audioPts, audioLead))
                          : std::nullopt;
    };
    nextVideo();
    nextAudio();
    session.Start(std::min(video ? video->Earliest : UINT64_MAX, audio ? audio->Earliest : UINT64_MAX));
    while (video || audio) {
        // The packet that can go first; at the same time, the one needed sooner.
        const bool videoNext = video
                               && (!audio
                                   || std::pair(session.NextTime(*video), video->Deadline)
                                          <= std::pair(session.NextTime(*audio), audio->Deadline));
        TPesSend &pes = videoNext ? *video : *audio;
        session.SendPacket(pes);
        if (!pes.Finished())
            continue;
        if (videoNext) {
            if (frame.Intra)
                result.EntryPoints.push_back({frame.Pts27 / 300, pes.FirstPacket, pes.LastPacket});
            if (pes.LastTime > frame.Dts27)
                ++result.LateFrames;
            bytesPerTenth[frame.Dts27 / (kClock / 10)] += frame.Size();
            ++result.VideoFrames;
            haveFrame = FVideo.Next(frame);
            nextVideo();
        } else {
            bytesPerTenth[audioPts / (kClock / 10)] += audioFrame.size();
            audioPts += FAudio->FrameDuration27();
            ++result.AudioFrames;
            haveAudio = FAudio->Next(audioFrame);
            nextAudio();
        }
        uint64_t read = FVideo.BytesRead() + (FAudio ? FAudio->BytesRead() : 0);
        int percent = int(std::min<uint64_t>(100, read * 100 / totalBytes));
        if (percent != lastPercent) {
            // A full disc stops the run here rather than at the end.
            ThrowOnFailure(out.Error().empty(), out);
            if (progress)
                progress(percent / 100.0);
            lastPercent = percent;
        }
    }
    session.Finish();
    ThrowOnFailure(out.Finish() && out.Publish(), out);
    result.SourcePackets = session.Packets();
    result.EndPts27 = FVideo.EndPts27();
    result.PeakStreamBitRate = PeakBitRate(bytesPerTenth);
    return result;
}
