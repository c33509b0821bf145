// The authoring core's disc steps driving the real programs: the
// demultiplexer's streams and the meta file's exact command line give the
// AVCHD tree in the disc folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <libbluray/bluray.h>

#include "src/authoring/abort.h"
#include "src/authoring/metafile.h"
#include "src/authoring/split.h"
#include "src/authoring/toolsteps.h"
#include "src/clips/listfichier.h"
#include "tests/support/fixturedisc.h"

namespace {

// Settings whose folders lie in root, with the built programs.
TSettings SettingsIn(const QString &root)
{
    TSettings settings = WorkFoldersIn(root);
    settings.eac3tofile = QStringLiteral(TAVREL_BIN_DIR "/eac3to");
    settings.tsMuxerFile = QStringLiteral(TAVREL_BIN_DIR "/tsmuxer");
    settings.DeleteMeta = true;
    settings.DeleteFlux = true;
    return settings;
}

TEST(MuxDiscSteps, DemuxedStreamsBecomeTheDiscFolder)
{
    AbortRequested = false;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path() + QStringLiteral("/projet é/");
    const TSettings settings = SettingsIn(root);

    TFixtureDisc fixture;
    TDisque &disc = fixture.Disc;
    ASSERT_EQ(disc.Clips.size(), 2);

    ToolOutputHandler handler = KeepAbortFlag;
    ASSERT_EQ(DemuxDisc(disc, settings, handler), TStepResult::Done);
    ASSERT_FALSE(disc.Streams.isEmpty());
    // The first clip is 25 pictures at 25 per second.
    EXPECT_EQ(disc.Streams.MetaString.toStdString(), "00:00:00.000;00:00:01.000");
    ASSERT_EQ(MuxDisc(disc, settings, handler), TStepResult::Done);

    const QString folder = disc.DiscFolder(settings.DossierAVCHD);
    for (const char *file :
         {"BDMV/index.bdmv", "BDMV/MovieObject.bdmv", "BDMV/PLAYLIST/00000.mpls", "BDMV/CLIPINF/00000.clpi",
          "BDMV/STREAM/00000.m2ts", "BDMV/BACKUP/index.bdmv", "BDMV/BACKUP/MovieObject.bdmv",
          "BDMV/BACKUP/PLAYLIST/00000.mpls", "BDMV/BACKUP/CLIPINF/00000.clpi"})
        EXPECT_TRUE(QFile::exists(folder + QLatin1String(file))) << file;
    EXPECT_TRUE(QDir(folder + QStringLiteral("CERTIFICATE/BACKUP")).exists());
    EXPECT_TRUE(QDir(settings.Dossiermeta).entryList(QDir::Files).isEmpty());  // meta file deleted

    BLURAY *bd = bd_open(QFile::encodeName(folder).constData(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_NEAR(double(title->duration), 4.0 * 90000, 0.1 * 90000);
    // A chapter at the start of each clip, to the 90 kHz tick.
    ASSERT_EQ(title->chapter_count, 2u);
    EXPECT_EQ(title->chapters[0].start, 0u);
    EXPECT_EQ(title->chapters[1].start, 90000u);
    bd_free_title_info(title);
    bd_close(bd);
}

struct TRateCase
{
    std::vector<const char *> Clips;  // fixtures, probed as the clip list does
    const char *Fps;  // in the meta file
    std::vector<int> Frames;  // of each clip, as the fixtures were made
    int Numerator, Denominator;  // frames per second
};

class MuxDiscRate : public testing::TestWithParam<TRateCase>
{ };

// Clips of every camcorder kind become a title that plays as long as they
// do, with a chapter at the start of each clip.
TEST_P(MuxDiscRate, TitleLastsAsLongAsTheClips)
{
    AbortRequested = false;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TSettings settings = SettingsIn(dir.path() + QStringLiteral("/"));
    std::vector<std::unique_ptr<Tm2tsFichier>> clips;
    TDisque disc(kDiscCapacity);
    disc.Number = 1;
    disc.Project = QStringLiteral("Voyage");
    for (const char *name : GetParam().Clips) {
        clips.push_back(Tm2tsFichier::CreateFromPath(QStringLiteral(TAVREL_FIXTURE_DIR "/") + name));
        ASSERT_EQ(disc.AddClip(clips.back().get()), acAdded) << name;
    }
    EXPECT_EQ(disc.FrameRateOrDefault(), GetParam().Fps);
    const double frameTicks = 90000.0 * GetParam().Denominator / GetParam().Numerator;
    const int frames = std::accumulate(GetParam().Frames.begin(), GetParam().Frames.end(), 0);
    // The probe's total is the pictures' own, to the 90 kHz tick each clip's
    // time stamps are rounded to.
    EXPECT_NEAR(disc.TotalDuration / 1e7 * 90000, frames * frameTicks, 2.0 * GetParam().Clips.size());

    ToolOutputHandler handler = KeepAbortFlag;
    ASSERT_EQ(DemuxDisc(disc, settings, handler), TStepResult::Done);
    EXPECT_NE(MetaFileText(disc).indexOf(QByteArray(", fps=") + GetParam().Fps + ", "), -1)
        << MetaFileText(disc).constData();
    ASSERT_EQ(MuxDisc(disc, settings, handler), TStepResult::Done);

    BLURAY *bd = bd_open(QFile::encodeName(disc.DiscFolder(settings.DossierAVCHD)).constData(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_NEAR(double(title->duration), frames * frameTicks, frameTicks);
    // Each chapter where the pictures of the clips before it end; the meta
    // file gives chapter times in milliseconds, so within half of one.
    ASSERT_EQ(title->chapter_count, GetParam().Clips.size());
    int before = 0;
    for (size_t i = 0; i < GetParam().Clips.size(); ++i) {
        EXPECT_NEAR(double(title->chapters[i].start), before * frameTicks, 45.0) << i;
        before += GetParam().Frames[i];
    }
    bd_free_title_info(title);
    bd_close(bd);
}

// PAL clips, then one of a 60i camcorder: the split stops at that clip.
TEST(SplitByRate, ClipOfAnotherRateStopsTheSplit)
{
    std::vector<std::unique_ptr<Tm2tsFichier>> clips;
    QList<const Tm2tsFichier *> list;
    for (const char *name : {"small1s.m2ts", "cam1080i.m2ts", "ntsc60i.m2ts", "small3s.m2ts"}) {
        clips.push_back(Tm2tsFichier::CreateFromPath(QStringLiteral(TAVREL_FIXTURE_DIR "/") + name));
        list << clips.back().get();
    }
    const TSplitResult result = SplitClipsIntoDiscs(list);
    EXPECT_TRUE(result.Discs.empty());
    EXPECT_EQ(result.Message,
              QStringLiteral("Erreur: la cadence de " TAVREL_FIXTURE_DIR
                             "/ntsc60i.m2ts (29.97 images/s) diffère de celle du disque en cours "
                             "(25 images/s)"));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MuxDiscRate,
    testing::Values(TRateCase {{"cam1080i.m2ts", "small1s.m2ts"}, "25", {50, 25}, 25, 1},
                    TRateCase {{"ntsc60i.m2ts", "ntsc60i-b.m2ts"}, "29.97", {60, 30}, 30000, 1001},
                    TRateCase {{"film24p.m2ts"}, "23.976", {48}, 24000, 1001},
                    TRateCase {{"hd720p60.m2ts"}, "59.94", {60}, 60000, 1001}),
    [](const testing::TestParamInfo<TRateCase> &info) {
        std::string name = info.param.Fps;
        std::replace(name.begin(), name.end(), '.', '_');
        return "fps" + name;
    });

}  // namespace
