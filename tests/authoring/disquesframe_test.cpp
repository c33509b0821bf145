// The disc page on the offscreen platform, with the fake tool standing in
// for the three outside programs.
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "tests/authoring/faketoolrecord.h"
#include "tests/authoring/testclips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <mutex>

namespace {

constexpr int64_t kGb = 1'000'000'000;

struct Status
{
    QString text;
    TStatusKind kind;
    bool operator==(const Status &) const = default;
};

void PrintTo(const Status &s, std::ostream *os)
{
    *os << '"' << s.text.toStdString() << "\" " << int(s.kind);
}

class DisquesframeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        FPreviousFolder = QDir::currentPath();
        // The fake tool writes stray files into its current folder.
        QDir::setCurrent(FTmp.path());
        for (const char *folder : {"flux", "meta", "avchd", "clips/Vacances"})
            QDir(FTmp.path()).mkpath(QString::fromLatin1(folder));
        FSettings.eac3tofile = FSettings.tsMuxerFile = FSettings.ImgBurnFile = FakeToolPath();
        FSettings.DossierFlux = FTmp.filePath(QStringLiteral("flux/"));
        FSettings.Dossiermeta = FTmp.filePath(QStringLiteral("meta/"));
        FSettings.DossierAVCHD = FTmp.filePath(QStringLiteral("avchd/"));
        FSettings.DeleteMeta = false;
        FSettings.DeleteFlux = false;
        AbortRequested = false;
    }

    void TearDown() override
    {
        if (FPage && FPage->Processor.BurnThread()) {
            EXPECT_TRUE(FPage->Processor.BurnThread()->WaitFor(30'000));
        }
        FPage.reset();
        QDir::setCurrent(FPreviousFolder);
    }

    // The page, with the real steps counted.
    void MakePage()
    {
        TDiscSteps steps;
        steps.Demux = [this](TDisque &disc, const TSettings &s, const ToolOutputHandler &h,
                             const TStepLog &l) {
            ++FDemuxes;
            return DemuxDisc(disc, s, h, l);
        };
        steps.Mux = [this](TDisque &disc, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
            ++FMuxes;
            return MuxDisc(disc, s, h, l);
        };
        steps.Burn = [this](const TDisque &disc, const TSettings &s, const ToolOutputHandler &h,
                            const TStepLog &l) {
            {
                std::lock_guard lock(FBurnMutex);
                FBurnt << disc.DiscName();
            }
            return BurnDisc(disc, s, h, l);
        };
        FPage = std::make_unique<TDisquesframe>(nullptr, FSettings, steps);
        FPage->OnShowStatus = [this](const QString &text, TStatusKind kind) {
            FStatuses.push_back({text, kind});
        };
        FPage->show();
    }

    // One disc per clip name (clips of 3 GB), split as the main window does.
    std::vector<TDiscPtr> Split(const QStringList &names, int64_t size = 3 * kGb)
    {
        for (const QString &name : names)
            FClips.Add(FTmp.filePath(QStringLiteral("clips/Vacances/") + name), size, 100 * Second);
        TSplitResult split = SplitClipsIntoDiscs(FClips.List());
        EXPECT_TRUE(split.Message.isEmpty()) << split.Message.toStdString();
        FPage->ShowDiscs(split.Discs);
        return split.Discs;
    }

    QStringList Burnt()
    {
        std::lock_guard lock(FBurnMutex);
        return FBurnt;
    }

    QString RecordFile() const { return FTmp.filePath(QStringLiteral("record")); }

    // Runs check from the event loop once the fake tool has started.
    void WhenToolRuns(const std::function<void()> &check)
    {
        WhenFakeToolRuns(FPage.get(), RecordFile(), check);
    }

    // Steers the fake tool until the fixture is gone: the burn thread may
    // still start it after the test body.
    void UseTool(const QString &actions, const QString &recordFile = {}) { FEnv.Use(actions, recordFile); }

    QTemporaryDir FTmp;
    FakeToolEnv FEnv;
    QString FPreviousFolder;
    TSettings FSettings;
    TestClipList FClips;
    std::unique_ptr<TDisquesframe> FPage;
    std::atomic<int> FDemuxes {0}, FMuxes {0};
    std::mutex FBurnMutex;
    QStringList FBurnt;
    std::vector<Status> FStatuses;
};

TEST_F(DisquesframeTest, EmptyListShowsNoDiscAndDisablesTheButtons)
{
    MakePage();
    EXPECT_EQ(FPage->labDisques->text(), QStringLiteral("Aucun disque"));
    for (QLabel *label :
         {FPage->labTitre, FPage->labProject, FPage->labSize, FPage->labNbFic, FPage->labDuree})
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    EXPECT_FALSE(FPage->DisqueActuelBtn->isEnabled());
    EXPECT_FALSE(FPage->TousDisquesBtn->isEnabled());
    EXPECT_FALSE(FPage->GraverBtn->isEnabled());
    EXPECT_FALSE(FPage->AnnulerBtn->isVisible());
    EXPECT_FALSE(FPage->Gauge->isVisible());
}

TEST_F(DisquesframeTest, CountsLabelAndHint)
{
    MakePage();
    Split({QStringLiteral("a.m2ts")});
    EXPECT_EQ(FPage->labDisques->text(), QStringLiteral("Un disque"));
    Split({QStringLiteral("b.m2ts")});
    EXPECT_EQ(FPage->labDisques->text(), QStringLiteral("2 disques"));
    Split({QStringLiteral("c.m2ts")});
    EXPECT_EQ(FPage->lbDisques->toolTip(), QStringLiteral("un fichier sélectionné sur 3"));
    EXPECT_EQ(FPage->lbDisques->item(0)->text(), QStringLiteral("Vacances : Disque 01"));
    EXPECT_TRUE(FPage->DisqueActuelBtn->isEnabled());
    EXPECT_TRUE(FPage->TousDisquesBtn->isEnabled());
    EXPECT_TRUE(FPage->GraverBtn->isEnabled());
}

TEST_F(DisquesframeTest, DetailsOfTheFirstDisc)
{
    MakePage();
    FClips.Add(FTmp.filePath(QStringLiteral("clips/Vacances/a.m2ts")), 2 * kGb, 3000 * Second);
    FClips.Add(FTmp.filePath(QStringLiteral("clips/Vacances/b.m2ts")), 2 * kGb, 700 * Second);
    FClips.Add(FTmp.filePath(QStringLiteral("clips/Vacances/c.m2ts")), 600'000'000, 25 * Second);
    FPage->ShowDiscs(SplitClipsIntoDiscs(FClips.List()).Discs);
    EXPECT_EQ(FPage->labTitre->text(), QStringLiteral("Disque 01"));
    EXPECT_EQ(FPage->labProject->text(), QStringLiteral("Vacances"));
    EXPECT_EQ(FPage->labSize->text(), QStringLiteral("taille: 4.600.000.000"));
    EXPECT_EQ(FPage->labNbFic->text(), QStringLiteral("nb de fichiers: 3"));
    EXPECT_EQ(FPage->labDuree->text(), QStringLiteral("Durée: 1h 02mn 05s"));
    EXPECT_EQ(FPage->DisqueActuelBtn->text(), QStringLiteral("Disque 01"));
}

TEST_F(DisquesframeTest, DeleteKeyMovesTheActiveDisc)
{
    MakePage();
    Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    FPage->lbDisques->SetActive(1);
    EXPECT_EQ(FPage->labTitre->text(), QStringLiteral("Disque 02"));
    FPage->lbDisques->setFocus();
    QTest::keyClick(FPage->lbDisques, Qt::Key_Delete);
    ASSERT_EQ(FPage->lbDisques->count(), 1);
    EXPECT_EQ(FPage->labTitre->text(), QStringLiteral("Disque 01"));
    EXPECT_EQ(FPage->ActiveDisc()->Number, 1);
    EXPECT_EQ(FPage->Discs->Count(), 1);

    QTest::keyClick(FPage->lbDisques, Qt::Key_Delete);
    EXPECT_EQ(FPage->lbDisques->count(), 0);
    EXPECT_EQ(FPage->ActiveDisc(), nullptr);
    EXPECT_TRUE(FPage->labTitre->text().isEmpty());
    EXPECT_EQ(FPage->labDisques->text(), QStringLiteral("Aucun disque"));
    EXPECT_FALSE(FPage->DisqueActuelBtn->isEnabled());
    EXPECT_EQ(FPage->Discs->Count(), 0);
}

TEST_F(DisquesframeTest, CheckBoxesEditTheActiveDiscsMarks)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    FPage->cbBurnt->click();
    EXPECT_TRUE(discs[0]->Burnt);
    FPage->cbReadyforBurn->setChecked(true);
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    FPage->cbReadyforBurn->setChecked(false);
    EXPECT_FALSE(discs[0]->ReadyForBurn);
    EXPECT_FALSE(discs[1]->Burnt);
    // Clearing the panel does not clear the marks of the disc shown.
    FPage->ClearDiscDetails();
    EXPECT_TRUE(discs[0]->Burnt);
    FPage->lbDisques->SetActive(1);
    EXPECT_FALSE(FPage->cbBurnt->isChecked());
    FPage->lbDisques->SetActive(0);
    EXPECT_TRUE(FPage->cbBurnt->isChecked());
}

