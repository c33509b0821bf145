#include "src/authoring/toolsteps.h"

#include "src/authoring/abort.h"
#include "src/authoring/metafile.h"
#include "tests/authoring/faketoolrecord.h"
#include "src/platform/findfiles.h"
#include "src/platform/shell.h"
#include "tests/authoring/testclips.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

// A handler as the processing driver gives one: it copies the program-wide
// flag into the runner's.
void CopyAbort(const QByteArray &, const QByteArray &, bool &abort)
{
    abort = AbortRequested;
}

QStringList Sorted(QStringList list)
{
    list.sort();
    return list;
}

void MakeOld(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
}

class ToolSteps : public testing::Test
{
protected:
    void SetUp() override
    {
        AbortRequested = false;
        const QString root = FDir.path() + QStringLiteral("/travail é+1/");
        for (const char *sub : {"clips+été", "flux", "meta", "avchd"})
            ASSERT_TRUE(QDir().mkpath(root + sub));
        FClipFolder = root + QStringLiteral("clips+été/");
        FSettings.DossierFlux = root + QStringLiteral("flux/");
        FSettings.Dossiermeta = root + QStringLiteral("meta/");
        FSettings.DossierAVCHD = root + QStringLiteral("avchd");
        FSettings.eac3tofile = FSettings.tsMuxerFile = FSettings.ImgBurnFile = FakeToolPath();
        FRecord = FDir.filePath("record");
    }
    void TearDown() override { AbortRequested = false; }

    // A disc of the named clips of clipFolder, each 10 s long.
    std::unique_ptr<TDisque> MakeDisc(const QStringList &names)
    {
        auto disc = std::make_unique<TDisque>(kDiscCapacity);
        disc->Number = 1;
        disc->Project = QStringLiteral("clips+été");
        for (const QString &name : names)
            EXPECT_EQ(disc->AddClip(FClips.Add(FClipFolder + name, 100, 10 * Second)), acAdded);
        return disc;
    }

    QTemporaryDir FDir;
    TestClipList FClips;
    TSettings FSettings;
    QString FClipFolder, FRecord;
};

TEST(StepArguments, AreTheExactWindowsTexts)
{
    TDisque one(kDiscCapacity);
    one.Clips.append({"/data/a.m2ts", nullptr, 0});
    EXPECT_EQ(DemuxArguments(one), R"(-demux  "/data/a.m2ts")");
    one.Clips.append({"/d/a b.m2ts", nullptr, 0});
    one.Clips.append({"/d/c+d/é.m2ts", nullptr, 0});
    EXPECT_EQ(DemuxArguments(one), R"(-demux  "/data/a.m2ts"+"/d/a b.m2ts"+"/d/c+d/é.m2ts")");
    EXPECT_EQ(MuxArguments("/m/V.meta", "/a/V/Disque 01/"), R"("/m/V.meta" "/a/V/Disque 01/")");
    EXPECT_EQ(BurnArguments("/a/V/Disque 01/", "V - Disque 01"),
              R"(/MODE BUILD /BUILDOUTPUTMODE DEVICE /SRC "/a/V/Disque 01/BDMV"|"/a/V/Disque 01/CERTIFICATE")"
              R"( /FILESYSTEM "UDF" /UDFREVISION "2.50" /VERIFY NO /VOLUMELABEL "V - Disque 01")"
              R"(   /EJECT /CLOSESUCCESS /NOIMAGEDETAILS /WAITFORMEDIA /START)");
}

TEST_F(ToolSteps, DemuxRunsInTheStreamFolderAndCollectsTheNewStreams)
{
    auto disc = MakeDisc({"00001 a.m2ts", "b+c.m2ts", "ç.m2ts"});
    FakeToolEnv env("progress,streams", FRecord);
    const QString before = GetCurrentFolder();
    QByteArray output;
    const TStepResult code =
        DemuxDisc(*disc, FSettings, [&](const QByteArray &out, const QByteArray &, bool &abort) {
            output += out;
            abort = AbortRequested;
        });
    EXPECT_EQ(code, TStepResult::Done);
    EXPECT_EQ(GetCurrentFolder(), before);

    const FakeToolRecord r = ReadFakeToolRecord(FRecord);
    EXPECT_EQ(r.args, QStringList({FakeToolPath(), "-demux",
                                   FClipFolder + "00001 a.m2ts+" + FClipFolder + "b+c.m2ts+" + FClipFolder
                                       + "ç.m2ts"}));
    EXPECT_EQ(r.cwd + '/', QDir(FSettings.DossierFlux).canonicalPath() + '/');
    EXPECT_TRUE(output.endsWith("done\n"));

    EXPECT_EQ(disc->StreamBase, "00001 a");
    const QString flux = FSettings.DossierFlux;
    EXPECT_EQ(Sorted(disc->Streams),
              QStringList({flux + "00001 a.ac3", flux + "00001 a.h264", flux + "00001 a.txt"}));
    EXPECT_EQ(disc->Chapters.getmetastring(), "00:00:00.000;00:00:10.000;00:00:20.000");
    EXPECT_EQ(disc->Streams.MetaString, disc->Chapters.getmetastring());
}

