// The application places each chapter where the clips before it end by
// its own reading of their time stamps; the demultiplexer joins the clips
// where it finds each one's pictures end. Fed the same clips, both must
// agree to the tick, or the chapters drift away from the joins disc after
// disc.
#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/demux/demuxer.h"
#include "src/preview/tstimes.h"
#include "tests/tools/demux/runprogram.h"

namespace {

struct TClipRecipe
{
    const char *Name;
    const char *Rate;  // frames a second
    double Seconds;
    double AudioLead;  // seconds the audio starts before the video; < 0: no audio
    std::vector<std::string> VideoOptions;
    // A second clip of that many seconds joined to it by copying (its time
    // stamps start again), on other PIDs when asked: 0 for none.
    double JoinedSeconds = 0;
    bool JoinedOnOtherPids = false;
};

void MakeClip(const std::string &path, const TClipRecipe &recipe, bool otherPids = false)
{
    const std::string seconds = std::to_string(recipe.Seconds);
    std::vector<std::string> argv {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
    const bool audio = recipe.AudioLead >= 0;
    if (audio)
        argv.insert(argv.end(), {"-itsoffset", std::to_string(recipe.AudioLead)});
    argv.insert(argv.end(),
                {"-f", "lavfi", "-i",
                 std::string("testsrc2=size=320x180:rate=") + recipe.Rate + ":duration=" + seconds});
    if (audio)
        argv.insert(argv.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=48000:duration="
                                     + std::to_string(recipe.Seconds + recipe.AudioLead)});
    argv.insert(argv.end(), {"-map", "0:v", "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                             "-b:v", "300k"});
    argv.insert(argv.end(), recipe.VideoOptions.begin(), recipe.VideoOptions.end());
    if (audio)
        argv.insert(argv.end(), {"-map", "1:a", "-c:a", "ac3", "-b:a", "192k", "-streamid",
                                 otherPids ? "1:0x1101" : "1:0x1100"});
    if (otherPids)
        argv.insert(argv.end(), {"-mpegts_pmt_start_pid", "0x101", "-mpegts_service_id", "2"});
    argv.insert(argv.end(), {"-streamid", otherPids ? "0:0x1012" : "0:0x1011", "-f", "mpegts",
                             "-mpegts_m2ts_mode", "1", "-muxrate", "2000000", path});
    const TRunResult made = RunProgram(argv);
    ASSERT_EQ(made.ExitStatus, 0) << made.Err;
    if (recipe.JoinedSeconds == 0)
        return;
    TClipRecipe second = recipe;
    second.Seconds = recipe.JoinedSeconds;
    second.JoinedSeconds = 0;
    ASSERT_NO_FATAL_FAILURE(MakeClip(path + ".joined", second, recipe.JoinedOnOtherPids));
    std::ofstream(path, std::ios::binary | std::ios::app)
        << std::ifstream(path + ".joined", std::ios::binary).rdbuf();
    std::remove((path + ".joined").c_str());
}

// The pictures ffmpeg makes for that many seconds at a rate such as "25"
// or "30000/1001".
int64_t FramesOf(const std::string &rate, double seconds)
{
    double num = 0, den = 1;
    std::sscanf(rate.c_str(), "%lf/%lf", &num, &den);
    return std::llround(seconds * num / den);
}

// A disc of clips: each case names what its clips have in common.
struct TDiscCase
{
    const char *Name;
    std::vector<TClipRecipe> Clips;
};

class ClipTimingAgreesWithTheJoins : public testing::TestWithParam<TDiscCase>
{ };

TEST_P(ClipTimingAgreesWithTheJoins, ToTheTick)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> paths;
    for (const TClipRecipe &recipe : GetParam().Clips) {
        paths.push_back(folder + "/" + recipe.Name + ".m2ts");
        ASSERT_NO_FATAL_FAILURE(MakeClip(paths.back(), recipe));
    }

    std::ostringstream out, err;
    TConsole console("eac3to", out, err);
    demux::TDemuxer demuxer(console);
    ASSERT_TRUE(demuxer.Run(paths, folder)) << err.str();
    ASSERT_EQ(demuxer.Results().size(), paths.size());

    // The chapters as the disc list places them: each clip starts where the
    // durations of the clips before it add up to, in 100 ns.
    int64_t chapterUnits = 0, joinTicks = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const int64_t chapterTicks = (chapterUnits * 9 + 500) / 1000;
        EXPECT_EQ(chapterTicks, joinTicks) << "chapter " << i + 1 << " of " << GetParam().Name;
        const TClipTimes times = ReadClipTimes(QString::fromStdString(paths[i]));
        ASSERT_TRUE(times.HasVideo) << paths[i];
        const int64_t clipTicks = demuxer.Results()[i].VideoDuration;
        // Agreeing on a cut clip is not enough: a joined clip keeps every picture.
        const TClipRecipe &recipe = GetParam().Clips[i];
        if (recipe.JoinedSeconds > 0)
            EXPECT_EQ(demuxer.Results()[i].Pictures,
                      FramesOf(recipe.Rate, recipe.Seconds) + FramesOf(recipe.Rate, recipe.JoinedSeconds))
                << paths[i];
        EXPECT_EQ(times.Duration(), clipTicks * 1000 / 9) << paths[i];
        chapterUnits += times.Duration();
        joinTicks += clipTicks;
    }
    EXPECT_EQ((chapterUnits * 9 + 500) / 1000, joinTicks) << "end of " << GetParam().Name;
}

const std::vector<std::string> kBFrames {"-g", "12", "-bf", "2"};
const std::vector<std::string> kOpenGop {"-g", "12", "-bf", "3", "-x264opts", "open-gop=1"};
const std::vector<std::string> kInterlaced {"-g",     "12",          "-bf",       "2",
                                            "-flags", "+ildct+ilme", "-x264opts", "tff=1"};

INSTANTIATE_TEST_SUITE_P(
    Discs, ClipTimingAgreesWithTheJoins,
    testing::Values(
        TDiscCase {
            "BFrames",
            {{"a", "25", 1.0, 0, kBFrames}, {"b", "25", 2.4, 0, kOpenGop}, {"c", "25", 0.6, 0, kBFrames}}},
        TDiscCase {"AudioStartingEarly",
                   {{"a", "25", 1.2, 0.5, kBFrames},
                    {"b", "25", 2.0, 0.12, kBFrames},
                    {"c", "25", 1.0, 0, kBFrames}}},
        TDiscCase {"NoAudio", {{"a", "25", 1.0, -1, kBFrames}, {"b", "25", 1.6, -1, kOpenGop}}},
        TDiscCase {"Ntsc",
                   {{"a", "30000/1001", 1.5, 0, kInterlaced}, {"b", "30000/1001", 2.0, 0.2, kInterlaced}}},
        TDiscCase {"Film", {{"a", "24000/1001", 2.5, 0, kBFrames}, {"b", "24000/1001", 1.3, 0, kBFrames}}},
        // Clips of one camera joined by copying: the time stamps start again.
        TDiscCase {"JoinedByCopying",
                   {{"a", "25", 2.0, 0, kBFrames, 1.2}, {"b", "25", 1.0, 0, kBFrames, 0.6}}},
        // The second part on other PIDs, with another program map.
        TDiscCase {"ProgramChangesMidway",
                   {{"a", "25", 1.0, 0, kBFrames, 2.0, true}, {"b", "25", 1.0, 0, kBFrames}}},
        TDiscCase {"Hd720p60",
                   {{"a", "60000/1001", 3.0, 0, kBFrames},
                    {"b", "60000/1001", 1.0, 0, kBFrames},
                    {"c", "60000/1001", 2.0, 0, kBFrames}}}),
    [](const testing::TestParamInfo<TDiscCase> &info) { return std::string(info.param.Name); });

}  // namespace