TEST_F(DisquesframeTest, ReadyForMuxGoesStraightToTheMuxerAndBurns)
{
    UseTool(QStringLiteral("progress"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    FPage->cbReadyForMux->setChecked(true);
    FPage->Processor.saDisqueActuelexecute();
    EXPECT_EQ(FDemuxes, 0);
    EXPECT_EQ(FMuxes, 1);
    EXPECT_EQ(Burnt(), QStringList {QStringLiteral("Disque 01")});
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    EXPECT_TRUE(discs[0]->Burnt);
    EXPECT_TRUE(FPage->cbReadyforBurn->isChecked());
    EXPECT_TRUE(FPage->cbBurnt->isChecked());
    // Each step with the percentages its program printed, then the run.
    ASSERT_FALSE(FStatuses.empty());
    EXPECT_EQ(FStatuses.front(),
              (Status {QStringLiteral("Multiplexage du Disque 01"), TStatusKind::ToolRunning}));
    const auto shown = [this](const Status &status) {
        return std::find(FStatuses.begin(), FStatuses.end(), status) != FStatuses.end();
    };
    EXPECT_TRUE(shown({QStringLiteral("Multiplexage du Disque 01 : 100 %"), TStatusKind::ToolRunning}));
    EXPECT_TRUE(shown({QStringLiteral("Gravure du Disque 01"), TStatusKind::ToolRunning}));
    EXPECT_TRUE(shown({QStringLiteral("Gravure du Disque 01 : 100 %"), TStatusKind::ToolRunning}));
    EXPECT_EQ(FStatuses.back(), (Status {QStringLiteral("Terminé : 1 gravé"), TStatusKind::Normal}));
    // The log has each program's other lines and one line per step, not
    // the percentages.
    const QString log = FPage->Memo1->toPlainText();
    EXPECT_FALSE(log.contains(QStringLiteral("25%"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Multiplexage du Disque 01 : terminé en "))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Gravure du Disque 01 : terminé en "))) << log.toStdString();
    // The mux step wrote its meta file with no stream in it.
    EXPECT_TRUE(QFile::exists(FSettings.Dossiermeta + QStringLiteral("Vacances.meta")));
    EXPECT_TRUE(FPage->Memo1->toPlainText().contains(QStringLiteral("done")));
    EXPECT_TRUE(FPage->DisqueActuelBtn->isVisible());
    EXPECT_FALSE(FPage->AnnulerBtn->isVisible());
}

// Each step looks at its own mark only.
TEST_F(DisquesframeTest, MarksTickedByHandSkipTheirSteps)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    FPage->cbReadyForMux->setChecked(true);
    FPage->cbReadyforBurn->setChecked(true);
    FPage->Processor.saDisqueActuelexecute();
    EXPECT_EQ(FDemuxes + FMuxes, 0);
    EXPECT_EQ(Burnt(), QStringList {QStringLiteral("Disque 01")});
    EXPECT_TRUE(discs[0]->Burnt);

    FPage->lbDisques->SetActive(1);
    FPage->cbReadyforBurn->setChecked(true);
    FPage->Processor.saDisqueActuelexecute();
    EXPECT_EQ(FDemuxes, 1);
    EXPECT_EQ(FMuxes, 0);
    EXPECT_EQ(Burnt().size(), 2);
    EXPECT_TRUE(discs[1]->ReadyForMux && discs[1]->Burnt);
    EXPECT_TRUE(FPage->cbReadyForMux->isChecked());
}

TEST_F(DisquesframeTest, AllDiscsGoOnPastAFailedDisc)
{
    UseTool(QStringLiteral("streams,progress"));
    MakePage();
    // The second disc's clip cannot be passed to the demultiplexer.
    const auto discs =
        Split({QStringLiteral("a.m2ts"), QStringLiteral("b\".m2ts"), QStringLiteral("c.m2ts")});
    FPage->Processor.saTousDisquesexecute();
    EXPECT_EQ(FDemuxes, 3);
    EXPECT_EQ(discs[1]->Failure, QStringLiteral("Erreur pendant l'exécution de eac3to"));
    // The failure stays in sight, in red, while the third disc is worked on.
    EXPECT_TRUE(std::any_of(FStatuses.begin(), FStatuses.end(), [](const Status &status) {
        return status.kind == TStatusKind::Error
               && status.text.startsWith(QStringLiteral("Démultiplexage du Disque 03"))
               && status.text.endsWith(QStringLiteral(" — 1 échec (voir le journal)"));
    }));
    EXPECT_TRUE(discs[0]->ReadyForMux && discs[0]->ReadyForBurn);
    EXPECT_FALSE(discs[1]->ReadyForMux || discs[1]->ReadyForBurn || discs[1]->Burnt);
    EXPECT_TRUE(discs[2]->ReadyForMux && discs[2]->ReadyForBurn);
    EXPECT_TRUE(QFile::exists(FSettings.DossierFlux + QStringLiteral("c.h264")));
    ASSERT_NE(FPage->Processor.BurnThread(), nullptr);
    ASSERT_TRUE(FPage->Processor.BurnThread()->WaitFor(30'000));
    // The thread started after the first disc and passed over the list once.
    const QStringList burntNow = Burnt();
    ASSERT_FALSE(burntNow.isEmpty());
    EXPECT_EQ(burntNow.first(), QStringLiteral("Disque 01"));
    EXPECT_FALSE(burntNow.contains(QStringLiteral("Disque 02")));
    // The discs it burnt are marked once the UI thread hears of it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(discs[0]->Burnt); }));
    EXPECT_TRUE(FPage->cbBurnt->isChecked());
    EXPECT_EQ(discs[2]->Burnt, burntNow.contains(QStringLiteral("Disque 03")));
    EXPECT_FALSE(discs[1]->Burnt);
    // Once the burn thread is done, the run's summary stays, in red.
    const QString summary = QStringLiteral("Terminé : 2 disques prêts, %1 gravé%2, 1 échec (voir le journal)")
                                .arg(burntNow.size())
                                .arg(burntNow.size() > 1 ? QStringLiteral("s") : QString());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return FStatuses.back() == Status {summary, TStatusKind::Error};
    })) << FStatuses.back().text.toStdString();
}

