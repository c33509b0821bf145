// What hardware players check in the muxer's transport stream, read back
// from the file byte by byte and through libbluray: aligned units, the
// program tables, the AC-3 PES form, decoding time steps, EP map end
// classes and the packet rate. The last test runs the demultiplexer and the
// muxer on three camera clips and has libbluray read the whole title back.
#include <gtest/gtest.h>

#include <filesystem>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <sstream>
#include <unistd.h>

#include "media/crc32mpeg.h"
#include "tests/tools/mux/processrun.h"

namespace fs = std::filesystem;

namespace {

const std::string kBin = TAVREL_BIN_DIR;
const fs::path kFixtures = TAVREL_FIXTURE_DIR;

// One transport packet of a file of 192-byte source packets.
struct TPacket
{
    uint32_t Ats = 0;
    uint16_t Pid = 0;
    bool UnitStart = false;
    bool Priority = false;
    std::string Payload;
};

std::vector<TPacket> ReadPackets(const std::string &data, size_t sourceSize = 192)
{
    std::vector<TPacket> packets;
    for (size_t at = 0; at + sourceSize <= data.size(); at += sourceSize) {
        const auto *p = reinterpret_cast<const uint8_t *>(data.data()) + at + sourceSize - 188;
        TPacket t;
        const auto *h = reinterpret_cast<const uint8_t *>(data.data()) + at;
        t.Ats = (uint32_t(h[0]) << 24 | h[1] << 16 | h[2] << 8 | h[3]) & 0x3FFFFFFF;
        t.Pid = uint16_t((p[1] & 0x1F) << 8 | p[2]);
        t.UnitStart = p[1] & 0x40;
        t.Priority = p[1] & 0x20;
        size_t start = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
        if ((p[3] & 0x10) && start < 188)
            t.Payload.assign(reinterpret_cast<const char *>(p) + start, 188 - start);
        packets.push_back(t);
    }
    return packets;
}

// The first whole section sent on `pid` (sections here fit one packet).
std::string FirstSection(const std::vector<TPacket> &packets, uint16_t pid)
{
    for (const TPacket &t : packets) {
        if (t.Pid != pid || !t.UnitStart)
            continue;
        std::string s = t.Payload.substr(1 + uint8_t(t.Payload[0]));
        size_t length = size_t(uint8_t(s[1]) & 0x0F) << 8 | uint8_t(s[2]);
        return s.substr(0, 3 + length);
    }
    return {};
}

bool CrcHolds(const std::string &section)
{
    return Crc32Mpeg(reinterpret_cast<const uint8_t *>(section.data()), section.size()) == 0;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(char(v));
    return s;
}

// The descriptors of a PMT: the program's, then each stream's by PID.
struct TPmt
{
    std::string Program;
    std::map<uint16_t, std::pair<uint8_t, std::string>> Streams;  // type, descriptors
};

TPmt ParsePmt(const std::string &s)
{
    TPmt pmt;
    size_t programLength = size_t(uint8_t(s[10]) & 0x0F) << 8 | uint8_t(s[11]);
    pmt.Program = s.substr(12, programLength);
    for (size_t at = 12 + programLength; at + 4 < s.size();) {
        uint16_t pid = uint16_t((uint8_t(s[at + 1]) & 0x1F) << 8 | uint8_t(s[at + 2]));
        size_t length = size_t(uint8_t(s[at + 3]) & 0x0F) << 8 | uint8_t(s[at + 4]);
        pmt.Streams[pid] = {uint8_t(s[at]), s.substr(at + 5, length)};
        at += 5 + length;
    }
    return pmt;
}

// The descriptor with `tag` in a descriptor loop, tag and length included.
std::string Descriptor(const std::string &loop, uint8_t tag)
{
    for (size_t at = 0; at + 2 <= loop.size(); at += 2 + uint8_t(loop[at + 1]))
        if (uint8_t(loop[at]) == tag)
            return loop.substr(at, 2 + uint8_t(loop[at + 1]));
    return {};
}

std::string MetaText(const fs::path &h264, const fs::path &ac3, const std::string &chapters = "00:00:00.000",
                     const std::string &fps = "25")
{
    std::string text = "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters="
                       + chapters + " --vbv-len=500\r\n";
    text += "V_MPEG4/ISO/AVC, \"" + h264.string() + "\", fps=" + fps + ", insertSEI, contSPS\r\n";
    if (!ac3.empty())
        text += "A_AC3, \"" + ac3.string() + "\"\r\n";
    return text;
}

class MuxStream : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        work_ = fs::temp_directory_path() / ("tavrel-muxstream-" + std::to_string(::getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        ffmpeg({"-i", (kFixtures / "cam1080i.m2ts").string(), "-map", "0:v", "-c:v", "copy", "-bsf:v",
                "h264_mp4toannexb", "-f", "h264", (work_ / "cam.h264").string(), "-map", "0:a", "-c:a",
                "copy", "-f", "ac3", (work_ / "cam.ac3").string()});
        disc_ = work_ / "cam";
        Mux(MetaText(work_ / "cam.h264", work_ / "cam.ac3"), disc_);
        m2ts_ = readFile(disc_ / "BDMV/STREAM/00000.m2ts");
        packets_ = ReadPackets(m2ts_);
    }
    static void TearDownTestSuite() { fs::remove_all(work_); }

    static void Mux(const std::string &meta, const fs::path &output)
    {
        fs::path metaPath = output.string() + ".meta";
        writeFile(metaPath, meta);
        TProcessResult r = runProcess({kBin + "/tsmuxer", metaPath.string(), output.string() + "/"});
        ASSERT_LE(r.exitCode, 1) << r.err;
    }

    static fs::path work_, disc_;
    static std::string m2ts_;
    static std::vector<TPacket> packets_;
};

fs::path MuxStream::work_, MuxStream::disc_;
std::string MuxStream::m2ts_;
std::vector<TPacket> MuxStream::packets_;

TEST_F(MuxStream, EndsOnAWholeAlignedUnitCountedInTheClipInfo)
{
    ASSERT_FALSE(packets_.empty());
    EXPECT_EQ(m2ts_.size() % 6144, 0u);
    // The filling, when the last unit needs any, is null packets and never a
    // whole unit: a stream that happens to end on a unit boundary has none.
    size_t filling = 0;
    while (filling < packets_.size() && packets_[packets_.size() - 1 - filling].Pid == 0x1FFF)
        ++filling;
    EXPECT_LT(filling, 32u);
    CLPI_CL *cl = bd_read_clpi((disc_ / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    EXPECT_EQ(cl->clip.num_source_packets, packets_.size());
    bd_free_clpi(cl);
}

TEST_F(MuxStream, PatListsTheSitAndThePmt)
{
    std::string pat = FirstSection(packets_, 0);
    ASSERT_EQ(pat.size(), 8u + 8u + 4u);
    EXPECT_TRUE(CrcHolds(pat));
    EXPECT_EQ(pat.substr(8, 8), Bytes({0x00, 0x00, 0xE0, 0x1F, 0x00, 0x01, 0xE1, 0x00}));
}

TEST_F(MuxStream, PmtCarriesCopyControlAndStreamDescriptors)
{
    std::string section = FirstSection(packets_, 0x100);
    ASSERT_FALSE(section.empty());
    EXPECT_TRUE(CrcHolds(section));
    TPmt pmt = ParsePmt(section);
    EXPECT_EQ(Descriptor(pmt.Program, 0x05), "\x05\x04HDMV");
    // The copy control descriptor as FFmpeg's M2TS mode writes it in the fixture clips.
    TPmt reference = ParsePmt(FirstSection(ReadPackets(readFile(kFixtures / "small1s.m2ts")), 0x100));
    ASSERT_FALSE(Descriptor(reference.Program, 0x88).empty());
    EXPECT_EQ(Descriptor(pmt.Program, 0x88), Descriptor(reference.Program, 0x88));

    ASSERT_EQ(pmt.Streams.count(0x1011), 1u);
    EXPECT_EQ(pmt.Streams[0x1011].first, 0x1B);
    // HDMV video registration: H.264, 1080i (4) at 25 frames (3), 16:9 (3).
    EXPECT_EQ(pmt.Streams[0x1011].second, std::string("\x05\x08HDMV\xFF\x1B\x43\x3F"));

    ASSERT_EQ(pmt.Streams.count(0x1100), 1u);
    EXPECT_EQ(pmt.Streams[0x1100].first, 0x81);
    EXPECT_EQ(Descriptor(pmt.Streams[0x1100].second, 0x05), "\x05\x04"
                                                            "AC-3");
    // AC-3 descriptor from the stream's header: 48 kHz, bsid 8, 192 kbit/s
    // (code 10), bsmod 0, 2/0 channels, full service, no language code.
    std::string ac3 = readFile(work_ / "cam.ac3");
    ASSERT_EQ(uint8_t(ac3[5]) >> 3, 8);
    EXPECT_EQ(Descriptor(pmt.Streams[0x1100].second, 0x81),
              Bytes({0x81, 4, 0x08, 10 << 2, 2 << 1 | 1, 0xFF}));
}

TEST_F(MuxStream, SitDescribesAPartialStreamAtTheRecordingRate)
{
    std::string sit = FirstSection(packets_, 0x1F);
    ASSERT_FALSE(sit.empty());
    EXPECT_TRUE(CrcHolds(sit));
    EXPECT_EQ(uint8_t(sit[0]), 0x7F);
    EXPECT_EQ(uint8_t(sit[1]) & 0xF0, 0xF0);
    size_t infoLength = size_t(uint8_t(sit[8]) & 0x0F) << 8 | uint8_t(sit[9]);
    std::string partial = Descriptor(sit.substr(10, infoLength), 0x63);
    ASSERT_EQ(partial.size(), 10u);
    uint32_t peak =
        (uint32_t(uint8_t(partial[2])) & 0x3F) << 16 | uint8_t(partial[3]) << 8 | uint8_t(partial[4]);
    EXPECT_EQ(peak * 400u, 48000000u);
    std::string service = sit.substr(10 + infoLength, sit.size() - 4 - 10 - infoLength);
    ASSERT_EQ(service.size(), 4u);
    EXPECT_EQ(uint8_t(service[0]) << 8 | uint8_t(service[1]), 1);
}

TEST_F(MuxStream, Ac3PesUsesTheExtendedStreamIdWithPriority)
{
    size_t starts = 0;
    for (const TPacket &t : packets_) {
        if (t.Pid == 0x1011) {
            ASSERT_FALSE(t.Priority);
        }
        if (t.Pid != 0x1100)
            continue;
        ASSERT_TRUE(t.Priority);
        if (!t.UnitStart)
            continue;
        ++starts;
        const auto *pes = reinterpret_cast<const uint8_t *>(t.Payload.data());
        ASSERT_EQ(pes[3], 0xFD);
        ASSERT_EQ(pes[7], 0x81);  // PTS and PES extension
        const uint8_t *extension = pes + 9 + 5;
        ASSERT_EQ(extension[0] & 0x01, 0x01);  // second extension
        ASSERT_EQ(extension[1], 0x81);  // marker, one byte
        ASSERT_EQ(extension[2], 0x71);
        ASSERT_EQ(pes[8], 8);
        ASSERT_EQ(pes[9 + pes[8]] << 8 | pes[10 + pes[8]], 0x0B77);  // AC-3 sync word after the header
    }
    EXPECT_GT(starts, 50u);
    TProcessResult frames = runProcess({"ffprobe", "-v", "error", "-select_streams", "a", "-count_frames",
                                        "-show_entries", "stream=codec_name,nb_read_frames", "-of", "csv=p=0",
                                        (disc_ / "BDMV/STREAM/00000.m2ts").string()});
    EXPECT_EQ(frames.out.substr(0, frames.out.find('\n') + 1), "ac3," + std::to_string(starts) + "\n");
}

// Standard-definition clips as ffmpeg encodes them, each with the display
// aspect its pixels alone would not give: a 16:9 576i clip (720x576 is
// nearer 4:3 in pixels) and a 4:3 480p clip (720x480 is nearer 16:9). The
// disc must name their format and aspect alike in the PMT's HDMV
// registration descriptor, the clip info and the playlist.
struct TSdCase
{
    const char *Name;
    const char *Size;
    const char *Rate;  // ffmpeg's and the meta file's
    const char *Fps;
    bool Interlaced;
    const char *Aspect;
    uint8_t Format;  // libbluray's names for the codes
    uint8_t RateCode;
    uint8_t AspectCode;
};

TEST_F(MuxStream, StandardDefinitionFormatAndAspectFromTheDisplayAspect)
{
    const TSdCase cases[] = {
        {"576i-16x9", "720x576", "25", "25", true, "16:9", BLURAY_VIDEO_FORMAT_576I, BLURAY_VIDEO_RATE_25,
         BLURAY_ASPECT_RATIO_16_9},
        {"480p-4x3", "720x480", "60000/1001", "59.94", false, "4:3", BLURAY_VIDEO_FORMAT_480P,
         BLURAY_VIDEO_RATE_60000_1001, BLURAY_ASPECT_RATIO_4_3},
    };
    for (const TSdCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path h264 = work_ / (std::string(c.Name) + ".h264");
        std::vector<std::string> args = {
            "-f",       "lavfi",
            "-i",       std::string("testsrc2=size=") + c.Size + ":rate=" + c.Rate + ":duration=1",
            "-c:v",     "libx264",
            "-preset",  "veryfast",
            "-pix_fmt", "yuv420p",
            "-aspect",  c.Aspect};
        if (c.Interlaced)
            args.insert(args.end(), {"-flags", "+ildct+ilme", "-x264opts", "tff=1"});
        args.insert(args.end(), {"-f", "h264", h264.string()});
        ffmpeg(args);
        // What the stream itself says, read by ffprobe.
        TProcessResult probe =
            runProcess({"ffprobe", "-v", "error", "-show_entries", "stream=display_aspect_ratio,field_order",
                        "-of", "csv=p=0", h264.string()});
        ASSERT_EQ(probe.out, std::string(c.Aspect) + "," + (c.Interlaced ? "tt" : "progressive") + "\n");

        const fs::path out = work_ / c.Name;
        Mux(MetaText(h264, {}, "00:00:00.000", c.Fps), out);

        // The PMT: H.264, format and rate codes, aspect code and four reserved bits.
        TPmt pmt = ParsePmt(FirstSection(ReadPackets(readFile(out / "BDMV/STREAM/00000.m2ts")), 0x100));
        EXPECT_EQ(pmt.Streams[0x1011].second,
                  "\x05\x08HDMV\xFF\x1B" + Bytes({c.Format << 4 | c.RateCode, c.AspectCode << 4 | 0x0F}));
        // The clip info's program info.
        CLPI_CL *cl = bd_read_clpi((out / "BDMV/CLIPINF/00000.clpi").c_str());
        ASSERT_NE(cl, nullptr);
        ASSERT_EQ(cl->program.num_prog, 1);
        const CLPI_PROG_STREAM &stream = cl->program.progs[0].streams[0];
        EXPECT_EQ(stream.format, c.Format);
        EXPECT_EQ(stream.rate, c.RateCode);
        EXPECT_EQ(stream.aspect, c.AspectCode);
        bd_free_clpi(cl);
        // The playlist's stream table, as a player's title information shows it.
        BLURAY *bd = bd_open(out.c_str(), nullptr);
        ASSERT_NE(bd, nullptr);
        ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
        BLURAY_TITLE_INFO *info = bd_get_title_info(bd, 0, 0);
        ASSERT_NE(info, nullptr);
        ASSERT_EQ(info->clip_count, 1u);
        ASSERT_EQ(info->clips[0].video_stream_count, 1);
        EXPECT_EQ(info->clips[0].video_streams[0].format, c.Format);
        EXPECT_EQ(info->clips[0].video_streams[0].rate, c.RateCode);
        EXPECT_EQ(info->clips[0].video_streams[0].aspect, c.AspectCode);
        bd_free_title_info(info);
        bd_close(bd);
    }
}

// Every packet of `pid` from `first` to the packet before the next PES
// start on that PID: the last one of that PES packet.
size_t LastPacketOfPes(const std::vector<TPacket> &packets, size_t first, uint16_t pid)
{
    size_t last = first;
    for (size_t i = first + 1; i < packets.size(); ++i) {
        if (packets[i].Pid != pid)
            continue;
        if (packets[i].UnitStart)
            break;
        last = i;
    }
    return last;
}

// Intra pictures of growing noise, from a few kilobytes to several
// hundred, with the audio packets between their packets.
TEST_F(MuxStream, EveryEntryPointEndClassCoversItsPictureOnDisc)
{
    const fs::path h264 = work_ / "noise.h264";
    ffmpeg({"-f", "lavfi", "-i",
            "color=gray:size=720x576:rate=25:duration=1,geq=lum='128+(random(1)-0.5)*N*10':cb=128:cr=128",
            "-c:v", "libx264", "-preset", "ultrafast", "-x264opts", "keyint=1:qp=4", "-pix_fmt", "yuv420p",
            "-f", "h264", h264.string()});
    const fs::path out = work_ / "noise";
    Mux(MetaText(h264, work_ / "cam.ac3"), out);
    const std::vector<TPacket> packets = ReadPackets(readFile(out / "BDMV/STREAM/00000.m2ts"));
    CLPI_CL *cl = bd_read_clpi((out / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    const CLPI_EP_MAP_ENTRY &map = cl->cpi.entry[0];
    ASSERT_EQ(map.num_ep_fine, 25u);
    std::map<int, int> classes;
    for (uint32_t c = 0; c < uint32_t(map.num_ep_coarse); ++c) {
        uint32_t end =
            c + 1 < uint32_t(map.num_ep_coarse) ? map.coarse[c + 1].ref_ep_fine_id : map.num_ep_fine;
        for (uint32_t f = map.coarse[c].ref_ep_fine_id; f < end; ++f) {
            uint32_t spn = (map.coarse[c].spn_ep & ~0x1FFFFu) + map.fine[f].spn_ep;
            uint64_t span = uint64_t(LastPacketOfPes(packets, spn, 0x1011) - spn + 1) * 192;
            // Classes: under 128, 256, 384, 576, 896 and 1280 KiB, then more.
            int expected = 1;
            for (uint64_t limit : {128, 256, 384, 576, 896, 1280})
                if (span >= limit * 1024)
                    ++expected;
            EXPECT_EQ(map.fine[f].i_end_position_offset, expected)
                << "entry " << f << ", " << span << " bytes";
            ++classes[expected];
        }
    }
    EXPECT_GE(classes.size(), 4u);
    bd_free_clpi(cl);
}

// Arrival times of the packets on the 27 MHz clock, unwrapped.
std::vector<uint64_t> ArrivalTimes(const std::vector<TPacket> &packets)
{
    std::vector<uint64_t> times;
    uint64_t wraps = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (i > 0 && packets[i].Ats < packets[i - 1].Ats)
            wraps += uint64_t(1) << 30;
        times.push_back(wraps + packets[i].Ats);
    }
    return times;
}

TEST_F(MuxStream, NoTenMillisecondsExceedTheRecordingRate)
{
    CLPI_CL *cl = bd_read_clpi((disc_ / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    const uint64_t bytesPerSecond = cl->clip.ts_recording_rate;
    bd_free_clpi(cl);
    ASSERT_EQ(bytesPerSecond, 6000000u);
    const std::vector<uint64_t> times = ArrivalTimes(packets_);
    const uint64_t window = 27000000 / 100;
    size_t busiest = 0;
    for (size_t first = 0, last = 0; first < times.size(); ++first) {
        while (last < times.size() && times[last] < times[first] + window)
            ++last;
        busiest = std::max(busiest, last - first);
    }
    EXPECT_LE(busiest * 192, bytesPerSecond / 100);
    // And the rate is used as far as the video's transport buffer lets its
    // packets through (36 Mbit/s at level 4.0 High).
    EXPECT_GE(busiest * 192, 36000000 / 8 / 100 / 188 * 192 - 2 * 192);
}

// The decoder model of MPEG-2 systems (T-STD) puts a 512-byte transport
// buffer in front of each stream, emptied at a rate Rx: 1.2 times the
// stream's highest rate for H.264 (level 4.0 High: 1.2 x 30 Mbit/s),
// 2 Mbit/s for AC-3, 1 Mbit/s for the tables. Fed with the packets of
// `pids` at their arrival time stamps, it counts the packets that arrive
// when their 188 bytes no longer fit.
struct TBufferRun
{
    size_t Packets = 0;
    size_t IntoFull = 0;
};

TBufferRun FeedTransportBuffer(const std::vector<TPacket> &packets, const std::set<uint16_t> &pids,
                               double rxBitsPerSecond)
{
    const std::vector<uint64_t> times = ArrivalTimes(packets);
    const double bytesPerTick = rxBitsPerSecond / 8 / 27e6;
    TBufferRun run;
    double level = 0;
    uint64_t last = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        if (!pids.count(packets[i].Pid))
            continue;
        level = std::max(0.0, level - bytesPerTick * double(times[i] - last));
        last = times[i];
        ++run.Packets;
        if (level + 188 > 512 + 1e-6)
            ++run.IntoFull;
        level = std::min(512.0, level + 188);  // what does not fit is lost
    }
    return run;
}

// The system time clock when each packet arrives, from the last PCR before
// it: the PCR's value plus the arrival time elapsed since.
std::vector<uint64_t> SystemTimes(const std::vector<TPacket> &packets, const std::string &m2ts,
                                  uint16_t pcrPid)
{
    const std::vector<uint64_t> arrivals = ArrivalTimes(packets);
    std::vector<uint64_t> stc(packets.size(), 0);
    std::optional<std::pair<uint64_t, uint64_t>> lastPcr;  // arrival, value
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto *p = reinterpret_cast<const uint8_t *>(m2ts.data()) + i * 192 + 4;
        if (packets[i].Pid == pcrPid && (p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10)) {
            const uint64_t base = uint64_t(p[6]) << 25 | uint64_t(p[7]) << 17 | uint64_t(p[8]) << 9
                                  | uint64_t(p[9]) << 1 | p[10] >> 7;
            lastPcr = {arrivals[i], base * 300 + ((p[10] & 1) << 8 | p[11])};
        }
        if (lastPcr)
            stc[i] = lastPcr->second + arrivals[i] - lastPcr->first;
    }
    return stc;
}

// How a disc's packets meet the decoder model and the rules of their timing.
struct TPacing
{
    TBufferRun Video, Audio, Tables;
    double LongestPcrGapMs = 0;
    double PeakVideoMbits = 0;  // over the busiest 10 ms
    size_t PicturesLate = 0;  // not whole by their decoding time
    double LatestMs = 0;  // how late the latest of them
    size_t PicturesEarly = 0;  // begun more than 500 ms before it
    size_t Pictures = 0;
};

TPacing MeasurePacing(const fs::path &disc, double videoRx)
{
    const std::string m2ts = readFile(disc / "BDMV/STREAM/00000.m2ts");
    const std::vector<TPacket> packets = ReadPackets(m2ts);
    TPacing pacing;
    pacing.Video = FeedTransportBuffer(packets, {0x1011}, videoRx);
    pacing.Audio = FeedTransportBuffer(packets, {0x1100}, 2e6);
    pacing.Tables = FeedTransportBuffer(packets, {0x0000, 0x0100, 0x001F}, 1e6);

    const std::vector<uint64_t> arrivals = ArrivalTimes(packets);
    std::optional<uint64_t> previousPcr;
    std::vector<uint64_t> video;  // arrival times of video packets
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].Pid == 0x1001) {
            if (previousPcr)
                pacing.LongestPcrGapMs =
                    std::max(pacing.LongestPcrGapMs, (arrivals[i] - *previousPcr) / 27e3);
            previousPcr = arrivals[i];
        }
        if (packets[i].Pid == 0x1011)
            video.push_back(arrivals[i]);
    }
    for (size_t first = 0, last = 0; first < video.size(); ++first) {
        while (last < video.size() && video[last] < video[first] + 270000)
            ++last;
        pacing.PeakVideoMbits = std::max(pacing.PeakVideoMbits, double(last - first) * 188 * 8 * 100 / 1e6);
    }

    // Each picture's PES: its first and last packets' system times against its DTS.
    const std::vector<uint64_t> stc = SystemTimes(packets, m2ts, 0x1001);
    std::optional<std::pair<size_t, uint64_t>> open;  // first packet, DTS on the 27 MHz clock
    size_t lastVideo = 0;
    auto close = [&] {
        if (!open)
            return;
        ++pacing.Pictures;
        if (stc[lastVideo] > open->second) {
            ++pacing.PicturesLate;
            pacing.LatestMs = std::max(pacing.LatestMs, (stc[lastVideo] - open->second) / 27e3);
        }
        if (stc[open->first] + 27000000 / 2 < open->second)
            ++pacing.PicturesEarly;
    };
    for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].Pid != 0x1011)
            continue;
        if (packets[i].UnitStart) {
            close();
            const auto *pes = reinterpret_cast<const uint8_t *>(packets[i].Payload.data());
            const uint8_t *stamp = pes + ((pes[7] & 0xC0) == 0xC0 ? 14 : 9);
            const uint64_t dts = uint64_t(stamp[0] >> 1 & 7) << 30 | uint64_t(stamp[1]) << 22
                                 | uint64_t(stamp[2] >> 1) << 15 | uint64_t(stamp[3]) << 7 | stamp[4] >> 1;
            open = {i, dts * 300};
        }
        lastVideo = i;
    }
    close();
    return pacing;
}

