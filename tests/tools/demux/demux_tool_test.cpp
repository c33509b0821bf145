// The built eac3to stand-in on the fixture clips, checked with ffprobe and
// ffmpeg: frame counts, audio kept in step at every join, bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/tools/demux/runprogram.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = std::string(TAVREL_BIN_DIR) + "/eac3to";
const fs::path kFixtures = TAVREL_FIXTURE_DIR;
constexpr double kAc3Frame = 1536.0 / 48000;

std::string Clip(const std::string &name)
{
    return (kFixtures / (name + ".m2ts")).string();
}

std::string Joined(const std::vector<std::string> &names)
{
    std::string joined;
    for (const std::string &n : names)
        joined += (joined.empty() ? "" : "+") + Clip(n);
    return joined;
}

// ffprobe's "key=value" lines for one stream.
std::map<std::string, std::string> ProbeStream(const std::string &path, const std::string &select)
{
    TRunResult r =
        RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", select, "-show_entries",
                    "stream=codec_name,nb_read_frames,r_frame_rate,sample_rate,channels", "-of",
                    "default=noprint_wrappers=1", path});
    std::map<std::string, std::string> values;
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

struct TVideoFacts
{
    long Frames = 0;
    double Seconds = 0;
};

// Pictures and duration of a clip's video, as ffprobe decodes them.
const TVideoFacts &VideoOf(const std::string &name)
{
    static std::map<std::string, TVideoFacts> known;
    auto found = known.find(name);
    if (found != known.end())
        return found->second;
    auto values = ProbeStream(Clip(name), "v:0");
    TVideoFacts facts;
    facts.Frames = std::stol(values["nb_read_frames"]);
    int num = 0, den = 1;
    std::sscanf(values["r_frame_rate"].c_str(), "%d/%d", &num, &den);
    facts.Seconds = num > 0 ? facts.Frames * static_cast<double>(den) / num : 0;
    return known[name] = facts;
}

// The decoded audio of an AC-3 file, mono 48 kHz.
std::vector<int16_t> DecodeMono(const std::string &path)
{
    TRunResult r =
        RunProgram({"ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", "48000", "-"});
    std::vector<int16_t> samples(r.Out.size() / 2);
    std::memcpy(samples.data(), r.Out.data(), samples.size() * 2);
    return samples;
}

double Rms(const std::vector<int16_t> &samples, double from, double to)
{
    size_t a = static_cast<size_t>(from * 48000),
           b = std::min(samples.size(), static_cast<size_t>(to * 48000));
    double sum = 0;
    for (size_t i = a; i < b; ++i)
        sum += double(samples[i]) * samples[i];
    return b > a ? std::sqrt(sum / (b - a)) : -1;
}

std::vector<std::string> Entries(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DemuxTool : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "demux-tool-XXXXXX").string();
        FRoot = mkdtemp(pattern.data());
        FOut = FRoot / "out";
        fs::create_directory(FOut);
    }
    void TearDown() override
    {
        fs::permissions(FOut, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(FRoot);
    }
    TRunResult Demux(const std::vector<std::string> &args, TRunOptions options = {})
    {
        std::vector<std::string> argv {kTool};
        argv.insert(argv.end(), args.begin(), args.end());
        if (options.Folder.empty())
            options.Folder = FOut.string();
        TRunResult r = RunProgram(argv, options);
        EXPECT_NE(r.ExitStatus, -1) << "crashed or hung; stderr: " << r.Err;
        return r;
    }

    fs::path FRoot, FOut;
};

// --- joins ---------------------------------------------------------------

struct TJoinCase
{
    std::vector<std::string> Clips;
    std::vector<std::string> Warned = {};  // clips that end the run with status 1, named on stderr
    std::string Channels = "2";  // of the joined audio: the first clip's
};

