// The tsmuxer program end to end: elementary streams made with ffmpeg from
// the fixture clips, discs checked with libbluray, ffprobe, ffmpeg and
// GStreamer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/tools/mux/processrun.h"
#include "tests/support/unprivileged.h"

namespace fs = std::filesystem;

namespace {

const std::string kTsmuxer = std::string(TAVREL_BIN_DIR) + "/tsmuxer";
const fs::path kFixtures = TAVREL_FIXTURE_DIR;
// Reading back a disc of a few seconds ends well within this on a busy
// machine; a reader stuck on a stream it cannot place is stopped here.
constexpr int kReadBackLimitSeconds = 30;

// Video and audio elementary streams of fixture clips joined in order, as
// the demultiplexer writes them.
void DemuxJoined(const std::vector<std::string> &clips, const fs::path &h264, const fs::path &ac3)
{
    std::string video, audio;
    for (const std::string &clip : clips) {
        fs::path v = h264.string() + ".part", a = ac3.string() + ".part";
        ffmpeg({"-i", (kFixtures / clip).string(), "-map", "0:v", "-c:v", "copy", "-bsf:v",
                "h264_mp4toannexb", "-f", "h264", v.string(), "-map", "0:a", "-c:a", "copy", "-f", "ac3",
                a.string()});
        video += readFile(v);
        audio += readFile(a);
        fs::remove(v);
        fs::remove(a);
    }
    writeFile(h264, video);
    writeFile(ac3, audio);
}

std::string MetaText(const std::string &chapters, const fs::path &h264, const fs::path &ac3,
                     const std::string &options = "--no-pcr-on-video-pid --new-audio-pes --avchd --vbr ",
                     const std::string &fps = "25")
{
    std::string text = "MUXOPT " + options + " --custom-chapters=" + chapters + " --vbv-len=500\r\n";
    text += "V_MPEG4/ISO/AVC, \"" + h264.string() + "\", fps=" + fps + ", insertSEI, contSPS\r\n";
    if (!ac3.empty())
        text += "A_AC3, \"" + ac3.string() + "\"\r\n";
    return text;
}

struct TTitle
{
    uint64_t Duration = 0;
    std::vector<uint64_t> ChapterStarts;
    uint8_t VideoFormat = 0;
    uint32_t Titles = 0;
};

TTitle ReadTitle(const fs::path &disc)
{
    TTitle t;
    BLURAY *bd = bd_open(disc.c_str(), nullptr);
    if (!bd)
        return t;
    t.Titles = bd_get_titles(bd, TITLES_ALL, 0);
    if (BLURAY_TITLE_INFO *info = t.Titles ? bd_get_title_info(bd, 0, 0) : nullptr) {
        t.Duration = info->duration;
        for (uint32_t i = 0; i < info->chapter_count; ++i)
            t.ChapterStarts.push_back(info->chapters[i].start);
        if (info->clip_count && info->clips[0].video_stream_count)
            t.VideoFormat = info->clips[0].video_streams[0].format;
        bd_free_title_info(info);
    }
    bd_close(bd);
    return t;
}

// The sequence parameter set sent since the previous IDR picture in front
// of each IDR picture of an Annex B stream (empty when there is none).
std::vector<std::string> SpsBeforeEachIdr(const std::string &stream)
{
    std::vector<std::string> result;
    std::string lastSps;
    size_t pos = 0;
    while ((pos = stream.find(std::string("\0\0\1", 3), pos)) != std::string::npos) {
        pos += 3;
        if (pos >= stream.size())
            break;
        size_t next = stream.find(std::string("\0\0\1", 3), pos);
        std::string nal = stream.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        while (!nal.empty() && nal.back() == 0)
            nal.pop_back();
        int type = nal[0] & 0x1F;
        if (type == 7)
            lastSps = nal;
        if (type == 5 && (uint8_t(nal[1]) & 0x80)) {  // first slice of the picture
            result.push_back(lastSps);
            lastSps.clear();
        }
    }
    return result;
}

// The stream with its parameter sets only in front of its first picture.
std::string WithParamSetsOnce(const std::string &stream)
{
    std::string out;
    bool sliceSeen = false;
    size_t pos = stream.find(std::string("\0\0\1", 3));
    while (pos != std::string::npos) {
        size_t next = stream.find(std::string("\0\0\1", 3), pos + 3);
        std::string nal = stream.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        int type = nal[3] & 0x1F;
        if (type == 1 || type == 5)
            sliceSeen = true;
        if (!(sliceSeen && (type == 7 || type == 8)))
            out += nal;
        pos = next;
    }
    return out;
}

class MuxDisc : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        work_ = fs::temp_directory_path() / ("tavrel-muxdisc-" + std::to_string(::getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_);
        DemuxJoined({"small1s.m2ts", "small3s.m2ts"}, work_ / "two.h264", work_ / "two.ac3");
        DemuxJoined({"cam1080i.m2ts"}, work_ / "cam.h264", work_ / "cam.ac3");
        // One camera: POC type 2, one reference frame. Another: POC type 0, four
        // reference frames, B-pyramid. Both number their parameter sets 0.
        const std::string source = "testsrc2=size=320x180:rate=25:duration=2";
        ffmpeg({"-f", "lavfi", "-i", source, "-c:v", "libx264", "-preset", "veryfast", "-x264opts",
                "bframes=0:ref=1:keyint=12", "-pix_fmt", "yuv420p", "-f", "h264",
                (work_ / "p.h264").string()});
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x180:rate=25:duration=2", "-c:v", "libx264", "-preset",
                "medium", "-x264opts", "bframes=3:b-pyramid=normal:ref=4:keyint=25", "-pix_fmt", "yuv420p",
                "-f", "h264", (work_ / "b.h264").string()});
        writeFile(work_ / "mixed.h264",
                  readFile(work_ / "p.h264") + readFile(work_ / "b.h264") + readFile(work_ / "p.h264"));
        ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=6", "-c:a", "ac3", "-f",
                "ac3", (work_ / "mixed.ac3").string()});
    }
    static void TearDownTestSuite() { fs::remove_all(work_); }

    // Writes the meta file and runs the muxer on it.
    TProcessResult Mux(const std::string &meta, const fs::path &output)
    {
        fs::path metaPath = work_ / "disc.meta";
        writeFile(metaPath, meta);
        return runProcess({kTsmuxer, metaPath.string(), output.string() + "/"});
    }

    static bool TempLeftBeside(const fs::path &output)
    {
        for (const auto &entry : fs::directory_iterator(output.parent_path()))
            if (entry.path().filename().string().find(".tsmuxer-") != std::string::npos)
                return true;
        return false;
    }

    static fs::path work_;
};