void PrintPacing(const std::string &name, const TPacing &p)
{
    std::printf("%s: video %zu of %zu packets into a full buffer, audio %zu of %zu, tables %zu of %zu; "
                "busiest 10 ms of video %.1f Mbit/s; longest PCR gap %.1f ms; %zu pictures, %zu late, "
                "%zu early\n",
                name.c_str(), p.Video.IntoFull, p.Video.Packets, p.Audio.IntoFull, p.Audio.Packets,
                p.Tables.IntoFull, p.Tables.Packets, p.PeakVideoMbits, p.LongestPcrGapMs, p.Pictures,
                p.PicturesLate, p.PicturesEarly);
}

// The highest bit rate of an H.264 stream's NAL HRD parameters, read with
// FFmpeg's header tracer; 0 without them.
double HrdBitRate(const fs::path &h264)
{
    TProcessResult trace =
        runProcess({"ffmpeg", "-hide_banner", "-v", "verbose", "-i", h264.string(), "-c", "copy", "-bsf:v",
                    "trace_headers", "-frames:v", "1", "-f", "null", "-"});
    auto field = [&](const std::string &name) -> std::optional<double> {
        size_t at = trace.err.find(" " + name + " ");
        if (at == std::string::npos)
            return std::nullopt;
        size_t eq = trace.err.find(" = ", at);
        return std::stod(trace.err.substr(eq + 3));
    };
    EXPECT_EQ(field("cpb_cnt_minus1").value_or(0), 0);
    std::optional<double> scale = field("bit_rate_scale"), value = field("bit_rate_value_minus1[0]");
    return scale && value ? (*value + 1) * std::pow(2.0, 6 + *scale) : 0;
}