TEST_F(DisquesframeTest, SecondAllDiscsStartsNoBurnThread)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    FPage->Processor.saTousDisquesexecute();
    const auto first = FPage->Processor.BurnThread();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->WaitFor(30'000));
    EXPECT_EQ(Burnt().size(), 1);
    FPage->Processor.saTousDisquesexecute();
    EXPECT_EQ(FPage->Processor.BurnThread(), first);
    // A burn the second run set going would have been done on the UI thread
    // before it returned, or on this thread, once more.
    ASSERT_TRUE(first->WaitFor(30'000));
    EXPECT_EQ(Burnt().size(), 1);
}

TEST_F(DisquesframeTest, BurnTwiceBurnsTwiceUnlessBurntIsTicked)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    discs[0]->ReadyForBurn = true;
    discs[1]->ReadyForBurn = true;
    FPage->Processor.saGraverexecute();
    FPage->Processor.saGraverexecute();
    EXPECT_EQ(Burnt(), (QStringList {QStringLiteral("Disque 01"), QStringLiteral("Disque 02"),
                                     QStringLiteral("Disque 01"), QStringLiteral("Disque 02")}));
    EXPECT_FALSE(discs[0]->Burnt || discs[1]->Burnt);
    EXPECT_EQ(FStatuses.back(), (Status {QStringLiteral("Terminé : 2 gravés"), TStatusKind::Normal}));
    FPage->cbBurnt->setChecked(true);
    FPage->Processor.saGraverexecute();
    EXPECT_EQ(Burnt().size(), 5);
    EXPECT_EQ(Burnt().last(), QStringLiteral("Disque 02"));
}

TEST_F(DisquesframeTest, ProcessingAnotherDiscLeavesTheBoxesAlone)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    ASSERT_EQ(FPage->ActiveDisc(), discs[0]);
    FPage->Processor.ProcessDisc(discs[1], false);
    EXPECT_TRUE(discs[1]->ReadyForMux && discs[1]->ReadyForBurn);
    EXPECT_FALSE(FPage->cbReadyForMux->isChecked());
    EXPECT_FALSE(FPage->cbReadyforBurn->isChecked());
    EXPECT_FALSE(discs[0]->ReadyForMux);
}