fs::path MuxDisc::work_;

TEST_F(MuxDisc, TwoClipsMakeOneTitleWithTheirChapters)
{
    fs::path out = work_ / "two";
    TProcessResult r = Mux(MetaText("00:00:00.000;00:00:01.120", work_ / "two.h264", work_ / "two.ac3"), out);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\rMuxing: "), std::string::npos);
    EXPECT_FALSE(TempLeftBeside(out));

    for (const char *name : {"index.bdmv", "MovieObject.bdmv", "PLAYLIST/00000.mpls", "CLIPINF/00000.clpi"}) {
        std::string data = readFile(out / "BDMV" / name);
        EXPECT_EQ(data.substr(4, 4), "0100") << name;
        EXPECT_EQ(readFile(out / "BDMV/BACKUP" / name), data) << name;
    }
    EXPECT_TRUE(fs::is_directory(out / "CERTIFICATE/BACKUP"));

    TTitle title = ReadTitle(out);
    EXPECT_EQ(title.Titles, 1u);
    EXPECT_NEAR(double(title.Duration), 4.0 * 90000, 0.1 * 90000);
    EXPECT_EQ(title.ChapterStarts, (std::vector<uint64_t> {0, 2 * 45 * 1120}));

    fs::path m2ts = out / "BDMV/STREAM/00000.m2ts";
    TProcessResult probe =
        runProcess({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name:format=format_name", "-of",
                    "csv=p=0", m2ts.string()});
    EXPECT_NE(probe.out.find("h264\nac3\n"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("mpegts"), std::string::npos) << probe.out;
    std::string data = readFile(m2ts);
    ASSERT_EQ(data.size() % 192, 0u);
    for (size_t i = 4; i < data.size(); i += 192)
        ASSERT_EQ(uint8_t(data[i]), 0x47) << i;
}

TEST_F(MuxDisc, EveryIntraPictureHasAnEntryPointAtItsFirstPacket)
{
    fs::path out = work_ / "ep";
    ASSERT_EQ(Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"), out).exitCode, 0);
    TProcessResult frames = runProcess({"ffprobe", "-v", "error", "-show_entries", "frame=pict_type", "-of",
                                        "csv=p=0", (work_ / "two.h264").string()});
    size_t intra = 0;
    for (size_t p = 0; (p = frames.out.find('I', p)) != std::string::npos; ++p)
        ++intra;
    ASSERT_GT(intra, 2u);

    CLPI_CL *cl = bd_read_clpi((out / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    const CLPI_EP_MAP_ENTRY &map = cl->cpi.entry[0];
    EXPECT_EQ(map.num_ep_fine, intra);
    std::string m2ts = readFile(out / "BDMV/STREAM/00000.m2ts");
    for (uint32_t c = 0; c < uint32_t(map.num_ep_coarse); ++c) {
        uint32_t end =
            c + 1 < uint32_t(map.num_ep_coarse) ? map.coarse[c + 1].ref_ep_fine_id : map.num_ep_fine;
        for (uint32_t f = map.coarse[c].ref_ep_fine_id; f < end; ++f) {
            uint32_t spn = (map.coarse[c].spn_ep & ~0x1FFFFu) + map.fine[f].spn_ep;
            ASSERT_LT(size_t(spn) * 192 + 192, m2ts.size() + 1);
            const auto *p = reinterpret_cast<const uint8_t *>(m2ts.data()) + size_t(spn) * 192 + 4;
            EXPECT_EQ((p[1] & 0x1F) << 8 | p[2], 0x1011);
            EXPECT_TRUE(p[1] & 0x40) << "no PES starts at entry " << f;
            size_t payload = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
            const uint8_t *pes = p + payload;
            ASSERT_EQ(pes[0] << 16 | pes[1] << 8 | pes[2], 1);
            EXPECT_EQ(pes[3], 0xE0);
            uint64_t pts = uint64_t(pes[9] >> 1 & 7) << 30 | pes[10] << 22 | (pes[11] >> 1) << 15
                           | pes[12] << 7 | pes[13] >> 1;
            EXPECT_EQ((pts >> 9) & 0x7FF, map.fine[f].pts_ep);
            const uint8_t *au = pes + 9 + pes[8];
            // Access unit delimiter saying "I slices only", then the parameter sets.
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(au), 6), std::string("\0\0\0\1\x09\x10", 6));
            EXPECT_EQ(au[10] & 0x1F, 7);
        }
    }
    bd_free_clpi(cl);
}

TEST_F(MuxDisc, InterlacedCamcorderClipDecodesAndPlays)
{
    fs::path out = work_ / "cam";
    TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "cam.h264", work_ / "cam.ac3"), out);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TTitle title = ReadTitle(out);
    EXPECT_NEAR(double(title.Duration), 2.0 * 90000, 0.1 * 90000);
    EXPECT_EQ(title.VideoFormat, BLURAY_VIDEO_FORMAT_1080I);
    fs::path m2ts = out / "BDMV/STREAM/00000.m2ts";
    TProcessResult decode =
        runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", m2ts.string(), "-f", "null", "-"}, {},
                   kReadBackLimitSeconds);
    EXPECT_FALSE(decode.timedOut) << "ffmpeg did not finish reading the disc";
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.err, "");
    TProcessResult play = runProcess({"gst-launch-1.0", "filesrc", "location=" + m2ts.string(), "!",
                                      "decodebin", "name=d", "d.", "!", "queue", "!", "fakesink", "sync=true",
                                      "d.", "!", "queue", "!", "fakesink", "sync=true"},
                                     {}, kReadBackLimitSeconds);
    EXPECT_FALSE(play.timedOut) << "GStreamer did not finish playing the disc: " << play.out << play.err;
    EXPECT_EQ(play.exitCode, 0) << play.out << play.err;
    EXPECT_NE(play.out.find("Got EOS"), std::string::npos) << play.out;
    EXPECT_EQ(play.out.find("ERROR"), std::string::npos) << play.out;
    EXPECT_EQ(play.err.find("ERROR"), std::string::npos) << play.err;
}