bool Contains(const std::vector<std::string> &names, const std::string &name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

class DemuxJoin : public DemuxTool, public testing::WithParamInterface<TJoinCase>
{ };

// Each prefix of the list is demuxed on its own, so that the audio written
// after each join can be measured against the video before it.
TEST_P(DemuxJoin, EveryPictureWrittenAndAudioInStepAtEachJoin)
{
    const std::vector<std::string> &clips = GetParam().Clips;
    long frames = 0;
    double videoSeconds = 0, audioSecondsBefore = 0;
    for (size_t k = 1; k <= clips.size(); ++k) {
        SCOPED_TRACE("first " + std::to_string(k) + " clip(s)");
        fs::remove_all(FOut);
        fs::create_directory(FOut);
        std::vector<std::string> prefix(clips.begin(), clips.begin() + k);
        TRunResult r = Demux({"-demux", Joined(prefix)});
        bool warned = false;
        for (const std::string &clip : prefix) {
            warned |= Contains(GetParam().Warned, clip);
            EXPECT_EQ(r.Err.find(clip + ".m2ts") != std::string::npos, Contains(GetParam().Warned, clip))
                << clip << ": " << r.Err;
        }
        EXPECT_EQ(r.ExitStatus, warned ? 1 : 0) << r.Err;

        const std::string base = clips[0];
        EXPECT_EQ(Entries(FOut), (std::vector<std::string> {base + ".ac3", base + ".h264"}));
        frames += VideoOf(clips[k - 1]).Frames;
        videoSeconds += VideoOf(clips[k - 1]).Seconds;

        auto video = ProbeStream((FOut / (base + ".h264")).string(), "v:0");
        EXPECT_EQ(video["codec_name"], "h264");
        EXPECT_EQ(video["nb_read_frames"], std::to_string(frames));

        auto audio = ProbeStream((FOut / (base + ".ac3")).string(), "a:0");
        EXPECT_EQ(audio["codec_name"], "ac3");
        EXPECT_EQ(audio["sample_rate"], "48000");
        EXPECT_EQ(audio["channels"], GetParam().Channels);
        double audioSeconds = std::stol(audio["nb_read_frames"]) * kAc3Frame;
        // The joined audio never strays more than half a frame from the video.
        EXPECT_NEAR(audioSeconds, videoSeconds, kAc3Frame / 2 + 1e-6);
        // So the audio written for this clip spans its video within a frame.
        EXPECT_NEAR(audioSeconds - audioSecondsBefore, VideoOf(clips[k - 1]).Seconds, kAc3Frame + 1e-6);
        audioSecondsBefore = audioSeconds;
    }
    // Every frame decodes, and the tone of each clip with sound (converted
    // or not) plays under its own pictures: well above silence, which stays
    // under 30 (a 5.1 disc is quieter once mixed down to one channel).
    const std::string joined = (FOut / (clips[0] + ".ac3")).string();
    TRunResult decoded = RunProgram({"ffmpeg", "-v", "error", "-i", joined, "-f", "null", "-"});
    EXPECT_EQ(decoded.ExitStatus, 0);
    EXPECT_EQ(decoded.Err, "");
    std::vector<int16_t> pcm = DecodeMono(joined);
    double start = 0;
    for (const std::string &clip : clips) {
        const double end = start + VideoOf(clip).Seconds, margin = 0.05;
        if (clip != "videoonly" && clip != "truncated") {
            EXPECT_GT(Rms(pcm, start + margin, end - margin), 300) << clip;
        }
        start = end;
    }
}

std::string JoinName(const testing::TestParamInfo<TJoinCase> &info)
{
    std::string name;
    for (const std::string &clip : info.param.Clips)
        name += (name.empty() ? "" : "_") + clip;
    return name;
}

// LPCM that AC-3 cannot carry as it is sets the disc's format all the
// same: 96 kHz becomes 48 kHz, and the AC-3 clip after it is kept as it
// is; 7.1 becomes 5.1, the layout of the AC-3 clip after it. AC-3 at
// 44.1 kHz, a rate the disc cannot state, is converted to 48 kHz as well.
INSTANTIATE_TEST_SUITE_P(BeyondAc3, DemuxJoin,
                         testing::Values(TJoinCase {{"lpcm96k", "small1s"}, {"lpcm96k"}},
                                         TJoinCase {{"ac3at44k", "small1s"}, {"ac3at44k"}},
                                         TJoinCase {{"lpcm71", "surround"}, {"lpcm71"}, "6"}),
                         JoinName);

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DemuxJoin,
    testing::Values(TJoinCase {{"cam1080i", "small1s", "small3s"}},
                    TJoinCase {{"small1s", "videoonly", "small3s"}},
                    TJoinCase {{"small3s", "cam1080i", "videoonly"}},
                    TJoinCase {{"videoonly", "small3s", "small1s"}},
                    TJoinCase {{"small1s", "truncated", "small3s"}, {"truncated"}},
                    // Audio in another layout, or LPCM, is re-encoded
                    // into the format of the first clip with audio.
                    TJoinCase {{"small1s", "surround", "lpcm"}, {"surround", "lpcm"}},
                    TJoinCase {{"surround", "small1s", "lpcm"}, {"small1s", "lpcm"}, "6"},
                    TJoinCase {{"videoonly", "lpcm", "surround", "small3s"}, {"lpcm", "surround"}}),
    JoinName);