TEST_F(ToolSteps, DemuxTakesOnlyFilesWrittenSinceItStarted)
{
    auto disc = MakeDisc({"clip.m2ts"});
    const QString flux = FSettings.DossierFlux;
    for (const char *name : {"clip.h264", "clip.old", "other.h264"}) {
        QFile(flux + name).open(QIODevice::WriteOnly);
        MakeOld(flux + name);
    }
    // An earlier run's streams are replaced, not added to.
    disc->Streams << flux + "clip.h264";
    bool wroteOther = false;
    FakeToolEnv env("streams,sleep:0.05");
    EXPECT_EQ(DemuxDisc(*disc, FSettings,
                        [&](const QByteArray &, const QByteArray &, bool &) {
                            // Another disc whose first clip has the same name, demuxed meanwhile.
                            if (!wroteOther)
                                wroteOther = QFile(flux + "clip-autre.ac3").open(QIODevice::WriteOnly);
                        }),
              TStepResult::Done);
    EXPECT_EQ(Sorted(disc->Streams), QStringList({flux + "clip-autre.ac3", flux + "clip.ac3",
                                                  flux + "clip.h264", flux + "clip.txt"}));
}

TEST_F(ToolSteps, DemuxInterruptedGivesSixAndCollectsNothing)
{
    auto disc = MakeDisc({"clip.m2ts"});
    FakeToolEnv env("sleep");
    int calls = 0;
    // The program would sleep a minute and exit 0: only a stop interrupts it.
    EXPECT_EQ(DemuxDisc(*disc, FSettings,
                        [&](const QByteArray &, const QByteArray &, bool &abort) {
                            if (++calls == 20)
                                AbortRequested = true;
                            abort = AbortRequested;
                        }),
              TStepResult::Interrupted);
    EXPECT_TRUE(disc->Streams.isEmpty());
    EXPECT_TRUE(disc->Chapters.isEmpty());
}

TEST_F(ToolSteps, AbortAlreadySetStartsThenStopsEachStep)
{
    AbortRequested = true;
    FakeToolEnv env("sleep");
    auto disc = MakeDisc({"clip.m2ts"});
    EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort), TStepResult::Interrupted);
    EXPECT_EQ(MuxDisc(*disc, FSettings, CopyAbort), TStepResult::Interrupted);
}

// A clip whose name is not valid UTF-8 ("é" in Latin-1) is listed with
// U+FFFD in its place: handed on, that name would open another clip, here
// one really named so. The step refuses both names, which it cannot tell
// apart, and says why.
TEST_F(ToolSteps, DemuxStartsNothingForANameThatIsNotUtf8)
{
    const QByteArray folder = QFile::encodeName(FClipFolder);
    for (const char *name : {"vacances \xe9t\xe9.m2ts", "vacances \xef\xbf\xbdt\xef\xbf\xbd.m2ts"}) {
        std::FILE *made = std::fopen((folder + name).constData(), "w");
        ASSERT_TRUE(made);
        std::fclose(made);
    }
    QStringList listed;
    for (const TFindData &entry : FindFiles(FClipFolder + QStringLiteral("*.m2ts")))
        listed << entry.FileName;
    ASSERT_EQ(listed.size(), 2);
    FakeToolEnv env("", FRecord);
    QStringList logged;
    for (const QString &name : listed) {
        auto disc = MakeDisc({name});
        EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort, [&](const QString &line) { logged << line; }),
                  TStepResult::NoClip);
    }
    EXPECT_FALSE(QFile::exists(FRecord));
    ASSERT_EQ(logged.size(), 2);
    EXPECT_TRUE(
        logged[0].endsWith(QStringLiteral(" » n'est pas un nom de fichier UTF-8 valable : renommez le "
                                          "fichier.")))
        << logged[0].toStdString();
}