// The event loop runs while the tool does: the gauge is shown over the
// disc's size, the cancel button is there, and the tool is killed on an
// interruption.
TEST_F(DisquesframeTest, InterruptDuringDemux)
{
    UseTool(QStringLiteral("sleep:30"), RecordFile());
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    bool gaugeShown = false, cancelShown = false;
    WhenToolRuns([&] {
        gaugeShown = FPage->Gauge->isVisible() && FPage->Gauge->maximum() == 100;
        cancelShown = FPage->AnnulerBtn->isVisible();
        AbortRequested = true;
    });
    FPage->Processor.saTousDisquesexecute();
    EXPECT_TRUE(gaugeShown);
    EXPECT_TRUE(cancelShown);
    EXPECT_EQ(FDemuxes, 1);
    EXPECT_EQ(FStatuses.back(),
              (Status {QStringLiteral("Interrompu : 1 interrompu"), TStatusKind::Interrupted}));
    EXPECT_FALSE(discs[0]->ReadyForMux);
    EXPECT_FALSE(FPage->Gauge->isVisible());
    EXPECT_FALSE(FPage->AnnulerBtn->isVisible());
    const FakeToolRecord record = ReadFakeToolRecord(RecordFile());
    ASSERT_TRUE(record.found);
    EXPECT_EQ(kill(record.pid, 0), -1);  // killed and reaped
    EXPECT_FALSE(AbortRequested);
}