// The fixtures' audio is a steady tone: the clip without audio must be
// silent exactly where its pictures are, and the tone must resume with
// the next clip's pictures.
TEST_F(DemuxTool, SilenceSitsUnderTheClipWithoutAudio)
{
    TRunResult r = Demux({"-demux", Joined({"small1s", "videoonly", "small3s"})});
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
    std::vector<int16_t> pcm = DecodeMono((FOut / "small1s.ac3").string());
    const double a = VideoOf("small1s").Seconds, b = a + VideoOf("videoonly").Seconds,
                 c = b + VideoOf("small3s").Seconds;
    const double margin = 0.05;  // a frame and a half of the decoder's ramps
    EXPECT_GT(Rms(pcm, margin, a - margin), 1000);
    EXPECT_LT(Rms(pcm, a + margin, b - margin), 30);
    EXPECT_GT(Rms(pcm, b + margin, c - margin), 1000);
}

TEST_F(DemuxTool, ProgressInPlaceThenWhatWasWritten)
{
    TRunResult r = Demux({"-demux", Joined({"small1s", "small3s"})});
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    EXPECT_NE(r.Out.find('\r'), std::string::npos);
    int last = -1;
    for (size_t at = r.Out.find('%'); at != std::string::npos; at = r.Out.find('%', at + 1)) {
        size_t digits = at;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(r.Out[digits - 1])))
            --digits;
        ASSERT_LT(digits, at) << "a % sign without a number";
        int value = std::stoi(r.Out.substr(digits, at - digits));
        EXPECT_GE(value, last);
        last = value;
    }
    EXPECT_EQ(last, 100);
    std::string lastLine = r.Out.substr(r.Out.rfind('\n', r.Out.size() - 2) + 1);
    EXPECT_NE(lastLine.find("small1s.h264"), std::string::npos) << lastLine;
    EXPECT_NE(lastLine.find("small1s.ac3"), std::string::npos) << lastLine;
}

TEST_F(DemuxTool, PathsHoldingPlusAndSpaces)
{
    fs::path in = FRoot / "in";
    fs::create_directory(in);
    fs::copy_file(Clip("small1s"), in / "my clip+1.m2ts");
    fs::copy_file(Clip("small3s"), in / "1.m2ts");
    std::ofstream(in / "my clip") << "a decoy: not the clip";
    TRunResult r = Demux({"-demux", (in / "my clip+1.m2ts").string() + "+" + (in / "1.m2ts").string()});
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
    EXPECT_EQ(Entries(FOut), (std::vector<std::string> {"my clip+1.ac3", "my clip+1.h264"}));
    auto video = ProbeStream((FOut / "my clip+1.h264").string(), "v:0");
    EXPECT_EQ(video["nb_read_frames"], std::to_string(VideoOf("small1s").Frames + VideoOf("small3s").Frames));
}