TEST_F(ToolSteps, DemuxStartsNothingForPathsTheCommandLineCannotCarry)
{
    FakeToolEnv env("", FRecord);
    TDisque empty(kDiscCapacity);
    EXPECT_EQ(DemuxDisc(empty, FSettings, CopyAbort), TStepResult::NoClip);

    auto quoted = MakeDisc({"ok.m2ts", "dit \"bonjour\".m2ts"});
    EXPECT_EQ(DemuxDisc(*quoted, FSettings, CopyAbort), TStepResult::NoClip);

    auto disc = MakeDisc({"clip.m2ts"});
    FSettings.DossierFlux = FDir.filePath("missing/");
    EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort), TStepResult::NoClip);

    EXPECT_FALSE(QFile::exists(FRecord));
}

// A demultiplexer that fails leaves the disc's streams as they were.
TEST_F(ToolSteps, DemuxThatFailsTakesNoStream)
{
    auto disc = MakeDisc({"clip.m2ts"});
    disc->Streams << FSettings.DossierFlux + "clip.h264";
    FakeToolEnv env("streams,exit:2");
    EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort), TStepResult::DemuxFailed);
    EXPECT_EQ(disc->Streams, QStringList {FSettings.DossierFlux + "clip.h264"});
    EXPECT_TRUE(disc->Chapters.isEmpty());

    FSettings.eac3tofile = FDir.filePath("no eac3to");
    EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort), TStepResult::DemuxFailed);
}

// An exception on the way gives the result of the stage the demux had
// reached, and no stream is taken: here the step's log throws on one line.
TEST_F(ToolSteps, DemuxFailingOnTheWayGivesTheResultOfItsStage)
{
    const struct
    {
        const char *clip;
        const char *throwsAt;  // the start of the log line that throws
        TStepResult result;
        bool started;  // the demultiplexer ran
    } cases[] = {
        {"vacances \xef\xbf\xbd.m2ts", "Le nom du clip", TStepResult::NoClip, false},
        {"clip.m2ts", "Lancement de eac3to", TStepResult::DemuxFailed, false},
        {"clip.m2ts", "eac3to a terminé", TStepResult::DemuxFailed, true},
    };
    for (const auto &c : cases) {
        QFile::remove(FRecord);
        FakeToolEnv env("streams", FRecord);
        auto disc = MakeDisc({QString::fromUtf8(c.clip)});
        const TStepLog throwing = [&c](const QString &line) {
            if (line.startsWith(QString::fromUtf8(c.throwsAt)))
                throw std::runtime_error("journal plein");
        };
        EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort, throwing), c.result) << c.throwsAt;
        EXPECT_EQ(QFile::exists(FRecord), c.started) << c.throwsAt;
        EXPECT_TRUE(disc->Streams.isEmpty()) << c.throwsAt;
        EXPECT_TRUE(disc->Chapters.isEmpty()) << c.throwsAt;
    }
}

TEST_F(ToolSteps, EachRunIsLoggedWithItsCommandLineAndEnding)
{
    auto disc = MakeDisc({"clip.m2ts"});
    QStringList log;
    const TStepLog toLog = [&log](const QString &line) { log << line; };
    FakeToolEnv env("exit:1");
    EXPECT_EQ(DemuxDisc(*disc, FSettings, CopyAbort, toLog), TStepResult::Warnings);
    EXPECT_EQ(log, QStringList({"Lancement de eac3to : \"" + FakeToolPath() + "\" " + DemuxArguments(*disc),
                                "eac3to a terminé avec des avertissements (code 1)"}));
}

// A burn stopped half-way ruins the disc: "Interrompre" (AbortRequested)
// alone does not stop the burner, only its handler does, once the user
// has said so.
TEST_F(ToolSteps, BurnStopsOnlyWhenItsHandlerAsks)
{
    auto disc = MakeDisc({"clip.m2ts"});
    FakeToolEnv env("onterm,sleep:0.2", FRecord);
    AbortRequested = true;
    int calls = 0;
    EXPECT_EQ(BurnDisc(*disc, FSettings, [&](const QByteArray &, const QByteArray &, bool &) { ++calls; }),
              TStepResult::Done);
    EXPECT_GT(calls, 1);
    EXPECT_FALSE(QFile::exists(FRecord + ".term"));
    AbortRequested = false;

    // Once the burner is there to hear it (it has written its record).
    ASSERT_TRUE(QFile::remove(FRecord));
    EXPECT_EQ(BurnDisc(*disc, FSettings,
                       [this](const QByteArray &, const QByteArray &, bool &abort) {
                           abort = QFile::exists(FRecord);
                       }),
              TStepResult::Interrupted);
    EXPECT_TRUE(QFile::exists(FRecord + ".term"));
}

