// The widget-free pieces of the disc page: its texts, the log text of tool
// output, the shared disc list, the burn thread and how the driver reports
// each step's ending.
#include "src/authoring/abort.h"
#include "src/authoring/burnthread.h"
#include "src/authoring/discprocessor.h"
#include "src/authoring/disctexts.h"
#include "tests/authoring/faketoolrecord.h"
#include "tests/authoring/testclips.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <thread>

namespace {

struct NumberCase
{
    int64_t value;
    const char *text;
};

TEST(DiscTexts, GroupsOfThreeDigitsWithDots)
{
    const NumberCase cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1.000"},
        {123456, "123.456"},
        {1234567, "1.234.567"},
        {4'600'000'000, "4.600.000.000"},
        {-1234, "-1.234"},
    };
    for (const NumberCase &c : cases)
        EXPECT_EQ(GroupedNumber(c.value), QString::fromUtf8(c.text)) << c.value;
}

TEST(DiscTexts, DiscCount)
{
    EXPECT_EQ(DiscCountText(0), QStringLiteral("Aucun disque"));
    EXPECT_EQ(DiscCountText(1), QStringLiteral("Un disque"));
    EXPECT_EQ(DiscCountText(2), QStringLiteral("2 disques"));
    EXPECT_EQ(DiscCountText(12), QStringLiteral("12 disques"));
}

TEST(DiscTexts, DetailLines)
{
    TDisque disc(kDiscCapacity);
    disc.TotalSize = 4'600'000'000;
    disc.ClipCount = 3;
    disc.TotalDuration = 3725 * Second;
    EXPECT_EQ(DiscSizeText(disc), QStringLiteral("taille: 4.600.000.000"));
    EXPECT_EQ(DiscClipCountText(disc), QStringLiteral("nb de fichiers: 3"));
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: 1h 02mn 05s"));
    disc.TotalDuration = 59 * Second;
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: 59s"));
    disc.TotalDuration = Second / 2;
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: "));
}

struct LogCase
{
    const char *output;
    const char *shown;
};

TEST(LogText, ProgressRedrawnInPlaceReadsOneLinePerUpdate)
{
    const LogCase cases[] = {
        {"", ""},
        {" \r\n\t ", ""},
        {"done\n", "done"},
        {"\r25%\r50%\r\n", "25%\n50%"},
        {"0%\b\b25%\b\b\b50%", "0%\n25%\n50%"},
        {"  a\r\n\r\nb  ", "a\nb"},
        {"Durée: 1s\n", "Durée: 1s"},
    };
    for (const LogCase &c : cases)
        EXPECT_EQ(TDiscProcessor::LogText(QByteArray(c.output)), QString::fromUtf8(c.shown)) << c.output;
}

TEST(DiscList, HandsOutDiscsThatOutliveTheList)
{
    TDiscList list;
    auto disc = std::make_shared<TdecoupeDisque>(kDiscCapacity);
    std::weak_ptr<TdecoupeDisque> watch = disc;
    list.Assign({disc});
    disc.reset();
    TDiscPtr held = list.At(0);
    list.Assign({});
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    ASSERT_FALSE(watch.expired());
    held.reset();
    EXPECT_TRUE(watch.expired());
}

TDiscPtr NewDisc(int number, bool readyForBurn, bool burnt)
{
    auto disc = std::make_shared<TdecoupeDisque>(kDiscCapacity);
    disc->Number = number;
    disc->Project = QStringLiteral("P");
    disc->ReadyForBurn = readyForBurn;
    disc->Burnt = burnt;
    return disc;
}

// The pass burns what is ready and not burnt, reads the count once, and
// keeps each disc alive while burning it even when the list is emptied.
TEST(BurnThread, OnePassOverTheReadyDiscs)
{
    auto list = std::make_shared<TDiscList>();
    list->Assign(
        {NewDisc(1, true, false), NewDisc(2, false, false), NewDisc(3, true, true), NewDisc(4, true, false)});
    std::mutex mutex;
    QStringList burnt;
    TSettings settings;
    auto thread = TBurnThread::Start(
        list, settings,
        [&](const TDisque &disc, const TSettings &, const ToolOutputHandler &, const TStepLog &) {
            // The list goes away while the first disc burns.
            list->Assign({});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard lock(mutex);
            burnt << disc.DiscName();
            return TStepResult::Done;
        });
    ASSERT_TRUE(thread->WaitFor(10'000));
    EXPECT_TRUE(thread->Finished());
    std::lock_guard lock(mutex);
    EXPECT_EQ(burnt, QStringList {QStringLiteral("Disque 01")});
}

TEST(BurnThread, SetsNoMark)
{
    auto list = std::make_shared<TDiscList>();
    TDiscPtr disc = NewDisc(1, true, false);
    list->Assign({disc, NewDisc(2, true, false)});
    std::atomic<int> burns {0};
    auto thread = TBurnThread::Start(
        list, TSettings(),
        [&](const TDisque &, const TSettings &, const ToolOutputHandler &, const TStepLog &) {
            ++burns;
            return TStepResult::Done;
        });
    ASSERT_TRUE(thread->WaitFor(10'000));
    EXPECT_EQ(burns, 2);
    EXPECT_FALSE(disc->Burnt);
}

// A view that keeps what the driver shows, for tests without widgets.
class TRecordingView : public TProcessingView
{
public:
    void ShowStatus(const QString &text, TStatusKind kind) override { Statuses.append({text, kind}); }
    void ShowGauge(int) override { }
    void SetGaugePosition(int) override { }
    void HideGauge() override { }
    void ShowCancelButton(bool) override { }
    void ShowProcessingActions(bool) override { }
    void AppendLog(const QString &lines) override { Log << lines; }
    void TickMark(TDiscMark mark) override { Ticked << mark; }
    void ShowDiscFailure(const TDiscPtr &disc) override { Failures << disc->Failure; }
    TDiscPtr ActiveDisc() const override { return Active; }
    void ProcessEvents() override { }

    QList<std::pair<QString, TStatusKind>> Statuses;
    QStringList Log;
    QList<TDiscMark> Ticked;
    QStringList Failures;
    TDiscPtr Active;
};

enum TStep { stDemux, stMux, stBurn };

// How one step ended with its program ending one way.
struct EndingCase
{
    TStep step;
    const char *actions;  // the fake program's; null: a program that cannot start
    TStepResult code;
    const char *status;  // the run's summary, the last status
    const char *logLine;  // how the log says the program ended
    const char *failure;  // the disc's failure; null when the step did not fail
};

void PrintTo(const EndingCase &c, std::ostream *os)
{
    *os << "step " << c.step << " with " << (c.actions ? c.actions : "(cannot start)");
}

bool Failed(const EndingCase &c)
{
    return !StepSucceeded(c.code);
}

TStatusKind StatusKind(const EndingCase &c)
{
    if (Failed(c))
        return TStatusKind::Error;
    return c.code == TStepResult::Warnings ? TStatusKind::Interrupted : TStatusKind::Normal;
}

class StepEndings : public testing::TestWithParam<EndingCase>
{
protected:
    void SetUp() override
    {
        AbortRequested = false;
        FRoot = FTmp.path() + u'/';
        for (const char *folder : {"flux", "meta", "avchd", "clips"})
            ASSERT_TRUE(QDir(FRoot).mkpath(QLatin1String(folder)));
        FSettings.DossierFlux = FRoot + QStringLiteral("flux/");
        FSettings.Dossiermeta = FRoot + QStringLiteral("meta/");
        FSettings.DossierAVCHD = FRoot + QStringLiteral("avchd/");
        FSettings.DeleteMeta = FSettings.DeleteFlux = true;
        const QString program = GetParam().actions ? FakeToolPath() : FRoot + QStringLiteral("absent");
        FSettings.eac3tofile = FSettings.tsMuxerFile = FSettings.ImgBurnFile = program;

        FDisc = std::make_shared<TdecoupeDisque>(kDiscCapacity);
        FDisc->Number = 1;
        FDisc->Project = QStringLiteral("Vacances");
        ASSERT_EQ(FDisc->AddClip(FClips.Add(FRoot + QStringLiteral("clips/a.m2ts"), 1000, 10 * Second)),
                  acAdded);
        // The disc folder of an earlier mux, which no step may remove.
        FDiscFolder = FDisc->DiscFolder(FSettings.DossierAVCHD);
        ASSERT_TRUE(QDir().mkpath(FDiscFolder + QStringLiteral("BDMV")));
    }

    QTemporaryDir FTmp;
    QString FRoot, FDiscFolder;
    TSettings FSettings;
    TestClipList FClips;
    TDiscPtr FDisc;
};

// Each step alone, as the marks let it run: the result code, the status,
// the mark, the log, and what stays of the streams, the meta file and the
// disc folder (the settings ask for the streams and the meta file to go).
TEST_P(StepEndings, CodeStatusMarkLogAndFiles)
{
    const EndingCase &c = GetParam();
    FakeToolEnv env(QString::fromLatin1(c.actions ? c.actions : ""));
    const QString meta = FSettings.Dossiermeta + QStringLiteral("Vacances.meta");
    const QStringList streams = {FSettings.DossierFlux + QStringLiteral("a.h264"),
                                 FSettings.DossierFlux + QStringLiteral("a.ac3")};
    if (c.step != stDemux) {
        FDisc->ReadyForMux = true;
        for (const QString &stream : streams)
            QFile(stream).open(QIODevice::WriteOnly);
        FDisc->Streams << streams;
    }
    FDisc->ReadyForBurn = c.step != stMux;  // the demux case stops after its step
    FDisc->Burnt = c.step != stBurn;
    // A failure of an earlier run, which a success clears.
    FDisc->Failure = QStringLiteral("old");

    TRecordingView view;
    view.Active = FDisc;
    std::optional<TStepResult> code;
    TDiscSteps steps;
    steps.Demux = [&](TDisque &d, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
        return *(code = DemuxDisc(d, s, h, l));
    };
    steps.Mux = [&](TDisque &d, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
        return *(code = MuxDisc(d, s, h, l));
    };
    steps.Burn = [&](const TDisque &d, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
        return *(code = BurnDisc(d, s, h, l));
    };
    TDiscProcessor processor(view, std::make_shared<TDiscList>(), FSettings, steps);
    processor.saDisqueActuelexecute();

    EXPECT_EQ(code, c.code);
    ASSERT_FALSE(view.Statuses.isEmpty());
    EXPECT_EQ(view.Statuses.last().first, QString::fromUtf8(c.status));
    EXPECT_EQ(view.Statuses.last().second, StatusKind(c));
    const std::atomic<bool> &mark = c.step == stDemux ? FDisc->ReadyForMux
                                    : c.step == stMux ? FDisc->ReadyForBurn
                                                      : FDisc->Burnt;
    EXPECT_EQ(mark.load(), !Failed(c));
    EXPECT_EQ(view.Ticked.size(), Failed(c) ? 0 : 1);
    EXPECT_TRUE(view.Log.contains(QString::fromUtf8(c.logLine))) << view.Log.join(u'\n').toStdString();
    EXPECT_TRUE(view.Log.first().startsWith(QStringLiteral("Lancement de ")));
    const QString failure = c.failure ? QString::fromUtf8(c.failure) : QString();
    EXPECT_EQ(FDisc->Failure, failure);
    EXPECT_EQ(view.Failures, QStringList {failure});
    if (Failed(c)) {
        EXPECT_EQ(view.Log.last(), failure);
    }

    if (c.step == stDemux) {
        // Streams are taken only from a demux that succeeded.
        EXPECT_EQ(FDisc->Streams.size(), Failed(c) ? 0 : 3);
        EXPECT_EQ(FDisc->Chapters.isEmpty(), Failed(c));
    } else {
        // A mux deletes the streams and the meta file only when it succeeded.
        const bool kept = c.step != stMux || Failed(c);
        for (const QString &stream : streams)
            EXPECT_EQ(QFile::exists(stream), kept) << stream.toStdString();
        EXPECT_EQ(QFile::exists(meta), c.step == stMux && Failed(c));
    }
    EXPECT_TRUE(QFileInfo(FDiscFolder + QStringLiteral("BDMV")).isDir());
}

INSTANTIATE_TEST_SUITE_P(
    Table, StepEndings,
    testing::Values(
        EndingCase {stDemux, "streams", TStepResult::Done, "Terminé : 1 disque prêt",
                    "eac3to a terminé (code 0)", nullptr},
        EndingCase {stDemux, "streams,exit:1", TStepResult::Warnings,
                    "Terminé : 1 disque prêt, 1 avec avertissements (voir le journal)",
                    "eac3to a terminé avec des avertissements (code 1)", nullptr},
        EndingCase {stDemux, "streams,exit:2", TStepResult::DemuxFailed,
                    "Terminé : 1 échec (voir le journal)", "eac3to a échoué (code 2)",
                    "Erreur pendant l'exécution de eac3to : eac3to a échoué (code 2)"},
        EndingCase {stDemux, "streams,exit:139", TStepResult::DemuxFailed,
                    "Terminé : 1 échec (voir le journal)", "eac3to a échoué (code 139)",
                    "Erreur pendant l'exécution de eac3to : eac3to a échoué (code 139)"},
        EndingCase {
            stDemux, "streams,signal:11", TStepResult::DemuxFailed, "Terminé : 1 échec (voir le journal)",
            "eac3to a été arrêté par le signal 11 (Segmentation fault)",
            "Erreur pendant l'exécution de eac3to : eac3to a été arrêté par le signal 11 (Segmentation "
            "fault)"},
        EndingCase {stDemux, nullptr, TStepResult::DemuxFailed, "Terminé : 1 échec (voir le journal)",
                    "eac3to n'a pas pu être lancé : No such file or directory",
                    "Erreur pendant l'exécution de eac3to : eac3to n'a pas pu être lancé : No such file or "
                    "directory"},
        EndingCase {stMux, "", TStepResult::Done, "Terminé : 1 disque prêt", "tsMuxeR a terminé (code 0)",
                    nullptr},
        EndingCase {stMux, "exit:1", TStepResult::Warnings,
                    "Terminé : 1 disque prêt, 1 avec avertissements (voir le journal)",
                    "tsMuxeR a terminé avec des avertissements (code 1)", nullptr},
        EndingCase {stMux, "exit:2", TStepResult::MuxFailed, "Terminé : 1 échec (voir le journal)",
                    "tsMuxeR a échoué (code 2)",
                    "Erreur pendant l'exécution de tsMuxeR : tsMuxeR a échoué (code 2)"},
        EndingCase {stMux, "exit:139", TStepResult::MuxFailed, "Terminé : 1 échec (voir le journal)",
                    "tsMuxeR a échoué (code 139)",
                    "Erreur pendant l'exécution de tsMuxeR : tsMuxeR a échoué (code 139)"},
        EndingCase {stMux, "signal:6", TStepResult::MuxFailed, "Terminé : 1 échec (voir le journal)",
                    "tsMuxeR a été arrêté par le signal 6 (Aborted)",
                    "Erreur pendant l'exécution de tsMuxeR : tsMuxeR a été arrêté par le signal 6 (Aborted)"},
        EndingCase {stMux, nullptr, TStepResult::MuxFailed, "Terminé : 1 échec (voir le journal)",
                    "tsMuxeR n'a pas pu être lancé : No such file or directory",
                    "Erreur pendant l'exécution de tsMuxeR : tsMuxeR n'a pas pu être lancé : No such file or "
                    "directory"},
        EndingCase {stBurn, "", TStepResult::Done, "Terminé : 1 gravé", "ImgBurn a terminé (code 0)",
                    nullptr},
        EndingCase {stBurn, "exit:1", TStepResult::Warnings,
                    "Terminé : 1 gravé, 1 avec avertissements (voir le journal)",
                    "ImgBurn a terminé avec des avertissements (code 1)", nullptr},
        EndingCase {stBurn, "exit:2", TStepResult::BurnFailed, "Terminé : 1 échec (voir le journal)",
                    "ImgBurn a échoué (code 2)",
                    "Erreur pendant la gravure du disque Disque 01 : ImgBurn a échoué (code 2)"},
        EndingCase {stBurn, "exit:3", TStepResult::BurnNoRoom, "Terminé : 1 échec (voir le journal)",
                    "ImgBurn a échoué (code 3)",
                    "Le disque Disque 01 ne tient pas sur le DVD : rien n'a été gravé. Mettez un DVD double "
                    "couche ou choisissez « DVD (4,7 Go) » dans les options (F10)."},
        EndingCase {stBurn, "exit:139", TStepResult::BurnFailed, "Terminé : 1 échec (voir le journal)",
                    "ImgBurn a échoué (code 139)",
                    "Erreur pendant la gravure du disque Disque 01 : ImgBurn a échoué (code 139)"},
        EndingCase {
            stBurn, "signal:9", TStepResult::BurnFailed, "Terminé : 1 échec (voir le journal)",
            "ImgBurn a été arrêté par le signal 9 (Killed)",
            "Erreur pendant la gravure du disque Disque 01 : ImgBurn a été arrêté par le signal 9 (Killed)"},
        EndingCase {
            stBurn, nullptr, TStepResult::BurnFailed, "Terminé : 1 échec (voir le journal)",
            "ImgBurn n'a pas pu être lancé : No such file or directory",
            "Erreur pendant la gravure du disque Disque 01 : ImgBurn n'a pas pu être lancé : No such file "
            "or directory"}));

}  // namespace