// A 1080i disc from the camcorder fixture and a 1080p one from a clip made
// here like a camcorder's (level 4.0 High, HRD parameters of 24 Mbit/s),
// fed to the decoder model at 36 Mbit/s, and the 1080p one also at 1.2
// times its HRD rate: no packet of any stream finds its transport buffer
// full, and no 10 ms carry more video than the buffer lets through; every
// picture arrives whole before its decoding time and no earlier than the
// 500 ms buffering window; the PCR comes at least every 100 ms.
TEST_F(MuxStream, NoPacketArrivesIntoAFullTransportBuffer)
{
    const fs::path h264 = work_ / "cam1080p.h264";
    ffmpeg({"-f",         "lavfi",
            "-i",         "testsrc2=size=1920x1080:rate=25:duration=3,noise=alls=12:allf=t",
            "-c:v",       "libx264",
            "-preset",    "veryfast",
            "-profile:v", "high",
            "-level",     "4.0",
            "-b:v",       "18M",
            "-maxrate",   "24M",
            "-bufsize",   "18M",
            "-x264opts",  "nal-hrd=vbr:keyint=12:bframes=2",
            "-pix_fmt",   "yuv420p",
            "-f",         "h264",
            h264.string()});
    ASSERT_EQ(HrdBitRate(work_ / "cam.h264"), 0);
    ASSERT_EQ(HrdBitRate(h264), 24e6);
    const fs::path p1080 = work_ / "cam1080p";
    Mux(MetaText(h264, work_ / "cam.ac3"), p1080);
    const std::tuple<std::string, fs::path, fs::path, double> cases[] = {
        {"1080i", disc_, work_ / "cam.h264", 36e6},
        {"1080p", p1080, h264, 36e6},
        {"1080p at its HRD rate", p1080, h264, 1.2 * 24e6}};
    for (const auto &[name, disc, source, rx] : cases) {
        SCOPED_TRACE(name);
        TProcessResult probe = runProcess({"ffprobe", "-v", "error", "-show_entries", "stream=profile,level",
                                           "-of", "csv=p=0", source.string()});
        ASSERT_EQ(probe.out, "High,40\n");  // at most 30 Mbit/s
        const TPacing pacing = MeasurePacing(disc, rx);
        PrintPacing(name, pacing);
        EXPECT_GT(pacing.Video.Packets, 1000u);
        EXPECT_EQ(pacing.Video.IntoFull, 0u);
        EXPECT_GT(pacing.Audio.Packets, 100u);
        EXPECT_EQ(pacing.Audio.IntoFull, 0u);
        EXPECT_EQ(pacing.Tables.IntoFull, 0u);
        EXPECT_LE(pacing.PeakVideoMbits * 1e6 / 8 / 100, rx / 8 / 100 + 512);
        EXPECT_GT(pacing.Pictures, 49u);
        EXPECT_EQ(pacing.PicturesLate, 0u);
        EXPECT_EQ(pacing.PicturesEarly, 0u);
        EXPECT_GT(pacing.LongestPcrGapMs, 0.0);
        EXPECT_LE(pacing.LongestPcrGapMs, 100.0);
    }
}