// The clips of a camcorder's memory card: the streams take the first
// clip's name less ".MTS".
TEST_F(DemuxTool, CardClipsNameTheStreamsWithoutTheirExtension)
{
    fs::path stream = FRoot / "PRIVATE/AVCHD/BDMV/STREAM";
    fs::create_directories(stream);
    fs::copy_file(Clip("small1s"), stream / "00000.MTS");
    fs::copy_file(Clip("small3s"), stream / "00001.MTS");
    TRunResult r = Demux({"-demux", (stream / "00000.MTS").string() + "+" + (stream / "00001.MTS").string()});
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
    EXPECT_EQ(Entries(FOut), (std::vector<std::string> {"00000.ac3", "00000.h264"}));
    auto video = ProbeStream((FOut / "00000.h264").string(), "v:0");
    EXPECT_EQ(video["nb_read_frames"], std::to_string(VideoOf("small1s").Frames + VideoOf("small3s").Frames));
}

// Plain 188-byte transport streams (as cut by some tools) join with
// camcorder clips.
TEST_F(DemuxTool, PlainTransportStreamJoins)
{
    const std::string plain = (FRoot / "plain.ts.m2ts").string();
    TRunResult made =
        RunProgram({"ffmpeg", "-v", "error", "-i", Clip("small1s"), "-c", "copy", "-f", "mpegts", plain});
    ASSERT_EQ(made.ExitStatus, 0) << made.Err;
    TRunResult r = Demux({"-demux", plain + "+" + Clip("small3s")});
    ASSERT_EQ(r.ExitStatus, 0) << r.Err;
    auto video = ProbeStream((FOut / "plain.ts.h264").string(), "v:0");
    EXPECT_EQ(video["nb_read_frames"], std::to_string(VideoOf("small1s").Frames + VideoOf("small3s").Frames));
    auto audio = ProbeStream((FOut / "plain.ts.ac3").string(), "a:0");
    EXPECT_NEAR(std::stol(audio["nb_read_frames"]) * kAc3Frame,
                VideoOf("small1s").Seconds + VideoOf("small3s").Seconds, kAc3Frame / 2 + 1e-6);
}

// --- bad input -------------------------------------------------------------

struct TBadCase
{
    const char *Name;
    std::vector<std::string> Args;  // "@name" stands for a fixture clip path
    std::string Culprit;  // must appear on standard error
};

class DemuxBadInput : public DemuxTool, public testing::WithParamInterface<TBadCase>
{ };

TEST_P(DemuxBadInput, ClearErrorAndNoStreamFile)
{
    std::vector<std::string> args;
    for (const std::string &a : GetParam().Args) {
        std::string expanded = a;
        for (size_t at; (at = expanded.find('@')) != std::string::npos;) {
            size_t end = expanded.find('+', at);
            std::string name = expanded.substr(at + 1, end == std::string::npos ? end : end - at - 1);
            expanded.replace(at, name.size() + 1, Clip(name));
        }
        args.push_back(expanded);
    }
    TRunResult r = Demux(args);
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find(GetParam().Culprit), std::string::npos) << r.Err;
    EXPECT_TRUE(Entries(FOut).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DemuxBadInput,
    testing::Values(TBadCase {"missing", {"-demux", "@small1s+@nothere+@small3s"}, "nothere.m2ts"},
                    TBadCase {"text_file", {"-demux", "@small1s+@bad"}, "bad.m2ts"},
                    TBadCase {"empty_file", {"-demux", "@empty+@small1s"}, "empty.m2ts"},
                    TBadCase {"no_video", {"-demux", "@small3s+@audioonly"}, "audioonly.m2ts"},
                    TBadCase {"no_demux_option", {"@small1s"}, "-demux"},
                    TBadCase {"unknown_option", {"-demux", "-frobnicate", "@small1s"}, "-frobnicate"}),
    [](const testing::TestParamInfo<TBadCase> &info) { return std::string(info.param.Name); });

TEST_F(DemuxTool, AudioNeitherAc3NorLpcmIsRefused)
{
    const std::string mp2 = (FRoot / "mp2.m2ts").string();
    TRunResult made = RunProgram({"ffmpeg",
                                  "-v",
                                  "error",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc2=size=320x180:rate=25:duration=1",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "sine=frequency=440:sample_rate=48000:duration=1",
                                  "-c:v",
                                  "libx264",
                                  "-preset",
                                  "ultrafast",
                                  "-c:a",
                                  "mp2",
                                  "-f",
                                  "mpegts",
                                  "-mpegts_m2ts_mode",
                                  "1",
                                  mp2});
    ASSERT_EQ(made.ExitStatus, 0) << made.Err;
    TRunResult r = Demux({"-demux", Clip("small1s") + "+" + mp2});
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("mp2.m2ts"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("neither AC-3 nor LPCM"), std::string::npos) << r.Err;
    EXPECT_TRUE(Entries(FOut).empty());
}