// The disc list rebuilt during a step: the step finishes on its own disc.
TEST_F(DisquesframeTest, ListRebuiltDuringAStep)
{
    UseTool(QStringLiteral("sleep:0.2,streams"), RecordFile());
    MakePage();
    TDiscPtr first = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")})[0];
    std::weak_ptr<TdecoupeDisque> watch = first;
    first.reset();
    bool rebuilt = false;
    WhenToolRuns([&] {
        FPage->ShowDiscs({});
        rebuilt = true;
    });
    FPage->Processor.saTousDisquesexecute();
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(FDemuxes, 1);  // the loop stops where the list ends now
    EXPECT_EQ(FMuxes, 1);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(FStatuses.back(), (Status {QStringLiteral("Terminé : 1 disque prêt"), TStatusKind::Normal}));
}

// The burn thread keeps burning its discs while the list is rebuilt again
// and again.
TEST_F(DisquesframeTest, ListRebuiltWhileTheBurnThreadWorks)
{
    UseTool(QStringLiteral("streams,sleep:0.05"));
    MakePage();
    Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts"), QStringLiteral("c.m2ts")});
    FPage->Processor.saTousDisquesexecute();
    const auto thread = FPage->Processor.BurnThread();
    ASSERT_NE(thread, nullptr);
    for (int round = 0; round < 20 && !thread->Finished(); ++round) {
        FPage->ShowDiscs(SplitClipsIntoDiscs(FClips.List()).Discs);
        for (int i = 0; i < FPage->Discs->Count(); ++i)
            FPage->Discs->At(i)->ReadyForBurn = true;
        QTest::qWait(5);
        FPage->lbDisques->ClearObjects();
    }
    ASSERT_TRUE(thread->WaitFor(30'000));
    EXPECT_FALSE(Burnt().isEmpty());
}

// The window answers while the muxer runs, which "Interrompre" can stop.
TEST_F(DisquesframeTest, EventsAreHandledDuringTheMuxStep)
{
    UseTool(QStringLiteral("sleep:0.3"), RecordFile());
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    FPage->cbReadyForMux->setChecked(true);
    bool handled = false;
    WhenToolRuns([&] {
        handled = true;
        EXPECT_EQ(FStatuses.back(),
                  (Status {QStringLiteral("Multiplexage du Disque 01"), TStatusKind::ToolRunning}));
        EXPECT_TRUE(FPage->Gauge->isVisible());
        EXPECT_TRUE(FPage->AnnulerBtn->isVisible());
    });
    FPage->Processor.ProcessDisc(discs[0], false);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    EXPECT_FALSE(discs[0]->Burnt);
}

// An entry whose text is already listed takes the older entry's place, and
// the page shows its disc.
TEST_F(DisquesframeTest, EqualEntryReplacesTheActiveOne)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    auto again = std::make_shared<TdecoupeDisque>(kDiscCapacity);
    again->Number = 1;
    again->Project = QStringLiteral("Vacances");
    again->ClipCount = 7;
    FPage->lbDisques->AddEntry(std::make_unique<TlistDisque>(again), false);
    EXPECT_EQ(FPage->lbDisques->count(), 1);
    EXPECT_EQ(FPage->ActiveDisc(), again);
    EXPECT_EQ(FPage->Discs->At(0), again);
    EXPECT_EQ(FPage->labNbFic->text(), QStringLiteral("nb de fichiers: 7"));
}

// "Graver" runs the burner on the UI thread: the window keeps answering,
// the processing actions stay off, and the burner's output reaches the log.
// The burner ends only once a timer on the UI thread has fired twenty times
// while it runs: a window that stopped answering would never see it end.
TEST_F(DisquesframeTest, WindowAnswersDuringABurnOnTheUiThread)
{
    UseTool(QStringLiteral("progress,waitgo"), RecordFile());
    MakePage();
    auto *action = new QAction(FPage.get());
    FPage->GraverBtn->setDefaultAction(action);
    const auto discs = Split({QStringLiteral("a.m2ts")});
    discs[0]->ReadyForBurn = true;

    int ticksWhileBurning = 0;
    bool actionOffMeanwhile = true;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!QFile::exists(RecordFile()))
            return;
        actionOffMeanwhile = actionOffMeanwhile && !action->isEnabled();
        if (++ticksWhileBurning == 20)
            QFile(RecordFile() + QStringLiteral(".go")).open(QIODevice::WriteOnly);
    });
    timer.start();
    FPage->Processor.saGraverexecute();
    timer.stop();

    EXPECT_EQ(Burnt(), QStringList {QStringLiteral("Disque 01")});
    EXPECT_GE(ticksWhileBurning, 20);
    EXPECT_TRUE(actionOffMeanwhile);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_TRUE(FPage->Memo1->toPlainText().contains(QStringLiteral("done")));
    EXPECT_TRUE(FPage->Memo1->toPlainText().contains(QStringLiteral("ImgBurn a terminé (code 0)")));
    // "Graver" sets no mark.
    EXPECT_FALSE(discs[0]->Burnt);
}