TEST_F(MuxDisc, MixedCamerasKeepTheirOwnParameterSetsAndDecodeCleanly)
{
    fs::path out = work_ / "mixed";
    TProcessResult r = Mux(
        MetaText("00:00:00.000;00:00:02.120;00:00:04.240", work_ / "mixed.h264", work_ / "mixed.ac3"), out);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    fs::path m2ts = out / "BDMV/STREAM/00000.m2ts";
    TProcessResult decode =
        runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", m2ts.string(), "-f", "null", "-"});
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.err, "");

    // Shown back to back: no gap or overlap where the cameras change.
    TTitle title = ReadTitle(out);
    EXPECT_NEAR(double(title.Duration), 6.0 * 90000, 0.1 * 90000);
    EXPECT_EQ(title.ChapterStarts.size(), 3u);
    TProcessResult pts = runProcess({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                                     "frame=pts", "-of", "csv=p=0", m2ts.string()});
    std::istringstream lines(pts.out);
    std::vector<long long> times;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            times.push_back(std::stoll(line));
    ASSERT_EQ(times.size(), 150u);
    for (size_t i = 1; i < times.size(); ++i)
        ASSERT_EQ(times[i] - times[i - 1], 3600) << i;

    // Each IDR is preceded by the sequence parameter set of its own camera.
    fs::path back = work_ / "mixed-back.h264";
    ffmpeg({"-i", m2ts.string(), "-map", "0:v", "-c", "copy", "-f", "h264", back.string()});
    std::vector<std::string> got = SpsBeforeEachIdr(readFile(back));
    std::vector<std::string> p = SpsBeforeEachIdr(readFile(work_ / "p.h264"));
    std::vector<std::string> b = SpsBeforeEachIdr(readFile(work_ / "b.h264"));
    ASSERT_FALSE(p.empty());
    ASSERT_FALSE(b.empty());
    ASSERT_NE(p[0], b[0]);
    std::vector<std::string> expected = p;
    expected.insert(expected.end(), b.begin(), b.end());
    expected.insert(expected.end(), p.begin(), p.end());
    EXPECT_EQ(got, expected);
}