TEST_F(DemuxTool, CurrentFolderGoneIsAnError)
{
    TRunOptions options;
    options.Folder = FOut.string();
    options.RemoveFolderFirst = true;
    TRunResult r = Demux({"-demux", Clip("small1s")}, options);
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("folder"), std::string::npos) << r.Err;
    fs::create_directory(FOut);  // for TearDown
}

// Run as a user the folder's permissions bind: root writes anywhere.
TEST_F(DemuxTool, ReadOnlyCurrentFolderIsAnError)
{
    const auto readAndEnter = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                              | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(FRoot, readAndEnter | fs::perms::owner_write);
    fs::permissions(FOut, readAndEnter);
    TRunOptions options;
    options.Unprivileged = true;
    TRunResult r = Demux({"-demux", Clip("small1s")}, options);
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("Permission denied"), std::string::npos) << r.Err;
}

// A write that fails half-way (as on a full disk) leaves no half-written
// stream, and the streams of an earlier run stay as they were.
TEST_F(DemuxTool, FullDiskLeavesEarlierStreamsUntouched)
{
    std::ofstream(FOut / "cam1080i.h264") << "earlier video";
    std::ofstream(FOut / "cam1080i.ac3") << "earlier audio";
    TRunOptions options;
    options.FileSizeLimit = 1 << 20;  // the joined video needs about 3 MB
    TRunResult r = Demux({"-demux", Joined({"cam1080i", "small1s"})}, options);
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("cam1080i.h264"), std::string::npos) << r.Err;
    EXPECT_EQ(Entries(FOut), (std::vector<std::string> {"cam1080i.ac3", "cam1080i.h264"}));
    std::ifstream video(FOut / "cam1080i.h264");
    std::string text((std::istreambuf_iterator<char>(video)), {});
    EXPECT_EQ(text, "earlier video");
}

// Interrupting a disc kills the demultiplexer: no stream file may stay,
// hidden or not, whatever moment the kill comes.
TEST_F(DemuxTool, KilledRunLeavesNothing)
{
    std::vector<std::string> many(40, "cam1080i");
    TRunOptions options;
    options.Folder = FOut.string();
    options.KillWhenOutputHas = " 5%";
    TRunResult r = RunProgram({kTool, "-demux", Joined(many)}, options);
    ASSERT_TRUE(r.KilledOnOutput) << r.Out << r.Err;
    EXPECT_TRUE(Entries(FOut).empty());
}

TEST_F(DemuxTool, TruncatedClipIsUsedWithAWarning)
{
    TRunResult r = Demux({"-demux", Joined({"small1s", "truncated"})});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_NE(r.Err.find("truncated.m2ts"), std::string::npos) << r.Err;
    EXPECT_EQ(Entries(FOut), (std::vector<std::string> {"small1s.ac3", "small1s.h264"}));
}

// --- damaged clips ------------------------------------------------------------