// A burn of the burn thread that fails sets no mark and says so in red and
// in the log, naming the disc, once the UI thread hears of it.
TEST_F(DisquesframeTest, FailedBurnOfTheBurnThreadIsShownAndLogged)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    for (const TDiscPtr &disc : discs)
        disc->ReadyForMux = disc->ReadyForBurn = true;
    UseTool(QStringLiteral("exit:2"));
    FPage->Processor.saTousDisquesexecute();
    ASSERT_NE(FPage->Processor.BurnThread(), nullptr);
    ASSERT_TRUE(FPage->Processor.BurnThread()->WaitFor(30'000));
    const Status failed {QStringLiteral("Terminé : 2 disques prêts, 2 échecs (voir le journal)"),
                         TStatusKind::Error};
    EXPECT_TRUE(QTest::qWaitFor([&] { return !FStatuses.empty() && FStatuses.back() == failed; }));
    EXPECT_FALSE(discs[0]->Burnt || discs[1]->Burnt);
    EXPECT_FALSE(FPage->cbBurnt->isChecked());
    // The active disc's details say why.
    EXPECT_EQ(FPage->labEchec->text(),
              QStringLiteral("Erreur pendant la gravure du disque Disque 01 : ImgBurn a échoué (code 2)"));
    const QString log = FPage->Memo1->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("Erreur pendant la gravure du disque Disque 01")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("ImgBurn a échoué (code 2)"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("/VOLUMELABEL \"Vacances - Disque 02\""))) << log.toStdString();
}