// A stream far faster than its level allows (1.5 Mbit/s labelled level 1.1,
// whose transport buffer lets 0.35 Mbit/s through) cannot keep its
// transport buffer from overflowing; its pictures must still not fall ever
// further behind their decoding times.
TEST_F(MuxStream, StreamAboveItsLevelStaysNearItsDecodingTimes)
{
    const fs::path h264 = work_ / "above-level.h264";
    ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=2,noise=alls=30:allf=t", "-c:v",
            "libx264", "-preset", "veryfast", "-level", "1.1", "-b:v", "1500k", "-pix_fmt", "yuv420p", "-f",
            "h264", h264.string()});
    TProcessResult probe = runProcess({"ffprobe", "-v", "error", "-show_entries", "stream=level,bit_rate",
                                       "-of", "csv=p=0", h264.string()});
    ASSERT_EQ(probe.out.substr(0, 3), "11,") << probe.out;
    const fs::path out = work_ / "above-level";
    Mux(MetaText(h264, {}), out);
    const TPacing pacing = MeasurePacing(out, 1.2 * 1500 * 192);
    PrintPacing("above its level", pacing);
    EXPECT_EQ(pacing.Pictures, 50u);
    EXPECT_GT(pacing.Video.IntoFull, 0u);
    EXPECT_LT(pacing.LatestMs, 100.0);
}

