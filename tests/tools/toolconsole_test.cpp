// The console the three programs share: the exit status rule, the lines it
// prints, the debug switch; then the built programs, whose usage errors and
// detail lines are checked against what ffprobe and libudfread read.
#include "tools/common/toolconsole.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/tools/burn/burntesthelpers.h"
#include "tests/tools/demux/runprogram.h"

namespace fs = std::filesystem;

namespace {

enum TReport { rWarning, rError, rNoRoom };

struct TStatusCase
{
    std::vector<TReport> Reports;
    TExitStatus Status;
};

TEST(ToolConsole, TheStatusIsTheWorstOfWhatWasReported)
{
    const TStatusCase cases[] = {
        {{}, esOk},
        {{rWarning}, esWarnings},
        {{rWarning, rWarning}, esWarnings},
        {{rWarning, rError}, esError},
        {{rError, rWarning}, esError},
        {{rNoRoom}, esNoRoom},
        {{rWarning, rNoRoom}, esNoRoom},
    };
    for (const TStatusCase &c : cases) {
        std::ostringstream out, err;
        TConsole console("tool", out, err);
        for (TReport report : c.Reports) {
            if (report == rWarning)
                console.Warning("w");
            else if (report == rError)
                console.Error("e");
            else
                console.NoRoom("n");
        }
        EXPECT_EQ(console.Status(), c.Status) << c.Reports.size() << " reports";
        EXPECT_TRUE(out.str().empty()) << out.str();
    }
}

// The percentage is rewritten in place, printed only when it changes, and
// its line ends before any other line on either stream.
TEST(ToolConsole, ProgressIsRewrittenInPlaceAndEndedBeforeOtherLines)
{
    std::ostringstream out, err;
    TConsole console("tsmuxer", out, err);
    console.Progress("Writing", 0);
    console.Progress("Writing", 0);
    console.Progress("Writing", 512, 1024);
    console.Warning("/f/a.h264", "odd");
    console.Progress("Writing", 50);
    console.Progress("Verifying", 3, 0);  // nothing to verify is all done
    console.Progress("Verifying", 140);
    console.Note("Done.");
    console.Error("bad");
    EXPECT_EQ(out.str(), "\rWriting: 0%\rWriting: 50%\n\rWriting: 50%\n\rVerifying: 100%\nDone.\n");
    EXPECT_EQ(err.str(), "tsmuxer: warning: /f/a.h264: odd\ntsmuxer: error: bad\n");
}

struct TDebugCase
{
    std::vector<const char *> Argv;
    const char *Environment;  // TAVREL_DEBUG, or null when unset
    std::vector<std::string> Left;
    bool Debugging;
};

TEST(ToolConsole, DebugSwitchOrEnvironmentTurnsTheDetailOn)
{
    const TDebugCase cases[] = {
        {{"eac3to", "-demux", "a.m2ts"}, nullptr, {"-demux", "a.m2ts"}, false},
        {{"eac3to", "--debug", "-demux", "a.m2ts"}, nullptr, {"-demux", "a.m2ts"}, true},
        {{"tsmuxer", "m.meta", "out", "--debug"}, "0", {"m.meta", "out"}, true},
        {{"imgburn", "/LISTDRIVES"}, "1", {"/LISTDRIVES"}, true},
        {{"imgburn", "/LISTDRIVES"}, "yes", {"/LISTDRIVES"}, true},
        {{"imgburn", "/LISTDRIVES"}, "0", {"/LISTDRIVES"}, false},
        {{"imgburn", "/LISTDRIVES"}, "", {"/LISTDRIVES"}, false},
    };
    for (const TDebugCase &c : cases) {
        if (c.Environment)
            setenv("TAVREL_DEBUG", c.Environment, 1);
        else
            unsetenv("TAVREL_DEBUG");
        std::ostringstream out, err;
        TConsole console("tool", out, err);
        EXPECT_EQ(console.TakeArguments(int(c.Argv.size()), c.Argv.data()), c.Left);
        EXPECT_EQ(console.Debugging(), c.Debugging)
            << c.Argv.back() << " " << (c.Environment ? c.Environment : "-");
        console.Debug("detail");
        EXPECT_EQ(err.str(), c.Debugging ? "tool: debug: detail\n" : "");
    }
    unsetenv("TAVREL_DEBUG");
}

std::string Program(const std::string &name)
{
    return std::string(TAVREL_BIN_DIR) + "/" + name;
}

struct TUsageCase
{
    const char *Program;
    std::vector<std::string> Args;
    const char *Error;
};

class ProgramUsage : public testing::TestWithParam<TUsageCase>
{ };

// A command line that cannot be used: the error, then the usage, and 2.
TEST_P(ProgramUsage, IsAnErrorFollowedByTheUsage)
{
    const TUsageCase &c = GetParam();
    std::vector<std::string> argv = {Program(c.Program)};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    const TRunResult r = RunProgram(argv);
    EXPECT_EQ(r.ExitStatus, esError) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err.rfind(std::string(c.Program) + ": error: " + c.Error + "\n", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find("\nusage: " + std::string(c.Program) + " "), std::string::npos) << r.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramUsage,
    testing::Values(
        TUsageCase {"eac3to", {}, "the -demux option is missing"},
        TUsageCase {"eac3to", {"-demux", "--verbose"}, "unknown option --verbose"},
        TUsageCase {"tsmuxer",
                    {"--debug", "only.meta"},
                    "a meta file and an output folder are needed, 1 arguments were given"},
        TUsageCase {"imgburn", {"/MODE", "BUILD", "/SRC", "/tmp", "/SPEED", "4x"}, "Unknown switch /SPEED."}),
    [](const testing::TestParamInfo<TUsageCase> &info) {
        return std::string(info.param.Program) + "_" + std::to_string(info.index);
    });

// The detail lines of one program's run on standard error, without their
// prefix.
std::vector<std::string> DebugLines(const std::string &program, const std::string &err)
{
    const std::string prefix = program + ": debug: ";
    std::vector<std::string> lines;
    std::istringstream text(err);
    for (std::string line; std::getline(text, line);)
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line.substr(prefix.size()));
    return lines;
}

