#include "src/authoring/metafile.h"

#include "tests/authoring/testclips.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ChapterCase
{
    std::vector<int64_t> durations;
    const char *metaString;
};

class Chapters : public testing::TestWithParam<ChapterCase>
{ };

TEST_P(Chapters, StartEachClipAtTheSumOfTheDurationsBeforeIt)
{
    QTemporaryDir dir;
    TestClipList clips;
    TDisque disc(kDiscCapacity);
    for (size_t i = 0; i < GetParam().durations.size(); ++i)
        disc.AddClip(clips.Add(dir.filePath(QString("c%1.m2ts").arg(i)), 1, GetParam().durations[i]));
    disc.Chapters.append("stale");
    BuildChapters(disc);
    EXPECT_EQ(disc.Chapters.size(), qsizetype(GetParam().durations.size()));
    EXPECT_EQ(disc.Chapters.getmetastring(), QByteArray(GetParam().metaString));
}

INSTANTIATE_TEST_SUITE_P(Table, Chapters,
                         testing::Values(ChapterCase {{}, ""}, ChapterCase {{123 * Second}, "00:00:00.000"},
                                         ChapterCase {{10 * Second, 10 * Second, 10 * Second},
                                                      "00:00:00.000;00:00:10.000;00:00:20.000"},
                                         ChapterCase {{70 * Second, 70 * Second, 70 * Second},
                                                      "00:00:00.000;00:01:10.000;00:02:20.000"},
                                         // Truncated to the millisecond, never rounded to frames.
                                         ChapterCase {{123'456'789, 1}, "00:00:00.000;00:00:12.345"},
                                         ChapterCase {{360'000 * Second, 1}, "00:00:00.000;100:00:00.000"},
                                         // A clip the probe could not read adds nothing.
                                         ChapterCase {{5 * Second, 0, 1},
                                                      "00:00:00.000;00:00:05.000;00:00:05.000"}));

TEST(MetaFilePath, IsTheMetaFolderThenTheProject)
{
    TDisque disc(kDiscCapacity);
    disc.Project = QStringLiteral("Vacances");
    EXPECT_EQ(MetaFilePath(disc, "/data/meta/"), "/data/meta/Vacances.meta");
}

struct MetaCase
{
    const char *what;
    QByteArray metaString;
    QStringList streams;
    QByteArray text;
};

class MetaText : public testing::TestWithParam<MetaCase>
{ };

const QByteArray Muxopt = "MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr  --custom-chapters=";

TEST_P(MetaText, HasExactlyTheseBytes)
{
    TDisque disc(kDiscCapacity);
    static_cast<QStringList &>(disc.Streams) = GetParam().streams;
    disc.Streams.MetaString = GetParam().metaString;
    EXPECT_EQ(MetaFileText(disc), GetParam().text) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MetaText,
    testing::Values(
        MetaCase {"usual demux result",
                  "00:00:00.000;00:01:10.000",
                  {"/data/flux/clip.h264", "/data/flux/clip.ac3"},
                  Muxopt
                      + "00:00:00.000;00:01:10.000 --vbv-len=500\r\n"
                        "V_MPEG4/ISO/AVC, \"/data/flux/clip.h264\", fps=25, insertSEI, contSPS\r\n"
                        "A_AC3, \"/data/flux/clip.ac3\"\r\n"},
        MetaCase {"capital extensions, other files skipped, list order kept",
                  "00:00:00.000",
                  {"/f/c.AC3", "/f/c.txt", "/f/c.sup", "/f/c.H264", "/f/noext", "/f.h264/x"},
                  Muxopt
                      + "00:00:00.000 --vbv-len=500\r\n"
                        "A_AC3, \"/f/c.AC3\"\r\n"
                        "V_MPEG4/ISO/AVC, \"/f/c.H264\", fps=25, insertSEI, contSPS\r\n"},
        MetaCase {
            "only a text file", "00:00:00.000", {"/f/c.txt"}, Muxopt + "00:00:00.000 --vbv-len=500\r\n"},
        MetaCase {"never demuxed", "", {}, Muxopt + " --vbv-len=500\r\n"},
        MetaCase {
            "paths written in UTF-8, spaces kept",
            "00:00:00.000",
            {"/d/Été 1/x+y.h264"},
            Muxopt
                + "00:00:00.000 --vbv-len=500\r\n"
                  "V_MPEG4/ISO/AVC, \"/d/\xc3\x89t\xc3\xa9 1/x+y.h264\", fps=25, insertSEI, contSPS\r\n"}));

TEST(WriteMetaFile, ReplacesTheFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Vacances.meta");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'o'));
    }
    TDisque disc(kDiscCapacity);
    disc.Streams << "/f/c.h264";
    disc.Streams.MetaString = "00:00:00.000";
    ASSERT_TRUE(WriteMetaFile(disc, path));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), MetaFileText(disc));
    // Nothing else left in the folder (no temporary file).
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"Vacances.meta"});
}

TEST(WriteMetaFile, FailsForAMissingFolder)
{
    QTemporaryDir dir;
    TDisque disc(kDiscCapacity);
    EXPECT_FALSE(WriteMetaFile(disc, dir.filePath("missing/Vacances.meta")));
}

struct RateCase
{
    int64_t pictureDuration;  // 100 ns, as the clip probe measures it
    const char *fps;  // in the meta file
};

class MetaFrameRate : public testing::TestWithParam<RateCase>
{ };

TEST_P(MetaFrameRate, IsTheRateOfTheDiscsClips)
{
    QTemporaryDir dir;
    TestClipList clips;
    TDisque disc(kDiscCapacity);
    ASSERT_EQ(disc.AddClip(clips.Add(dir.filePath("c.m2ts"), 1, Second, GetParam().pictureDuration)),
              acAdded);
    disc.Streams << "/f/c.h264";
    EXPECT_EQ(MetaFileText(disc), Muxopt + " --vbv-len=500\r\nV_MPEG4/ISO/AVC, \"/f/c.h264\", fps="
                                      + GetParam().fps + ", insertSEI, contSPS\r\n")
        << GetParam().pictureDuration;
}

// Picture durations as 90 kHz time stamps give them: 23.976 pictures last
// 3753 or 3754 ticks, 59.94 ones 1501 or 1502.
INSTANTIATE_TEST_SUITE_P(Table, MetaFrameRate,
                         testing::Values(RateCase {417'000, "23.976"}, RateCase {417'111, "23.976"},
                                         RateCase {416'667, "24"}, RateCase {400'000, "25"},
                                         RateCase {333'667, "29.97"}, RateCase {200'000, "50"},
                                         RateCase {166'778, "59.94"}, RateCase {166'889, "59.94"},
                                         // Unknown, or no disc rate near it: the PAL rate.
                                         RateCase {0, "25"}, RateCase {1'000'000, "25"},
                                         RateCase {300'000, "25"}));

}  // namespace