// libbluray's navigation machine: the first play object starts the title,
// which plays the playlist; the top menu starts it again.
TEST_F(MuxStream, FirstPlayAndTopMenuLeadToTheTitle)
{
    BLURAY *bd = bd_open(disc_.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_play(bd), 1);
    std::vector<std::pair<uint32_t, uint32_t>> events;  // title and playlist events
    std::vector<unsigned char> buffer(6144);
    int64_t read = 0;
    auto run = [&](int rounds) {
        for (int i = 0; i < rounds; ++i) {
            BD_EVENT event {};
            int got = bd_read_ext(bd, buffer.data(), int(buffer.size()), &event);
            if (got < 0)
                break;
            read += got;
            if (event.event == BD_EVENT_TITLE || event.event == BD_EVENT_PLAYLIST)
                events.push_back({event.event, event.param});
        }
    };
    run(200);
    EXPECT_GT(read, 0);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], std::make_pair(uint32_t(BD_EVENT_TITLE), 1u));
    EXPECT_EQ(events.back(), std::make_pair(uint32_t(BD_EVENT_PLAYLIST), 0u));
    events.clear();
    ASSERT_EQ(bd_menu_call(bd, -1), 1);
    run(200);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), std::make_pair(uint32_t(BD_EVENT_TITLE), 0u));  // the top menu
    EXPECT_EQ(events.back(), std::make_pair(uint32_t(BD_EVENT_PLAYLIST), 0u));
    bd_close(bd);
}

