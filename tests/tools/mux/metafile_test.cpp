// The meta file the application writes, read back option by option.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/mux/discbuilder.h"
#include "tools/mux/muxmeta.h"
#include "tools/mux/videostream.h"

namespace {

TEST(MetaFile, ReadsTheApplicationsThreeLines)
{
    TMetaFile meta =
        ParseMetaFile("MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  "
                      "--custom-chapters=00:00:00.000;00:01:10.120;01:02:03.004 --vbv-len=500\r\n"
                      "V_MPEG4/ISO/AVC, \"/flux/a, b.h264\", fps=25, insertSEI, contSPS\r\n"
                      "A_AC3, \"/flux/a, b.ac3\"\r\n");
    const TMuxOptions &o = meta.Options;
    EXPECT_TRUE(o.Avchd);
    EXPECT_TRUE(o.PcrOnOwnPid);
    EXPECT_TRUE(o.NewAudioPes);
    EXPECT_TRUE(o.Vbr);
    EXPECT_EQ(o.VbvLenMs, 500u);
    EXPECT_EQ(o.ChaptersMs, (std::vector<uint64_t> {0, 70120, 3723004}));
    ASSERT_EQ(meta.Tracks.size(), 2u);
    EXPECT_EQ(meta.Tracks[0].Kind, ETrackKind::Video);
    EXPECT_EQ(meta.Tracks[0].Path, "/flux/a, b.h264");
    EXPECT_EQ(meta.Tracks[0].Fps, "25");
    EXPECT_TRUE(meta.Tracks[0].InsertSei);
    EXPECT_TRUE(meta.Tracks[0].ContSps);
    EXPECT_EQ(meta.Tracks[1].Kind, ETrackKind::Audio);
    EXPECT_EQ(meta.Tracks[1].Path, "/flux/a, b.ac3");
    EXPECT_TRUE(meta.Notes.empty());
}

TEST(MetaFile, OptionsLineAloneWithEmptyChapters)
{
    TMetaFile meta = ParseMetaFile("MUXOPT --avchd --custom-chapters= --vbv-len=500\r\n");
    EXPECT_TRUE(meta.Tracks.empty());
    EXPECT_TRUE(meta.Options.ChaptersMs.empty());
    EXPECT_FALSE(meta.Options.PcrOnOwnPid);
}

TEST(MetaFile, UnknownOptionsAreReportedAndIgnored)
{
    TMetaFile meta = ParseMetaFile("MUXOPT --avchd --blu-ray-v3 --mplsOffset=2\n"
                                   "V_MPEG4/ISO/AVC, \"v.h264\", fps=25, level=4.1\n");
    ASSERT_EQ(meta.Notes.size(), 3u);
    EXPECT_NE(meta.Notes[0].find("--blu-ray-v3"), std::string::npos);
    EXPECT_NE(meta.Notes[2].find("level=4.1"), std::string::npos);
    EXPECT_TRUE(meta.Options.Avchd);
}

class MetaFileRejects : public testing::TestWithParam<std::pair<const char *, const char *>>
{ };

TEST_P(MetaFileRejects, NamingLineAndCause)
{
    try {
        ParseMetaFile(GetParam().first);
        FAIL() << "accepted";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().second), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MetaFileRejects,
    testing::Values(
        std::make_pair("MUXOPT --avchd\nA_DTS, \"x.dts\"\n", "line 2: track type A_DTS is not supported"),
        std::make_pair("S_HDMV/PGS, \"x.sup\"\n", "not supported"),
        std::make_pair("V_MPEG4/ISO/AVC, \"x.h264\n", "unbalanced double quote"),
        std::make_pair("A_AC3\n", "track without a file"),
        std::make_pair("MUXOPT --vbv-len=abc\n", "--vbv-len"),
        std::make_pair("MUXOPT --custom-chapters=00:00:00.000;00:61:xx.000\n", "invalid chapter time")));

struct TChapterCase
{
    const char *Text;
    uint64_t Ms;
};

class ChapterTime : public testing::TestWithParam<TChapterCase>
{ };

TEST(MetaFile, ChaptersOutOfOrderOrRepeatedAreMarkedInTimeOrderOnce)
{
    TMetaFile meta = ParseMetaFile("MUXOPT --custom-chapters=00:00:05.000;00:00:01.000;00:00:05.000\n");
    EXPECT_EQ(meta.Options.ChaptersMs, (std::vector<uint64_t> {1000, 5000}));
    ASSERT_EQ(meta.Notes.size(), 2u);
    EXPECT_NE(meta.Notes[0].find("not in time order"), std::string::npos) << meta.Notes[0];
    EXPECT_NE(meta.Notes[1].find("more than once"), std::string::npos) << meta.Notes[1];
}

// A chapter's 45 kHz time once wrapped round to a mark near the start;
// too many marks were refused only when the playlist was written.
TEST(MetaFile, ChaptersADiscCannotMarkAreRefusedNamingTheLimit)
{
    EXPECT_NO_THROW(ParseMetaFile("MUXOPT --custom-chapters=26:30:43.717\n"));
    struct
    {
        std::string Chapters;
        const char *Cause;
    } cases[] = {{"26:30:43.718", "past 26:30:43.717"},
                 {"00:00:01.000;99999999999:00:00.000", "past 26:30:43.717"},
                 {"", "more than 65535 chapters"}};
    for (int i = 0; i < 70000; ++i)
        cases[2].Chapters += std::to_string(i) + ";";
    for (const auto &c : cases) {
        try {
            ParseMetaFile("MUXOPT --custom-chapters=" + c.Chapters + "\n");
            ADD_FAILURE() << "accepted " << c.Chapters.substr(0, 40);
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::string(e.what()).find(c.Cause), std::string::npos) << e.what();
        }
    }
}