// "Interrompre" during a burn asks first; once the user said so, the burner
// is asked to stop (SIGTERM) and the disc is not marked burnt.
TEST_F(DisquesframeTest, BurnOnTheUiThreadStopsOnlyWhenAskedTo)
{
    UseTool(QStringLiteral("progress,onterm,sleep:30"), RecordFile());
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    discs[0]->ReadyForMux = discs[0]->ReadyForBurn = true;
    EXPECT_TRUE(FPage->Processor.StopBurnQuestion().isEmpty());
    QString question;
    WhenToolRuns([&] {
        question = FPage->Processor.StopBurnQuestion();
        // "Interrompre" alone does not stop a burn.
        AbortRequested = true;
        QTimer::singleShot(300, FPage.get(), [this] { FPage->Processor.StopBurn(); });
    });
    FPage->Processor.saDisqueActuelexecute();
    EXPECT_EQ(question, QStringLiteral("La gravure du Disque 01 est en cours. L'interrompre rendra ce disque "
                                       "inutilisable. Interrompre ?"));
    EXPECT_TRUE(QFile::exists(RecordFile() + QStringLiteral(".term")));
    EXPECT_FALSE(discs[0]->Burnt);
    EXPECT_FALSE(FPage->cbBurnt->isChecked());
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    EXPECT_EQ(FStatuses.back(),
              (Status {QStringLiteral("Interrompu : 1 interrompu"), TStatusKind::Interrupted}));
    EXPECT_TRUE(
        FPage->Memo1->toPlainText().contains(QStringLiteral("Gravure du Disque 01 : interrompu après")));
    EXPECT_TRUE(FPage->Processor.StopBurnQuestion().isEmpty());
}