// Time stamps of one video PES header; the decoding time is absent when
// the header carries the presentation time only.
struct TVideoStamps
{
    int64_t Pts = 0;
    std::optional<int64_t> Dts;
};

std::vector<TVideoStamps> VideoStamps(const std::vector<TPacket> &packets)
{
    std::vector<TVideoStamps> stamps;
    auto stamp = [](const uint8_t *p) {
        return int64_t(p[0] >> 1 & 7) << 30 | int64_t(p[1]) << 22 | int64_t(p[2] >> 1) << 15
               | int64_t(p[3]) << 7 | p[4] >> 1;
    };
    for (const TPacket &t : packets) {
        if (t.Pid != 0x1011 || !t.UnitStart)
            continue;
        const auto *pes = reinterpret_cast<const uint8_t *>(t.Payload.data());
        TVideoStamps s;
        s.Pts = stamp(pes + 9);
        if ((pes[7] & 0xC0) == 0xC0)
            s.Dts = stamp(pes + 14);
        stamps.push_back(s);
    }
    return stamps;
}

// Decoding times of the video in the file, from its PES headers.
std::vector<int64_t> VideoDecodeTimes(const std::vector<TPacket> &packets)
{
    std::vector<int64_t> times;
    for (const TVideoStamps &s : VideoStamps(packets)) {
        EXPECT_LE(s.Dts.value_or(s.Pts), s.Pts);
        times.push_back(s.Dts.value_or(s.Pts));
    }
    return times;
}