bool AnyStartsWith(const std::vector<std::string> &lines, const std::string &start)
{
    for (const std::string &line : lines)
        if (line.rfind(start, 0) == 0)
            return true;
    return false;
}

long VideoFrames(const std::string &path)
{
    const TRunResult r = RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                     "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path});
    return r.Out.empty() ? -1 : std::stol(r.Out);
}

// A disc through the three programs with the detail on: the detail says
// what outside readers find, and the programs' results are those of runs
// without it.
TEST(ProgramDebug, DetailAgreesWithOutsideReaders)
{
    burntest::TTempDir dir;
    const std::string fixtures = TAVREL_FIXTURE_DIR;
    const std::string first = fixtures + "/small1s.m2ts", second = fixtures + "/small3s.m2ts";
    TRunOptions withDetail, without;
    withDetail.Environment = {"TAVREL_DEBUG=1"};
    fs::create_directories(dir / "plain");
    fs::create_directories(dir / "detail");

    without.Folder = dir / "plain";
    withDetail.Folder = dir / "detail";
    const std::vector<std::string> demux = {Program("eac3to"), "-demux", first + "+" + second};
    const TRunResult plainDemux = RunProgram(demux, without);
    const TRunResult demuxed = RunProgram(demux, withDetail);
    ASSERT_EQ(plainDemux.ExitStatus, 0) << plainDemux.Err;
    ASSERT_EQ(demuxed.ExitStatus, 0) << demuxed.Err;
    EXPECT_TRUE(DebugLines("eac3to", plainDemux.Err).empty()) << plainDemux.Err;
    EXPECT_EQ(burntest::ReadWhole(dir / "detail/small1s.h264"),
              burntest::ReadWhole(dir / "plain/small1s.h264"));
    EXPECT_EQ(burntest::ReadWhole(dir / "detail/small1s.ac3"),
              burntest::ReadWhole(dir / "plain/small1s.ac3"));
    const std::vector<std::string> demuxDetail = DebugLines("eac3to", demuxed.Err);
    for (const std::string &clip : {first, second}) {
        EXPECT_TRUE(
            AnyStartsWith(demuxDetail, clip + ": " + std::to_string(fs::file_size(clip)) + " bytes, "))
            << demuxed.Err;
        EXPECT_TRUE(
            AnyStartsWith(demuxDetail, clip + ": " + std::to_string(VideoFrames(clip)) + " pictures "))
            << demuxed.Err;
    }

    const std::string meta = dir / "disc.meta", h264 = dir / "detail/small1s.h264";
    std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --vbv-len=500\n"
                        << "V_MPEG4/ISO/AVC, \"" << h264 << "\", fps=25, insertSEI, contSPS\n"
                        << "A_AC3, \"" << (dir / "detail/small1s.ac3") << "\"\n";
    const TRunResult muxed = RunProgram({Program("tsmuxer"), "--debug", meta, dir / "disc"});
    ASSERT_EQ(muxed.ExitStatus, 0) << muxed.Err;
    const std::vector<std::string> muxDetail = DebugLines("tsmuxer", muxed.Err);
    EXPECT_TRUE(AnyStartsWith(muxDetail, "video track " + h264 + ", fps=25")) << muxed.Err;
    EXPECT_TRUE(AnyStartsWith(muxDetail, "video " + std::to_string(VideoFrames(h264)) + " frames, "))
        << muxed.Err;

    const std::string image = dir / "disc.iso";
    const std::vector<std::string> sources = {dir / "disc/BDMV", dir / "disc/CERTIFICATE"};
    const TRunResult burnt = RunProgram({Program("imgburn"), "/MODE", "BUILD", "/BUILDOUTPUTMODE",
                                         "IMAGEFILE", "/SRC", sources[0] + "|" + sources[1], "/DEST", image},
                                        withDetail);
    ASSERT_EQ(burnt.ExitStatus, 0) << burnt.Err;
    const std::vector<std::string> burnDetail = DebugLines("imgburn", burnt.Err);
    std::string error;
    const burntest::TListing listing = burntest::ListImage(image, error);
    ASSERT_TRUE(error.empty()) << error;
    const std::map<std::string, uint32_t> starts = burntest::ImageFileStarts(image, listing);
    ASSERT_FALSE(starts.empty());
    for (const auto &[path, sector] : starts) {
        const std::string line = "sectors " + std::to_string(sector) + "+";
        const std::string file = "/disc/" + path + " (" + std::to_string(listing.at(path)) + " bytes)";
        EXPECT_TRUE(std::any_of(burnDetail.begin(), burnDetail.end(),
                                [&](const std::string &detail) {
                                    return detail.rfind(line, 0) == 0 && detail.size() > file.size()
                                           && detail.compare(detail.size() - file.size(), file.size(), file)
                                                  == 0;
                                }))
            << path << " at " << sector << ":\n"
            << burnt.Err;
    }
}

}  // namespace