// Stopping the burn thread's burn ends its pass: the next disc is not burnt.
TEST_F(DisquesframeTest, BurnThreadStopsWhenAskedTo)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    for (const TDiscPtr &disc : discs)
        disc->ReadyForMux = disc->ReadyForBurn = true;
    UseTool(QStringLiteral("onterm,sleep:30"), RecordFile());
    FPage->Processor.saTousDisquesexecute();
    ASSERT_NE(FPage->Processor.BurnThread(), nullptr);
    // The question comes once the UI thread has heard of the burn.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !FPage->Processor.StopBurnQuestion().isEmpty(); }));
    EXPECT_TRUE(FPage->Processor.StopBurnQuestion().startsWith(QStringLiteral("La gravure du Disque 01 ")));
    EXPECT_TRUE(FStatuses.back().text.startsWith(QStringLiteral("Gravure du Disque 01")))
        << FStatuses.back().text.toStdString();
    // Once the burner is there to hear it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(RecordFile()); }));
    FPage->Processor.StopBurn();
    ASSERT_TRUE(FPage->Processor.BurnThread()->WaitFor(30'000));
    EXPECT_TRUE(QFile::exists(RecordFile() + QStringLiteral(".term")));
    EXPECT_EQ(Burnt(), QStringList {QStringLiteral("Disque 01")});
    const Status stopped {QStringLiteral("Interrompu : 2 disques prêts, 1 interrompu"),
                          TStatusKind::Interrupted};
    EXPECT_TRUE(QTest::qWaitFor([&] { return FStatuses.back() == stopped; }))
        << FStatuses.back().text.toStdString();
    EXPECT_FALSE(discs[0]->Burnt || discs[1]->Burnt);
}

// A work folder the steps cannot use stops the run before its first program.
TEST_F(DisquesframeTest, UnusableWorkFolderStopsTheRunBeforeItStarts)
{
    UseTool(QStringLiteral("streams"));
    QFile blocker(FTmp.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FSettings.DossierAVCHD = blocker.fileName() + QStringLiteral("/avchd/");
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    FPage->Processor.saTousDisquesexecute();
    EXPECT_EQ(FDemuxes, 0);
    EXPECT_EQ(FPage->Processor.BurnThread(), nullptr);
    const QString message =
        QStringLiteral("Le dossier AVCHD ") + FSettings.DossierAVCHD
        + QStringLiteral(" ne peut pas être créé (un élément du chemin n'est pas un dossier)");
    EXPECT_EQ(FStatuses.back(), (Status {message, TStatusKind::Error}));
    EXPECT_TRUE(FPage->Memo1->toPlainText().contains(message));
    EXPECT_TRUE(FPage->TousDisquesBtn->isVisible());
    // Burning needs no work folder.
    discs[0]->ReadyForBurn = true;
    FPage->Processor.saGraverexecute();
    EXPECT_EQ(Burnt().size(), 1);
}

// A processor gone before its burn thread ends: what the thread still
// reports is dropped, not run on a page that no longer exists.
TEST_F(DisquesframeTest, BurnThreadOutlivingThePage)
{
    UseTool(QStringLiteral("sleep:0.3"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    discs[0]->ReadyForMux = discs[0]->ReadyForBurn = true;
    FPage->Processor.saTousDisquesexecute();
    const auto thread = FPage->Processor.BurnThread();
    ASSERT_NE(thread, nullptr);
    FPage.reset();
    ASSERT_TRUE(thread->WaitFor(30'000));
    // Everything the thread reported is queued by now. Timers fire in the
    // order they fall due: once this one, twice the drain interval long,
    // has fired, a drain left running would have run the queue.
    QEventLoop afterDrain;
    QTimer::singleShot(2 * 20, Qt::PreciseTimer, &afterDrain, &QEventLoop::quit);
    afterDrain.exec();
    EXPECT_FALSE(discs[0]->Burnt);
}

}  // namespace
