// The authoring core's disc steps driving the real programs: the
// demultiplexer's streams and the meta file's exact command line give the
// AVCHD tree in the disc folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <libbluray/bluray.h>

#include "authoring/abort.h"
#include "authoring/toolsteps.h"
#include "clips/listfichier.h"
#include "mux/metafile.h"

namespace {

constexpr int64_t kSecond = 10'000'000;

std::unique_ptr<Tm2tsFichier> fixtureClip(const QString& name, int64_t duration) {
  return Tm2tsFichier::CreateFromPath(QStringLiteral(TAVREL_FIXTURE_DIR "/") + name,
                                      [duration](const QString& path) {
                                        return std::make_unique<Tm2tsFileDevice>(path, TKnownClip{duration});
                                      });
}

void keepAbortFlag(const QByteArray&, const QByteArray&, bool& abort) { abort = AbortRequested; }

TEST(MuxDiscSteps, DemuxedStreamsBecomeTheDiscFolder) {
  AbortRequested = false;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString root = dir.path() + QStringLiteral("/projet é/");
  for (const char* sub : {"flux", "meta", "avchd"}) ASSERT_TRUE(QDir().mkpath(root + sub));
  TSettings settings;
  settings.DossierFlux = root + QStringLiteral("flux/");
  settings.Dossiermeta = root + QStringLiteral("meta/");
  settings.DossierAVCHD = root + QStringLiteral("avchd");
  settings.eac3tofile = QStringLiteral(TAVREL_BIN_DIR "/eac3to");
  settings.tsMuxerFile = QStringLiteral(TAVREL_BIN_DIR "/tsmuxer");
  settings.DeleteMeta = true;
  settings.DeleteFlux = true;

  std::vector<std::unique_ptr<Tm2tsFichier>> clips;
  clips.push_back(fixtureClip(QStringLiteral("small1s.m2ts"), 1 * kSecond));
  clips.push_back(fixtureClip(QStringLiteral("small3s.m2ts"), 3 * kSecond));
  TDisque disc(DiscCapacity);
  disc.Number = 1;
  disc.Project = QStringLiteral("Vacances");
  for (const auto& clip : clips) ASSERT_EQ(disc.AddClip(clip.get()), acAdded);

  ToolOutputHandler handler = keepAbortFlag;
  ASSERT_EQ(DemuxDisc(disc, settings, handler), srDone);
  ASSERT_FALSE(disc.Streams.isEmpty());
  const QList<QByteArray> chapters = disc.Streams.MetaString.split(';');
  ASSERT_EQ(chapters.size(), 2);
  ASSERT_EQ(MuxDisc(disc, settings, handler), srDone);

  const QString folder = disc.DiscFolder(settings.DossierAVCHD);
  for (const char* file : {"BDMV/index.bdmv", "BDMV/MovieObject.bdmv", "BDMV/PLAYLIST/00000.mpls",
                           "BDMV/CLIPINF/00000.clpi", "BDMV/STREAM/00000.m2ts",
                           "BDMV/BACKUP/index.bdmv", "BDMV/BACKUP/MovieObject.bdmv",
                           "BDMV/BACKUP/PLAYLIST/00000.mpls", "BDMV/BACKUP/CLIPINF/00000.clpi"})
    EXPECT_TRUE(QFile::exists(folder + QLatin1String(file))) << file;
  EXPECT_TRUE(QDir(folder + QStringLiteral("CERTIFICATE/BACKUP")).exists());
  EXPECT_TRUE(QDir(settings.Dossiermeta).entryList(QDir::Files).isEmpty());  // meta file deleted

  BLURAY* bd = bd_open(QFile::encodeName(folder).constData(), nullptr);
  ASSERT_NE(bd, nullptr);
  ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
  BLURAY_TITLE_INFO* title = bd_get_title_info(bd, 0, 0);
  ASSERT_NE(title, nullptr);
  EXPECT_NEAR(double(title->duration), 4.0 * 90000, 0.1 * 90000);
  // Chapter starts as the meta file's --custom-chapters gave them, to the tick.
  ASSERT_EQ(title->chapter_count, 2u);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(title->chapters[i].start, 90 * parseChapterTime(chapters[i].toStdString())) << i;
  bd_free_title_info(title);
  bd_close(bd);
}

}  // namespace