struct OutcomeCase
{
    TToolOutcome outcome;
    TToolVerdict verdict;
    const char *text;
};

TEST(JudgeTool, OurProgramsExitZeroOneOrTwo)
{
    using O = TToolOutcome;
    const OutcomeCase cases[] = {
        {{O::Exited, 0, false}, tvDone, "eac3to a terminé (code 0)"},
        {{O::Exited, 1, false}, tvWarnings, "eac3to a terminé avec des avertissements (code 1)"},
        {{O::Exited, 2, false}, tvFailed, "eac3to a échoué (code 2)"},
        {{O::Exited, 139, false}, tvFailed, "eac3to a échoué (code 139)"},
        {{O::Exited, -1, false}, tvFailed, "eac3to a échoué (code -1)"},
        {{O::Signalled, 11, false}, tvFailed, "eac3to a été arrêté par le signal 11 (Segmentation fault)"},
        {{O::NotStarted, ENOENT, false},
         tvFailed,
         "eac3to n'a pas pu être lancé : No such file or directory"},
        {{O::Signalled, 15, true}, tvInterrupted, "eac3to a été interrompu (signal 15)"},
        {{O::Exited, 2, true}, tvInterrupted, "eac3to a été interrompu (code 2)"},
        {{O::Exited, 0, true}, tvInterrupted, "eac3to a été interrompu (code 0)"},
    };
    for (const OutcomeCase &c : cases) {
        EXPECT_EQ(JudgeTool(c.outcome), c.verdict) << c.text;
        EXPECT_EQ(ToolOutcomeText("eac3to", c.outcome), QString::fromUtf8(c.text));
    }
}

struct MuxCase
{
    bool deleteMeta, deleteFlux, interrupt;
    const char *actions;  // the muxer's, when not interrupted
    TStepResult code;
    bool metaStays, streamsStay;
};

class MuxDeletion : public ToolSteps, public testing::WithParamInterface<MuxCase>
{ };

TEST_P(MuxDeletion, FollowsTheSettingsAndTheInterruption)
{
    const MuxCase &c = GetParam();
    FSettings.DeleteMeta = c.deleteMeta;
    FSettings.DeleteFlux = c.deleteFlux;
    auto disc = MakeDisc({"clip.m2ts"});
    for (const char *name : {"clip.h264", "clip.ac3"}) {
        disc->Streams << FSettings.DossierFlux + name;
        QFile(disc->Streams.last()).open(QIODevice::WriteOnly);
    }
    disc->Streams.MetaString = "00:00:00.000";
    FakeToolEnv env(c.interrupt ? "sleep" : c.actions, FRecord);
    const TStepResult code =
        MuxDisc(*disc, FSettings, [&](const QByteArray &, const QByteArray &, bool &abort) {
            // Interrupted once the muxer has surely started.
            if (c.interrupt && QFile::exists(FRecord))
                AbortRequested = true;
            abort = AbortRequested;
        });
    EXPECT_EQ(code, c.code);

    const QString meta = FSettings.Dossiermeta + "clips+été.meta";
    const QString folder = FSettings.DossierAVCHD + "/clips+été/Disque 01/";
    const FakeToolRecord r = ReadFakeToolRecord(FRecord);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.args, QStringList({FakeToolPath(), meta, folder}));
    EXPECT_EQ(QFile::exists(meta), c.metaStays);
    if (c.metaStays) {
        QFile file(meta);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), MetaFileText(*disc));
    }
    for (const QString &stream : disc->Streams)
        EXPECT_EQ(QFile::exists(stream), c.streamsStay) << stream.toStdString();
    EXPECT_EQ(disc->Streams.size(), 2);  // the list keeps its entries
}

INSTANTIATE_TEST_SUITE_P(
    Table, MuxDeletion,
    testing::Values(MuxCase {true, true, false, "progress", TStepResult::Done, false, false},
                    MuxCase {false, false, false, "progress", TStepResult::Done, true, true},
                    MuxCase {false, true, false, "progress", TStepResult::Done, true, false},
                    MuxCase {true, true, false, "exit:1", TStepResult::Warnings, false, false},
                    MuxCase {true, true, false, "progress,exit:2", TStepResult::MuxFailed, true, true},
                    MuxCase {true, true, false, "signal:11", TStepResult::MuxFailed, true, true},
                    MuxCase {true, true, true, "", TStepResult::Interrupted, false, true},
                    MuxCase {false, true, true, "", TStepResult::Interrupted, true, true}));