TEST_F(MuxDisc, ContSpsRepeatsEachClipsOwnParameterSets)
{
    std::string p = WithParamSetsOnce(readFile(work_ / "p.h264"));
    std::string b = WithParamSetsOnce(readFile(work_ / "b.h264"));
    writeFile(work_ / "sparse.h264", p + b + p);
    fs::path out = work_ / "sparse";
    ASSERT_EQ(Mux(MetaText("00:00:00.000", work_ / "sparse.h264", work_ / "mixed.ac3"), out).exitCode, 0);
    fs::path m2ts = out / "BDMV/STREAM/00000.m2ts";
    TProcessResult decode =
        runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", m2ts.string(), "-f", "null", "-"});
    EXPECT_EQ(decode.err, "");
    fs::path back = work_ / "sparse-back.h264";
    ffmpeg({"-i", m2ts.string(), "-map", "0:v", "-c", "copy", "-f", "h264", back.string()});
    std::vector<std::string> got = SpsBeforeEachIdr(readFile(back));
    std::vector<std::string> ownP = SpsBeforeEachIdr(readFile(work_ / "p.h264"));
    std::vector<std::string> ownB = SpsBeforeEachIdr(readFile(work_ / "b.h264"));
    ASSERT_EQ(SpsBeforeEachIdr(p + b + p).size(), got.size());
    std::vector<std::string> expected = ownP;
    expected.insert(expected.end(), ownB.begin(), ownB.end());
    expected.insert(expected.end(), ownP.begin(), ownP.end());
    EXPECT_EQ(got, expected);
}