TEST_P(ChapterTime, ConvertsToMilliseconds)
{
    EXPECT_EQ(ParseChapterTime(GetParam().Text), GetParam().Ms);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChapterTime,
                         testing::Values(TChapterCase {"00:00:00.000", 0},
                                         TChapterCase {"00:00:12.465", 12465},
                                         TChapterCase {"00:02:20.240", 140240},
                                         TChapterCase {"27:00:00.001", 97200001},
                                         TChapterCase {"10.5", 10500}, TChapterCase {"01:30", 90000}));

struct TRateCase
{
    const char *Text;
    uint32_t Num, Den;
};

class FrameRate : public testing::TestWithParam<TRateCase>
{ };

TEST_P(FrameRate, IsExactForNtscRates)
{
    TFrameRate rate = ParseFrameRate(GetParam().Text);
    EXPECT_EQ(rate.Num, GetParam().Num);
    EXPECT_EQ(rate.Den, GetParam().Den);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameRate,
                         testing::Values(TRateCase {"25", 25, 1}, TRateCase {"29.97", 30000, 1001},
                                         TRateCase {"23.976", 24000, 1001}, TRateCase {"59.94", 60000, 1001},
                                         TRateCase {"50", 50, 1}, TRateCase {"12.5", 25, 2}));

TEST(FrameRate, RejectsNonsense)
{
    EXPECT_THROW(ParseFrameRate("fast"), std::runtime_error);
    EXPECT_THROW(ParseFrameRate("0"), std::runtime_error);
    EXPECT_THROW(ParseFrameRate("25fps"), std::runtime_error);
}

TEST(OutputFolder, TrailingDelimitersAreDropped)
{
    EXPECT_EQ(NormaliseOutputFolder("/discs/Projet 1/"), "/discs/Projet 1");
    EXPECT_EQ(NormaliseOutputFolder("/discs/d\\\""), "/discs/d");
    EXPECT_EQ(NormaliseOutputFolder("/"), "/");
}

}  // namespace