TEST_F(ToolSteps, MuxWithoutMetaFileStartsNothing)
{
    FakeToolEnv env("", FRecord);
    auto disc = MakeDisc({"clip.m2ts"});
    FSettings.Dossiermeta = FDir.filePath("missing/");
    EXPECT_EQ(MuxDisc(*disc, FSettings, CopyAbort), TStepResult::MetaNotWritten);

    FSettings.Dossiermeta = FDir.path() + '/';
    disc->Project = QStringLiteral("dit \"bonjour\"");
    EXPECT_EQ(MuxDisc(*disc, FSettings, CopyAbort), TStepResult::MetaNotWritten);
    EXPECT_FALSE(QFile::exists(FDir.filePath("dit \"bonjour\".meta")));
    EXPECT_FALSE(QFile::exists(FRecord));
}

TEST_F(ToolSteps, BurnPassesTheFoldersAndTheLabel)
{
    FakeToolEnv env("", FRecord);
    auto disc = MakeDisc({"clip.m2ts"});
    FSettings.Verifier = false;
    EXPECT_EQ(BurnDisc(*disc, FSettings), TStepResult::Done);
    const QString f = FSettings.DossierAVCHD + "/clips+été/Disque 01/";
    const FakeToolRecord r = ReadFakeToolRecord(FRecord);
    EXPECT_EQ(r.args, QStringList({FakeToolPath(),
                                   "/MODE",
                                   "BUILD",
                                   "/BUILDOUTPUTMODE",
                                   "DEVICE",
                                   "/SRC",
                                   f + "BDMV|" + f + "CERTIFICATE",
                                   "/FILESYSTEM",
                                   "UDF",
                                   "/UDFREVISION",
                                   "2.50",
                                   "/VERIFY",
                                   "NO",
                                   "/VOLUMELABEL",
                                   "clips+été - Disque 01",
                                   "/EJECT",
                                   "/CLOSESUCCESS",
                                   "/NOIMAGEDETAILS",
                                   "/WAITFORMEDIA",
                                   "/START"}));
}

struct TDestinationCase
{
    const char *Title;
    QString Destination;
    bool Verify;
    QStringList Expected;  // the arguments that differ from the first drive's: mode, verify, then /DEST
};

class BurnDestination : public ToolSteps, public testing::WithParamInterface<TDestinationCase>
{ };

// Where the settings send the disc, and whether it is read back.
TEST_P(BurnDestination, ReachesTheBurnersCommandLine)
{
    const TDestinationCase &c = GetParam();
    FakeToolEnv env("", FRecord);
    auto disc = MakeDisc({"clip.m2ts"});
    FSettings.Destination = c.Destination;
    FSettings.Verifier = c.Verify;
    FSettings.DossierImages = QStringLiteral("/data/images é/");
    ASSERT_EQ(BurnDisc(*disc, FSettings), TStepResult::Done);
    const QStringList args = ReadFakeToolRecord(FRecord).args;
    ASSERT_GE(args.size(), 20);
    EXPECT_EQ((QStringList {args[4], args[12]} + args.mid(20)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BurnDestination,
    testing::Values(
        TDestinationCase {"FirstDriveVerified", "", true, {"DEVICE", "YES"}},
        TDestinationCase {"ChosenDrive", "/dev/sr1", false, {"DEVICE", "NO", "/DEST", "/dev/sr1"}},
        TDestinationCase {
            "StdioDrive", "stdio:/data/disc.img", true, {"DEVICE", "YES", "/DEST", "stdio:/data/disc.img"}},
        TDestinationCase {"ImageFile",
                          "image",
                          true,
                          {"IMAGEFILE", "YES", "/DEST", "/data/images é/clips+été - Disque 01.iso"}}),
    [](const auto &info) { return std::string(info.param.Title); });

TEST_F(ToolSteps, BurnStartsNothingForAFolderItCannotPass)
{
    FakeToolEnv env("", FRecord);
    auto disc = MakeDisc({"clip.m2ts"});
    for (const char *project : {"dit \"bonjour\"", "a|b"}) {
        disc->Project = QString::fromUtf8(project);
        EXPECT_EQ(BurnDisc(*disc, FSettings), TStepResult::BurnNotStarted) << project;
    }
    EXPECT_FALSE(QFile::exists(FRecord));
}

}  // namespace