std::string ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void WriteAll(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Where the payload of each 192-byte packet of `pid` starts in a clip.
std::vector<size_t> PayloadsOf(const std::string &clip, int pid)
{
    std::vector<size_t> payloads;
    for (size_t at = 4; at + 188 <= clip.size(); at += 192) {
        const auto *p = reinterpret_cast<const uint8_t *>(clip.data()) + at;
        if (p[0] != 0x47 || (((p[1] & 0x1f) << 8) | p[2]) != pid || !(p[3] & 0x10))
            continue;
        const size_t offset = (p[3] & 0x20) ? 5 + p[4] : 4;
        if (offset < 188)
            payloads.push_back(at + offset);
    }
    return payloads;
}

// The PES headers of the fixtures' video (PID 0x1011) that carry a time stamp.
std::vector<size_t> VideoPesWithPts(const std::string &clip)
{
    std::vector<size_t> starts;
    for (size_t at : PayloadsOf(clip, 0x1011))
        if (clip.compare(at, 4, std::string("\0\0\1\xe0", 4)) == 0 && (clip[at + 7] & 0x80))
            starts.push_back(at);
    return starts;
}

std::string SecondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

// One flipped bit in the last picture's time stamp (bit 32: 13 hours
// later) once made 13 hours of silence.
TEST_F(DemuxTool, JumpingTimeStampDoesNotStretchTheAudio)
{
    std::string clip = ReadAll(Clip("small1s"));
    const std::vector<size_t> pes = VideoPesWithPts(clip);
    ASSERT_GT(pes.size(), 10u);
    clip[pes.back() + 9] ^= 0x08;
    WriteAll(FRoot / "jump.m2ts", clip);
    TRunResult r = Demux({"-demux", (FRoot / "jump.m2ts").string()});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_NE(r.Err.find("jump.m2ts: the time stamps of its pictures jump"), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find(SecondsText(VideoOf("small1s").Seconds)), std::string::npos) << r.Out;
    auto audio = ProbeStream((FOut / "jump.ac3").string(), "a:0");
    EXPECT_NEAR(std::stol(audio["nb_read_frames"]) * kAc3Frame, VideoOf("small1s").Seconds,
                kAc3Frame / 2 + 1e-6);
}

// Two clips joined with cat: the time stamps start again in the middle.
TEST_F(DemuxTool, ClipsJoinedByCopyingAreTimedByTheirPictures)
{
    WriteAll(FRoot / "twice.m2ts", ReadAll(Clip("small1s")) + ReadAll(Clip("small1s")));
    TRunResult r = Demux({"-demux", (FRoot / "twice.m2ts").string()});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_NE(r.Err.find("twice.m2ts: the time stamps of its pictures jump 1 time"), std::string::npos)
        << r.Err;
    const TVideoFacts &one = VideoOf("small1s");
    EXPECT_NE(
        r.Out.find("(" + std::to_string(2 * one.Frames) + " pictures, " + SecondsText(2 * one.Seconds) + ")"),
        std::string::npos)
        << r.Out;
    EXPECT_EQ(ProbeStream((FOut / "twice.h264").string(), "v:0")["nb_read_frames"],
              std::to_string(2 * one.Frames));
    auto audio = ProbeStream((FOut / "twice.ac3").string(), "a:0");
    EXPECT_NEAR(std::stol(audio["nb_read_frames"]) * kAc3Frame, 2 * one.Seconds, kAc3Frame / 2 + 1e-6);
}

// The second clip of a copy on other PIDs, with another program map: its
// pictures were once dropped in silence, the first clip's alone written.
TEST_F(DemuxTool, ProgramChangeMidwayIsFollowed)
{
    const fs::path other = FRoot / "other-pids.m2ts";
    const TRunResult made = RunProgram({"ffmpeg",
                                        "-hide_banner",
                                        "-loglevel",
                                        "error",
                                        "-i",
                                        Clip("small3s"),
                                        "-map",
                                        "0",
                                        "-c",
                                        "copy",
                                        "-streamid",
                                        "0:0x1012",
                                        "-streamid",
                                        "1:0x1101",
                                        "-mpegts_pmt_start_pid",
                                        "0x101",
                                        "-mpegts_service_id",
                                        "2",
                                        "-f",
                                        "mpegts",
                                        "-mpegts_m2ts_mode",
                                        "1",
                                        other.string()});
    ASSERT_EQ(made.ExitStatus, 0) << made.Err;
    WriteAll(FRoot / "changing.m2ts", ReadAll(Clip("small1s")) + ReadAll(other));
    TRunResult r = Demux({"-demux", (FRoot / "changing.m2ts").string()});
    EXPECT_EQ(r.ExitStatus, 1);
    EXPECT_NE(r.Err.find("changing.m2ts: its program changes 1 time(s) midway"), std::string::npos) << r.Err;
    const int64_t frames = VideoOf("small1s").Frames + VideoOf("small3s").Frames;
    EXPECT_EQ(ProbeStream((FOut / "changing.h264").string(), "v:0")["nb_read_frames"],
              std::to_string(frames));
    auto audio = ProbeStream((FOut / "changing.ac3").string(), "a:0");
    EXPECT_NEAR(std::stol(audio["nb_read_frames"]) * kAc3Frame,
                VideoOf("small1s").Seconds + VideoOf("small3s").Seconds, 2 * kAc3Frame);
}

TEST_F(DemuxTool, ClipWithoutAReadablePictureFails)
{
    std::string clip = ReadAll(Clip("small1s"));
    for (size_t at : PayloadsOf(clip, 0x1011)) {
        const size_t packetEnd = at - (at - 4) % 192 + 188;
        std::fill(clip.begin() + static_cast<long>(at), clip.begin() + static_cast<long>(packetEnd), '\x5a');
    }
    WriteAll(FRoot / "garbage.m2ts", clip);
    TRunResult r = Demux({"-demux", Clip("small3s") + "+" + (FRoot / "garbage.m2ts").string()});
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("garbage.m2ts"), std::string::npos) << r.Err;
    EXPECT_TRUE(Entries(FOut).empty());
}