TEST_F(MuxDisc, OptionsChoosePcrPidAndStructureVersion)
{
    fs::path out = work_ / "options";
    ASSERT_EQ(Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3", "--vbr"), out).exitCode, 0);
    EXPECT_EQ(readFile(out / "BDMV/index.bdmv").substr(4, 4), "0200");
    CLPI_CL *cl = bd_read_clpi((out / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    EXPECT_EQ(cl->sequence.atc_seq[0].stc_seq[0].pcr_pid, 0x1011);
    bd_free_clpi(cl);
    TProcessResult decode = runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i",
                                        (out / "BDMV/STREAM/00000.m2ts").string(), "-f", "null", "-"});
    EXPECT_EQ(decode.err, "");
}

TEST_F(MuxDisc, ChapterPastTheEndIsLeftOutWithAWarning)
{
    fs::path out = work_ / "late-chapter";
    TProcessResult r =
        Mux(MetaText("00:00:00.000;00:00:01.120;00:00:09.000", work_ / "two.h264", work_ / "two.ac3"), out);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("chapter 00:00:09.000 is past the end"), std::string::npos) << r.err;
    EXPECT_EQ(ReadTitle(out).ChapterStarts.size(), 2u);
}

TEST_F(MuxDisc, RateAboveWhatDvdPlayersReadIsWarnedWithTheRate)
{
    fs::path out = work_ / "fast";
    // Twelve megabits a second shown four times as fast.
    TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "cam.h264", work_ / "cam.ac3",
                                    "--no-pcr-on-video-pid --avchd --vbr", "100"),
                           out);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Mbit/s; AVCHD players on DVD are specified for 24 Mbit/s"), std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(out / "BDMV/STREAM/00000.m2ts"));
}

TEST_F(MuxDisc, ExistingFolderGetsNewStructureAndKeepsOtherFiles)
{
    fs::path out = work_ / "existing";
    fs::create_directories(out / "BDMV");
    writeFile(out / "BDMV/stale.txt", "old");
    writeFile(out / "notes.txt", "mine");
    ASSERT_EQ(Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"), out).exitCode, 0);
    EXPECT_FALSE(fs::exists(out / "BDMV/stale.txt"));
    EXPECT_EQ(readFile(out / "notes.txt"), "mine");
    EXPECT_EQ(ReadTitle(out).Titles, 1u);
    EXPECT_FALSE(TempLeftBeside(out));
}

// Sets or clears the immutable attribute of `path` (as chattr +i does);
// false where the file system or the user's rights do not allow it.
bool SetImmutable(const fs::path &path, bool immutable)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

// The previous disc folder stays whole when the last move of the swap
// fails: its CERTIFICATE cannot be moved (immutable, as a folder the user
// may not move would be), after BDMV could.
TEST_F(MuxDisc, FailedSwapLeavesThePreviousFolderByteForByte)
{
    fs::path out = work_ / "kept";
    ASSERT_EQ(Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"), out).exitCode, 0);
    writeFile(out / "notes.txt", "mine");
    std::map<std::string, std::string> before;
    for (const auto &entry : fs::recursive_directory_iterator(out))
        before[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path()) : "<dir>";
    if (!SetImmutable(out / "CERTIFICATE", true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "cam.h264", work_ / "cam.ac3"), out);
    SetImmutable(out / "CERTIFICATE", false);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("/CERTIFICATE\" to \""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the output folder was left as it was"), std::string::npos) << r.err;
    std::map<std::string, std::string> after;
    for (const auto &entry : fs::recursive_directory_iterator(out))
        after[entry.path().string()] = entry.is_regular_file() ? readFile(entry.path()) : "<dir>";
    EXPECT_EQ(after, before);
    EXPECT_FALSE(TempLeftBeside(out));
}

// Where the slices (NAL units 1 and 5) of an Annex B stream begin.
std::vector<size_t> SliceStarts(const std::string &stream)
{
    std::vector<size_t> starts;
    for (size_t at = stream.find(std::string("\0\0\1", 3)); at != std::string::npos;
         at = stream.find(std::string("\0\0\1", 3), at + 3)) {
        const int type = stream[at + 3] & 0x1f;
        if (type == 1 || type == 5)
            starts.push_back(at + 3);
    }
    return starts;
}

// The header of the slice starting at `nal` made unreadable (slice type 10).
void DamageSliceHeader(std::string &stream, size_t nal)
{
    stream[nal + 1] = char(0x8b);
}

// Two seconds of 25 fps video with access unit delimiters, as cameras write
// them; `x264opts` adds to the encoder's options.
fs::path DelimitedStream(const fs::path &folder, const std::string &name, const std::string &x264opts)
{
    fs::path path = folder / name;
    ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=2", "-c:v", "libx264", "-preset",
            "veryfast", "-x264opts", "aud=1:keyint=12" + x264opts, "-pix_fmt", "yuv420p", "-f", "h264",
            path.string()});
    return path;
}

// The demultiplexer passes a damaged slice on with a warning; the muxer
// keeps it in its picture, timed by the picture's other slices.
TEST_F(MuxDisc, DamagedSliceHeaderIsWarnedAndKept)
{
    fs::path sliced = DelimitedStream(work_, "sliced.h264", ":slices=4");
    std::string stream = readFile(sliced);
    const std::vector<size_t> slices = SliceStarts(stream);
    ASSERT_EQ(slices.size(), 200u);
    DamageSliceHeader(stream, slices[21]);  // the second slice of the sixth picture
    writeFile(sliced, stream);
    fs::path out = work_ / "damaged-slice";
    TProcessResult r = Mux(MetaText("00:00:00.000", sliced, work_ / "mixed.ac3"), out);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("sliced.h264\": 1 slices have a damaged header"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(": 50 frames,"), std::string::npos) << r.out;
}

// A picture whose only slice cannot be read cannot be timed, nor can a
// damaged slice in a stream without delimiters be put in its picture: the
// mux fails.
TEST_F(MuxDisc, PictureWithoutAReadableSliceHeaderFails)
{
    const std::pair<fs::path, std::string> cases[] = {
        {DelimitedStream(work_, "one-slice.h264", ""),
         "a picture has no readable slice header: invalid slice type"},
        {work_ / "p.h264", "bad slice: invalid slice type"}};
    for (const auto &[source, cause] : cases) {
        std::string stream = readFile(source);
        const std::vector<size_t> slices = SliceStarts(stream);
        ASSERT_EQ(slices.size(), 50u);
        DamageSliceHeader(stream, slices[5]);
        writeFile(work_ / "unreadable.h264", stream);
        fs::path out = work_ / "unreadable";
        TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "unreadable.h264", work_ / "mixed.ac3"), out);
        EXPECT_EQ(r.exitCode, 2) << source;
        EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

// The output folder was once left with its temporary folder's mode 0700.
TEST_F(MuxDisc, FoldersAndFilesFollowTheUmask)
{
    fs::path out = work_ / "umask";
    const mode_t old = ::umask(027);
    TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"), out);
    ::umask(old);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char *folder : {"", "BDMV", "BDMV/STREAM", "CERTIFICATE"})
        EXPECT_EQ(fs::status(out / folder).permissions(), fs::perms(0750)) << folder;
    for (const char *file : {"BDMV/index.bdmv", "BDMV/STREAM/00000.m2ts", "BDMV/BACKUP/MovieObject.bdmv"})
        EXPECT_EQ(fs::status(out / file).permissions(), fs::perms(0640)) << file;
}