// A picture stored before one it is shown after (an I or P picture ahead
// of its B-pictures) must be decoded before it is shown: its header has to
// carry a decoding time earlier than its presentation time, since players
// that do not guess one would otherwise show it late or drop it.
void ExpectReorderedPicturesCarryAnEarlierDts(const std::vector<TPacket> &packets)
{
    std::vector<TVideoStamps> stamps = VideoStamps(packets);
    size_t reordered = 0;
    for (size_t i = 0; i + 1 < stamps.size(); ++i) {
        bool shownAfterALaterOne = false;
        for (size_t j = i + 1; j < stamps.size() && j < i + 8; ++j)
            shownAfterALaterOne |= stamps[j].Pts < stamps[i].Pts;
        if (!shownAfterALaterOne)
            continue;
        ++reordered;
        ASSERT_TRUE(stamps[i].Dts.has_value()) << "picture " << i << " has no DTS";
        EXPECT_LT(*stamps[i].Dts, stamps[i].Pts) << "picture " << i;
    }
    EXPECT_GT(reordered, stamps.size() / 4);
}

TEST_F(MuxStream, ReorderedCamcorderPicturesCarryAnEarlierDts)
{
    ExpectReorderedPicturesCarryAnEarlierDts(packets_);
}

// x264 with adaptive B-frames drops B-frames where the picture changes
// suddenly: scene cuts make groups with zero, one and two B-frames.
TEST_F(MuxStream, DecodingTimesStepByOneFrameWhereBFramesAreDropped)
{
    const fs::path h264 = work_ / "cuts.h264";
    ffmpeg({"-f", "lavfi", "-i",
            "testsrc2=size=320x180:rate=25:duration=3,"
            "geq=lum='if(lt(mod(N\\,9)\\,4)\\,lum(X\\,Y)\\,255-lum(X\\,Y))':cb=128:cr=128",
            "-c:v", "libx264", "-preset", "medium", "-x264opts",
            "bframes=2:b-adapt=2:b-pyramid=none:keyint=25", "-flags", "+ildct+ilme", "-pix_fmt", "yuv420p",
            "-f", "h264", h264.string()});
    TProcessResult types = runProcess(
        {"ffprobe", "-v", "error", "-show_entries", "frame=pict_type", "-of", "csv=p=0", h264.string()});
    std::string sequence;
    for (char c : types.out)
        if (c == 'I' || c == 'P' || c == 'B')
            sequence += c;
    ASSERT_NE(sequence.find("PP"), std::string::npos) << sequence;  // a group without B-frames
    ASSERT_NE(sequence.find("BB"), std::string::npos) << sequence;  // and one with two

    const fs::path out = work_ / "cuts";
    Mux(MetaText(h264, {}), out);
    std::vector<TPacket> packets = ReadPackets(readFile(out / "BDMV/STREAM/00000.m2ts"));
    ExpectReorderedPicturesCarryAnEarlierDts(packets);
    std::vector<int64_t> dts = VideoDecodeTimes(packets);
    ASSERT_EQ(dts.size(), 75u);
    for (size_t i = 1; i < dts.size(); ++i)
        EXPECT_EQ(dts[i] - dts[i - 1], 3600) << "frame " << i;
}