// Every video PES header damaged (header_data_length 0xFF): the bytes that
// come out are not H.264, and were once written as "1 pictures".
TEST_F(DemuxTool, VideoWithDamagedPesHeadersOnlyFailsAndWritesNothing)
{
    std::string clip = ReadAll(Clip("small1s"));
    std::vector<size_t> headers;
    for (size_t at : PayloadsOf(clip, 0x1011))
        if (clip.compare(at, 4, std::string("\0\0\1\xe0", 4)) == 0)
            headers.push_back(at);
    ASSERT_GT(headers.size(), 10u);
    for (size_t at : headers)
        clip[at + 8] = '\xff';
    WriteAll(FRoot / "headers.m2ts", clip);
    TRunResult r = Demux({"-demux", (FRoot / "headers.m2ts").string()});
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("headers.m2ts: no picture could be read from its video stream"), std::string::npos)
        << r.Err;
    EXPECT_TRUE(Entries(FOut).empty());
}

// When the audio cannot take its name, the video of the same run must not
// keep its own: the earlier pair stays.
TEST_F(DemuxTool, BothStreamsOfARunAreNamedOrNeither)
{
    std::ofstream(FOut / "small1s.h264") << "earlier video";
    fs::create_directories(FOut / "small1s.ac3" / "in the way");
    TRunResult r = Demux({"-demux", Clip("small1s")});
    EXPECT_EQ(r.ExitStatus, 2);
    EXPECT_NE(r.Err.find("small1s.ac3"), std::string::npos) << r.Err;
    EXPECT_EQ(Entries(FOut), (std::vector<std::string> {"small1s.ac3", "small1s.h264"}));
    EXPECT_EQ(ReadAll(FOut / "small1s.h264"), "earlier video");
}

// On FAT and exFAT the streams are written under hidden names: a stop by
// SIGTERM or SIGINT removes them. SIGKILL cannot be caught; what it leaves
// shows that the hidden names were in use.
TEST_F(DemuxTool, StoppedWithoutUnnamedFilesLeavesNothing)
{
    std::vector<std::string> many(40, "cam1080i");
    for (int signal : {SIGTERM, SIGINT, SIGKILL}) {
        TRunOptions options;
        options.Folder = FOut.string();
        options.KillWhenOutputHas = " 5%";
        options.KillSignal = signal;
        options.Environment = {std::string("LD_PRELOAD=") + TAVREL_NOTMPFILE,
                               "ASAN_OPTIONS=verify_asan_link_order=0"};
        TRunResult r = RunProgram({kTool, "-demux", Joined(many)}, options);
        ASSERT_TRUE(r.KilledOnOutput) << r.Out << r.Err;
        const std::vector<std::string> left = Entries(FOut);
        if (signal == SIGKILL) {
            ASSERT_EQ(left.size(), 2u);
            EXPECT_EQ(left[0].rfind(".cam1080i.ac3.", 0), 0u) << left[0];
        } else {
            EXPECT_TRUE(left.empty()) << "signal " << signal << ": " << left.front();
        }
        fs::remove_all(FOut);
        fs::create_directory(FOut);
    }
}

}  // namespace