// A full disc (here a file size limit the muxer inherits) fails the run
// with the file and the reason, and leaves nothing behind.
TEST_F(MuxDisc, WriteFailureFailsTheRunAndLeavesNothing)
{
    fs::path out = work_ / "full";
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 64 << 10;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TProcessResult r = Mux(MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"), out);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("error: cannot write \""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/BDMV/STREAM/00000.m2ts\": File too large"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(TempLeftBeside(out));
}

// Whether process `pid` has `path` open and has read some of it.
bool IsReading(pid_t pid, const fs::path &path)
{
    const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto &fd : fs::directory_iterator(fds, error)) {
        if (fs::read_symlink(fd.path(), error) != path)
            continue;
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + fd.path().filename().string());
        std::string key;
        long long position = 0;
        if (info >> key >> position && key == "pos:" && position > 0)
            return true;
    }
    return false;
}

// SIGTERM once stopped the muxer only while it was writing; here it comes
// while a long stream holding no picture is read, before any output.
TEST_F(MuxDisc, SigtermStopsItWhileItReadsTheStreams)
{
    const fs::path h264 = work_ / "no-picture.h264";
    writeFile(h264, std::string("\0\0\0\1\x0c", 5));
    fs::resize_file(h264, uint64_t(16) << 30);  // a filler unit and 16 GB of zeros, sparse
    const fs::path meta = work_ / "stop.meta", errors = work_ / "stop.err", out = work_ / "stopped";
    writeFile(meta, MetaText("00:00:00.000", h264, work_ / "two.ac3"));
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        execl(kTsmuxer.c_str(), kTsmuxer.c_str(), meta.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    while (!IsReading(pid, h264))
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "ended before reading";
    kill(pid, SIGTERM);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    fs::remove(h264);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(readFile(errors).find("error: interrupted"), std::string::npos) << readFile(errors);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(TempLeftBeside(out));
}

// A valid stream followed by 4 GB of zeros (sparse), as a camera that lost
// power leaves it: the zeros are passed over with a warning, in bounded
// memory. Time and memory peak are printed for the record.
TEST_F(MuxDisc, ZeroTailOfGigabytesIsPassedOverInBoundedMemory)
{
    const fs::path h264 = work_ / "zero-tail.h264", meta = work_ / "zero-tail.meta",
                   out = work_ / "zero-tail";
    writeFile(h264, readFile(work_ / "two.h264"));
    const uint64_t videoBytes = fs::file_size(h264);
    fs::resize_file(h264, videoBytes + (uint64_t(4) << 30));
    writeFile(meta, MetaText("00:00:00.000", h264, work_ / "two.ac3"));
    const fs::path errors = work_ / "zero-tail.err";
    timespec start {}, end {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(kTsmuxer.c_str(), kTsmuxer.c_str(), meta.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
    clock_gettime(CLOCK_MONOTONIC, &end);
    fs::remove(h264);
    const double seconds = double(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const long peakMb = usage.ru_maxrss / 1024;
    std::printf("4 GB zero tail: %.1f s (%.1f s of CPU), memory peak %ld MB\n", seconds, cpu, peakMb);
    RecordProperty("seconds", std::to_string(seconds));
    RecordProperty("peak_mb", std::to_string(peakMb));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << readFile(errors);
    // The zeros are counted as they are dropped, all but the last stretch
    // below the cap of a NAL unit (32 MB) and one read (8 MB).
    const std::string warning = readFile(errors);
    const size_t at = warning.find("zero-tail.h264\": ");
    ASSERT_NE(at, std::string::npos) << warning;
    EXPECT_GE(std::stoull(warning.substr(at + 16)), (uint64_t(4) << 30) - (40 << 20)) << warning;
    EXPECT_NE(warning.find(" bytes of zeros holding no picture were passed over"), std::string::npos)
        << warning;
    EXPECT_LT(peakMb, 200);
    EXPECT_EQ(ReadTitle(out).Titles, 1u);
}

// A disc folder below a folder the user cannot write: the muxer says why
// the folder cannot be made (permission denied), not that a folder made
// just before is missing.
TEST_F(MuxDisc, UnwritableFolderIsReportedWithItsRealCause)
{
    const fs::path locked = work_ / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms(0555));
    const fs::path out = locked / "Vacances" / "Disque 01", errors = work_ / "locked.err";
    writeFile(work_ / "locked.meta", MetaText("00:00:00.000", work_ / "two.h264", work_ / "two.ac3"));
    const pid_t pid = fork();
    if (pid == 0) {
        // The error file is made while the child may still write there.
        const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(err, STDERR_FILENO);
        if (!DropRootPrivileges())
            _exit(3);
        execl(kTsmuxer.c_str(), kTsmuxer.c_str(), (work_ / "locked.meta").c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    fs::permissions(locked, fs::perms(0755));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const std::string told = readFile(errors);
    EXPECT_NE(told.find("cannot create the output folder"), std::string::npos) << told;
    EXPECT_NE(told.find("Permission denied"), std::string::npos) << told;
    EXPECT_EQ(told.find("No such file or directory"), std::string::npos) << told;
    EXPECT_FALSE(fs::exists(locked / "Vacances"));
}

struct TBadInput
{
    const char *Name;
    const char *Expected;
};

class MuxDiscBadInput : public MuxDisc, public testing::WithParamInterface<TBadInput>
{ };

TEST_P(MuxDiscBadInput, FailsClearlyAndLeavesNothing)
{
    const std::string name = GetParam().Name;
    fs::path out = work_ / ("bad-" + name);
    fs::path metaPath = work_ / "bad.meta";
    fs::path h264 = work_ / "two.h264", ac3 = work_ / "two.ac3";
    std::string meta;
    if (name == "missing-track") {
        meta = MetaText("00:00:00.000", work_ / "nowhere.h264", ac3);
    } else if (name == "not-annex-b") {
        // The same pictures with four-byte lengths instead of start codes.
        std::string annexB = readFile(h264), avcc;
        size_t pos = annexB.find(std::string("\0\0\1", 3));
        while (pos != std::string::npos) {
            size_t next = annexB.find(std::string("\0\0\1", 3), pos + 3);
            std::string nal =
                annexB.substr(pos + 3, next == std::string::npos ? std::string::npos : next - pos - 3);
            while (!nal.empty() && nal.back() == 0)
                nal.pop_back();
            uint32_t n = uint32_t(nal.size());
            avcc += std::string {char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + nal;
            pos = next;
        }
        writeFile(work_ / "avcc.h264", avcc);
        meta = MetaText("00:00:00.000", work_ / "avcc.h264", ac3);
    } else if (name == "not-ac3") {
        meta = MetaText("00:00:00.000", h264, h264);
    } else if (name == "dts-track") {
        meta = MetaText("00:00:00.000", h264, ac3) + "A_DTS, \"" + ac3.string() + "\"\r\n";
    } else if (name == "no-video") {
        meta = "MUXOPT --avchd\r\nA_AC3, \"" + ac3.string() + "\"\r\n";
    } else if (name == "runaway-pps") {
        // num_slice_groups_minus1 = 2^31 once made the parsing loop for ever.
        writeFile(work_ / "pps.h264", std::string("\0\0\0\1\x68\xc0\0\0\3\0\x10\0\0\3\0\x27\x80", 17));
        meta = MetaText("00:00:00.000", work_ / "pps.h264", ac3);
    } else if (name == "huge-meta") {
        // 4 GB, sparse: reading it whole once grew the memory by gigabytes.
        meta = MetaText("00:00:00.000", h264, ac3);
    } else if (name == "nal-over-cap") {
        // Bytes that are neither zeros nor a start code, 40 MB of them after
        // the pictures: no NAL unit is that long.
        writeFile(work_ / "runaway.h264", readFile(h264) + std::string(40 << 20, '\xff'));
        meta = MetaText("00:00:00.000", work_ / "runaway.h264", ac3);
    } else if (name == "output-not-creatable") {
        writeFile(work_ / "plain-file", "x");
        out = work_ / "plain-file" / "disc";
        meta = MetaText("00:00:00.000", h264, ac3);
    }
    TProcessResult r;
    if (name == "missing-meta") {
        r = runProcess({kTsmuxer, (work_ / "absent.meta").string(), out.string()});
    } else {
        writeFile(metaPath, meta);
        if (name == "huge-meta")
            fs::resize_file(metaPath, uint64_t(4) << 30);
        r = runProcess({kTsmuxer, metaPath.string(), out.string()});
    }
    fs::remove(work_ / "runaway.h264");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().Expected), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
    std::error_code ignored;
    if (fs::is_directory(out.parent_path(), ignored)) {
        EXPECT_FALSE(TempLeftBeside(out));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MuxDiscBadInput,
    testing::Values(TBadInput {"missing-meta", "meta file"},
                    TBadInput {"missing-track", "nowhere.h264\" does not exist"},
                    TBadInput {"not-annex-b", "is not an H.264 Annex B byte stream"},
                    TBadInput {"not-ac3", "is not an AC-3 stream"},
                    TBadInput {"dts-track", "track type A_DTS is not supported"},
                    TBadInput {"no-video", "no V_MPEG4/ISO/AVC video track"},
                    TBadInput {"runaway-pps", "bad parameter set: invalid number of slice groups"},
                    TBadInput {"huge-meta", "bad.meta\" is larger than 1 MB: it is not a meta file"},
                    TBadInput {"nal-over-cap", "runaway.h264\" holds a NAL unit longer than 32 MB"},
                    TBadInput {"output-not-creatable", "cannot create the output folder"}),
    [](const testing::TestParamInfo<TBadInput> &info) {
        std::string n = info.param.Name;
        for (char &c : n)
            if (c == '-')
                c = '_';
        return n;
    });

}  // namespace