TEST_F(MuxStream, InterlacedCamcorderDecodingTimesStepByOneFrame)
{
    std::vector<int64_t> dts = VideoDecodeTimes(packets_);
    ASSERT_EQ(dts.size(), 50u);
    for (size_t i = 1; i < dts.size(); ++i)
        EXPECT_EQ(dts[i] - dts[i - 1], 3600) << "frame " << i;
}

// A disc of three camera clips (B-frames in all, one interlaced, one
// without sound) made by the demultiplexer and the muxer: libbluray reads
// the whole stream file as the title and every AC-3 frame is in it.
TEST_F(MuxStream, LibblurayReadsTheWholeTitleOfThreeClips)
{
    const fs::path flux = work_ / "flux";
    fs::create_directories(flux);
    std::string clips;
    for (const char *clip : {"cam1080i.m2ts", "small1s.m2ts", "videoonly.m2ts"})
        clips += (clips.empty() ? "" : "+") + (kFixtures / clip).string();
    TProcessResult demux = runProcess({kBin + "/eac3to", "-demux", clips}, flux.string());
    ASSERT_EQ(demux.exitCode, 0) << demux.out << demux.err;
    const fs::path out = work_ / "three";
    Mux(MetaText(flux / "cam1080i.h264", flux / "cam1080i.ac3", "00:00:00.000;00:00:02.000;00:00:03.000"),
        out);

    const std::string m2ts = readFile(out / "BDMV/STREAM/00000.m2ts");
    EXPECT_EQ(m2ts.size() % 6144, 0u);
    const fs::path spliced = work_ / "spliced.m2ts";
    TProcessResult splice = runProcess({"bd_splice", "-t", "1", out.string(), spliced.string()});
    ASSERT_EQ(splice.exitCode, 0) << splice.err;
    EXPECT_EQ(splice.err.find("Read past EOF"), std::string::npos) << splice.err;
    EXPECT_TRUE(readFile(spliced) == m2ts) << fs::file_size(spliced) << " of " << m2ts.size() << " bytes";

    const fs::path audio = work_ / "spliced.ac3";
    ffmpeg({"-i", spliced.string(), "-map", "0:a", "-c", "copy", "-f", "ac3", audio.string()});
    std::string demuxed = readFile(flux / "cam1080i.ac3");
    ASSERT_GT(demuxed.size(), 0u);
    EXPECT_TRUE(readFile(audio) == demuxed) << fs::file_size(audio) << " of " << demuxed.size() << " bytes";
}

}  // namespace
