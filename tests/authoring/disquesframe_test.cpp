// The disc page on the offscreen platform, with the fake tool standing in
// for the three outside programs.
#include "authoring/abort.h"
#include "authoring/disquesframe.h"
#include "faketoolrecord.h"
#include "testclips.h"

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
#include <optional>
#include <mutex>

namespace {

constexpr int64_t GB = 1'000'000'000;

struct Status {
    QString text;
    int kind;
    bool operator==(const Status &) const = default;
};

void PrintTo(const Status &s, std::ostream *os)
{
    *os << '"' << s.text.toStdString() << "\" " << s.kind;
}

class DisquesframeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        previousFolder = QDir::currentPath();
        // The fake tool writes stray files into its current folder.
        QDir::setCurrent(tmp.path());
        for (const char *folder : {"flux", "meta", "avchd", "clips/Vacances"})
            QDir(tmp.path()).mkpath(QString::fromLatin1(folder));
        settings.eac3tofile = settings.tsMuxerFile = settings.ImgBurnFile = FakeToolPath();
        settings.DossierFlux = tmp.filePath(QStringLiteral("flux/"));
        settings.Dossiermeta = tmp.filePath(QStringLiteral("meta/"));
        settings.DossierAVCHD = tmp.filePath(QStringLiteral("avchd/"));
        settings.DeleteMeta = false;
        settings.DeleteFlux = false;
        AbortRequested = false;
    }

    void TearDown() override
    {
        if (page && page->Processor.BurnThread()) {
            EXPECT_TRUE(page->Processor.BurnThread()->WaitFor(30'000));
        }
        page.reset();
        QDir::setCurrent(previousFolder);
    }

    // The page, with the real steps counted.
    void MakePage()
    {
        TDiscSteps steps;
        steps.Demux = [this](TDisque &disc, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
            ++demuxes;
            return DemuxDisc(disc, s, h, l);
        };
        steps.Mux = [this](TDisque &disc, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
            ++muxes;
            return MuxDisc(disc, s, h, l);
        };
        steps.Burn = [this](const TDisque &disc, const TSettings &s, const ToolOutputHandler &h, const TStepLog &l) {
            {
                std::lock_guard lock(burnMutex);
                burnt << disc.DiscName();
            }
            return BurnDisc(disc, s, h, l);
        };
        page = std::make_unique<TDisquesframe>(nullptr, settings, steps);
        page->OnShowStatus = [this](const QString &text, int kind) { statuses.push_back({text, kind}); };
        page->show();
    }

    // One disc per clip name (clips of 3 GB), split as the main window does.
    std::vector<TDiscPtr> Split(const QStringList &names, int64_t size = 3 * GB)
    {
        for (const QString &name : names)
            clips.Add(tmp.filePath(QStringLiteral("clips/Vacances/") + name), size, 100 * Second);
        TSplitResult split = SplitClipsIntoDiscs(clips.List());
        EXPECT_TRUE(split.Message.isEmpty()) << split.Message.toStdString();
        page->ShowDiscs(split.Discs);
        return split.Discs;
    }

    QStringList Burnt()
    {
        std::lock_guard lock(burnMutex);
        return burnt;
    }

    QString RecordFile() const { return tmp.filePath(QStringLiteral("record")); }

    // Runs check from the event loop once the fake tool has started.
    void WhenToolRuns(const std::function<void()> &check)
    {
        auto *timer = new QTimer(page.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, page.get(), [this, timer, check] {
            if (!QFile::exists(RecordFile()))
                return;
            timer->stop();
            check();
        });
        timer->start();
    }

    // Steers the fake tool until the fixture is gone: the burn thread may
    // still start it after the test body.
    void UseTool(const QString &actions, const QString &recordFile = {})
    {
        env.reset();
        env.emplace(actions, recordFile);
    }

    QTemporaryDir tmp;
    std::optional<FakeToolEnv> env;
    QString previousFolder;
    TSettings settings;
    TestClipList clips;
    std::unique_ptr<TDisquesframe> page;
    std::atomic<int> demuxes{0}, muxes{0};
    std::mutex burnMutex;
    QStringList burnt;
    std::vector<Status> statuses;
};

TEST_F(DisquesframeTest, EmptyListShowsNoDiscAndDisablesTheButtons)
{
    MakePage();
    EXPECT_EQ(page->labDisques->text(), QStringLiteral("Aucun disque"));
    for (QLabel *label : {page->labTitre, page->labProject, page->labSize, page->labNbFic, page->labDuree})
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
    EXPECT_FALSE(page->DisqueActuelBtn->isEnabled());
    EXPECT_FALSE(page->TousDisquesBtn->isEnabled());
    EXPECT_FALSE(page->GraverBtn->isEnabled());
    EXPECT_FALSE(page->AnnulerBtn->isVisible());
    EXPECT_FALSE(page->Gauge->isVisible());
}

TEST_F(DisquesframeTest, CountsLabelAndHint)
{
    MakePage();
    Split({QStringLiteral("a.m2ts")});
    EXPECT_EQ(page->labDisques->text(), QStringLiteral("Un disque"));
    Split({QStringLiteral("b.m2ts")});
    EXPECT_EQ(page->labDisques->text(), QStringLiteral("2 disques"));
    Split({QStringLiteral("c.m2ts")});
    EXPECT_EQ(page->lbDisques->toolTip(), QStringLiteral("un fichier sélectionné sur 3"));
    EXPECT_EQ(page->lbDisques->item(0)->text(), QStringLiteral("Vacances : Disque 01"));
    EXPECT_TRUE(page->DisqueActuelBtn->isEnabled());
    EXPECT_TRUE(page->TousDisquesBtn->isEnabled());
    EXPECT_TRUE(page->GraverBtn->isEnabled());
}

TEST_F(DisquesframeTest, DetailsOfTheFirstDisc)
{
    MakePage();
    clips.Add(tmp.filePath(QStringLiteral("clips/Vacances/a.m2ts")), 2 * GB, 3000 * Second);
    clips.Add(tmp.filePath(QStringLiteral("clips/Vacances/b.m2ts")), 2 * GB, 700 * Second);
    clips.Add(tmp.filePath(QStringLiteral("clips/Vacances/c.m2ts")), 600'000'000, 25 * Second);
    page->ShowDiscs(SplitClipsIntoDiscs(clips.List()).Discs);
    EXPECT_EQ(page->labTitre->text(), QStringLiteral("Disque 01"));
    EXPECT_EQ(page->labProject->text(), QStringLiteral("Vacances"));
    EXPECT_EQ(page->labSize->text(), QStringLiteral("taille: 4.600.000.000"));
    EXPECT_EQ(page->labNbFic->text(), QStringLiteral("nb de fichiers: 3"));
    EXPECT_EQ(page->labDuree->text(), QStringLiteral("Durée: 1h 02mn 05s"));
    EXPECT_EQ(page->DisqueActuelBtn->text(), QStringLiteral("Disque 01"));
}

TEST_F(DisquesframeTest, DeleteKeyMovesTheActiveDisc)
{
    MakePage();
    Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    page->lbDisques->SetActive(1);
    EXPECT_EQ(page->labTitre->text(), QStringLiteral("Disque 02"));
    page->lbDisques->setFocus();
    QTest::keyClick(page->lbDisques, Qt::Key_Delete);
    ASSERT_EQ(page->lbDisques->count(), 1);
    EXPECT_EQ(page->labTitre->text(), QStringLiteral("Disque 01"));
    EXPECT_EQ(page->ActiveDisc()->Number, 1);
    EXPECT_EQ(page->Discs->Count(), 1);

    QTest::keyClick(page->lbDisques, Qt::Key_Delete);
    EXPECT_EQ(page->lbDisques->count(), 0);
    EXPECT_EQ(page->ActiveDisc(), nullptr);
    EXPECT_TRUE(page->labTitre->text().isEmpty());
    EXPECT_EQ(page->labDisques->text(), QStringLiteral("Aucun disque"));
    EXPECT_FALSE(page->DisqueActuelBtn->isEnabled());
    EXPECT_EQ(page->Discs->Count(), 0);
}

TEST_F(DisquesframeTest, CheckBoxesEditTheActiveDiscsMarks)
{
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    page->cbBurnt->click();
    EXPECT_TRUE(discs[0]->Burnt);
    page->cbReadyforBurn->setChecked(true);
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    page->cbReadyforBurn->setChecked(false);
    EXPECT_FALSE(discs[0]->ReadyForBurn);
    EXPECT_FALSE(discs[1]->Burnt);
    // Clearing the panel does not clear the marks of the disc shown.
    page->ClearDiscDetails();
    EXPECT_TRUE(discs[0]->Burnt);
    page->lbDisques->SetActive(1);
    EXPECT_FALSE(page->cbBurnt->isChecked());
    page->lbDisques->SetActive(0);
    EXPECT_TRUE(page->cbBurnt->isChecked());
}

TEST_F(DisquesframeTest, ReadyForMuxGoesStraightToTheMuxerAndBurns)
{
    UseTool(QStringLiteral("progress"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    page->cbReadyForMux->setChecked(true);
    page->Processor.saDisqueActuelexecute();
    EXPECT_EQ(demuxes, 0);
    EXPECT_EQ(muxes, 1);
    EXPECT_EQ(Burnt(), QStringList{QStringLiteral("Disque 01")});
    EXPECT_TRUE(discs[0]->ReadyForBurn);
    EXPECT_TRUE(discs[0]->Burnt);
    EXPECT_TRUE(page->cbReadyforBurn->isChecked());
    EXPECT_TRUE(page->cbBurnt->isChecked());
    const std::vector<Status> expected = {
        {QStringLiteral("En train d'exécuter tsMuxeR pour Disque 01"), 3},
        {QStringLiteral("En train de graver le disque Disque 01"), 3},
        {QStringLiteral("Prêt"), 0},
    };
    EXPECT_EQ(statuses, expected);
    // The mux step wrote its meta file with no stream in it.
    EXPECT_TRUE(QFile::exists(settings.Dossiermeta + QStringLiteral("Vacances.meta")));
    EXPECT_TRUE(page->Memo1->toPlainText().contains(QStringLiteral("done")));
    EXPECT_TRUE(page->DisqueActuelBtn->isVisible());
    EXPECT_FALSE(page->AnnulerBtn->isVisible());
}

// Each step looks at its own mark only.
TEST_F(DisquesframeTest, MarksTickedByHandSkipTheirSteps)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    page->cbReadyForMux->setChecked(true);
    page->cbReadyforBurn->setChecked(true);
    page->Processor.saDisqueActuelexecute();
    EXPECT_EQ(demuxes + muxes, 0);
    EXPECT_EQ(Burnt(), QStringList{QStringLiteral("Disque 01")});
    EXPECT_TRUE(discs[0]->Burnt);

    page->lbDisques->SetActive(1);
    page->cbReadyforBurn->setChecked(true);
    page->Processor.saDisqueActuelexecute();
    EXPECT_EQ(demuxes, 1);
    EXPECT_EQ(muxes, 0);
    EXPECT_EQ(Burnt().size(), 2);
    EXPECT_TRUE(discs[1]->ReadyForMux && discs[1]->Burnt);
    EXPECT_TRUE(page->cbReadyForMux->isChecked());
}

TEST_F(DisquesframeTest, AllDiscsGoOnPastAFailedDisc)
{
    UseTool(QStringLiteral("streams,progress"));
    MakePage();
    // The second disc's clip cannot be passed to the demultiplexer.
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b\".m2ts"), QStringLiteral("c.m2ts")});
    page->Processor.saTousDisquesexecute();
    EXPECT_EQ(demuxes, 3);
    EXPECT_NE(std::find(statuses.begin(), statuses.end(),
                        Status{QStringLiteral("Erreur pendant l'exécution de eac3to"), 4}),
              statuses.end());
    EXPECT_EQ(statuses.back(), (Status{QStringLiteral("Prêt"), 0}));
    EXPECT_TRUE(discs[0]->ReadyForMux && discs[0]->ReadyForBurn);
    EXPECT_FALSE(discs[1]->ReadyForMux || discs[1]->ReadyForBurn || discs[1]->Burnt);
    EXPECT_TRUE(discs[2]->ReadyForMux && discs[2]->ReadyForBurn);
    EXPECT_TRUE(QFile::exists(settings.DossierFlux + QStringLiteral("c.h264")));
    ASSERT_NE(page->Processor.BurnThread(), nullptr);
    ASSERT_TRUE(page->Processor.BurnThread()->WaitFor(30'000));
    // The thread started after the first disc and passed over the list once.
    const QStringList burntNow = Burnt();
    ASSERT_FALSE(burntNow.isEmpty());
    EXPECT_EQ(burntNow.first(), QStringLiteral("Disque 01"));
    EXPECT_FALSE(burntNow.contains(QStringLiteral("Disque 02")));
    // The discs it burnt are marked once the UI thread hears of it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(discs[0]->Burnt); }));
    EXPECT_TRUE(page->cbBurnt->isChecked());
    EXPECT_EQ(discs[2]->Burnt, burntNow.contains(QStringLiteral("Disque 03")));
    EXPECT_FALSE(discs[1]->Burnt);
}

TEST_F(DisquesframeTest, SecondAllDiscsStartsNoBurnThread)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    page->Processor.saTousDisquesexecute();
    const auto first = page->Processor.BurnThread();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->WaitFor(30'000));
    EXPECT_EQ(Burnt().size(), 1);
    page->Processor.saTousDisquesexecute();
    EXPECT_EQ(page->Processor.BurnThread(), first);
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
    page->Processor.saGraverexecute();
    page->Processor.saGraverexecute();
    EXPECT_EQ(Burnt(), (QStringList{QStringLiteral("Disque 01"), QStringLiteral("Disque 02"),
                                    QStringLiteral("Disque 01"), QStringLiteral("Disque 02")}));
    EXPECT_FALSE(discs[0]->Burnt || discs[1]->Burnt);
    EXPECT_TRUE(statuses.empty());
    page->cbBurnt->setChecked(true);
    page->Processor.saGraverexecute();
    EXPECT_EQ(Burnt().size(), 5);
    EXPECT_EQ(Burnt().last(), QStringLiteral("Disque 02"));
}

TEST_F(DisquesframeTest, ProcessingAnotherDiscLeavesTheBoxesAlone)
{
    UseTool(QStringLiteral("streams"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts")});
    ASSERT_EQ(page->ActiveDisc(), discs[0]);
    page->Processor.ProcessDisc(discs[1], false);
    EXPECT_TRUE(discs[1]->ReadyForMux && discs[1]->ReadyForBurn);
    EXPECT_FALSE(page->cbReadyForMux->isChecked());
    EXPECT_FALSE(page->cbReadyforBurn->isChecked());
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
        gaugeShown = page->Gauge->isVisible() && page->Gauge->maximum() == 3000;
        cancelShown = page->AnnulerBtn->isVisible();
        AbortRequested = true;
    });
    page->Processor.saTousDisquesexecute();
    EXPECT_TRUE(gaugeShown);
    EXPECT_TRUE(cancelShown);
    EXPECT_EQ(demuxes, 1);
    EXPECT_EQ(statuses.back(), (Status{QStringLiteral("L'exécution de eac3to a été interrompue"), 1}));
    EXPECT_FALSE(discs[0]->ReadyForMux);
    EXPECT_FALSE(page->Gauge->isVisible());
    EXPECT_FALSE(page->AnnulerBtn->isVisible());
    const FakeToolRecord record = ReadFakeToolRecord(RecordFile());
    ASSERT_TRUE(record.found);
    EXPECT_EQ(kill(record.pid, 0), -1); // killed and reaped
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
        page->ShowDiscs({});
        rebuilt = true;
    });
    page->Processor.saTousDisquesexecute();
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(demuxes, 1); // the loop stops where the list ends now
    EXPECT_EQ(muxes, 1);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(statuses.back(), (Status{QStringLiteral("Prêt"), 0}));
}

// The burn thread keeps burning its discs while the list is rebuilt again
// and again.
TEST_F(DisquesframeTest, ListRebuiltWhileTheBurnThreadWorks)
{
    UseTool(QStringLiteral("streams,sleep:0.05"));
    MakePage();
    Split({QStringLiteral("a.m2ts"), QStringLiteral("b.m2ts"), QStringLiteral("c.m2ts")});
    page->Processor.saTousDisquesexecute();
    const auto thread = page->Processor.BurnThread();
    ASSERT_NE(thread, nullptr);
    for (int round = 0; round < 20 && !thread->Finished(); ++round) {
        page->ShowDiscs(SplitClipsIntoDiscs(clips.List()).Discs);
        for (int i = 0; i < page->Discs->Count(); ++i)
            page->Discs->At(i)->ReadyForBurn = true;
        QTest::qWait(5);
        page->lbDisques->ClearObjects();
    }
    ASSERT_TRUE(thread->WaitFor(30'000));
    EXPECT_FALSE(Burnt().isEmpty());
}

// The window answers while the muxer runs: no gauge and no cancel button then.
TEST_F(DisquesframeTest, EventsAreHandledDuringTheMuxStep)
{
    UseTool(QStringLiteral("sleep:0.3"), RecordFile());
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    page->cbReadyForMux->setChecked(true);
    bool handled = false;
    WhenToolRuns([&] {
        handled = true;
        EXPECT_EQ(statuses.back(), (Status{QStringLiteral("En train d'exécuter tsMuxeR pour Disque 01"), 3}));
        EXPECT_FALSE(page->Gauge->isVisible());
        EXPECT_FALSE(page->AnnulerBtn->isVisible()); // hidden once a disc's demux is skipped
    });
    page->Processor.ProcessDisc(discs[0], false);
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
    auto again = std::make_shared<TdecoupeDisque>(DiscCapacity);
    again->Number = 1;
    again->Project = QStringLiteral("Vacances");
    again->ClipCount = 7;
    page->lbDisques->AddEntry(std::make_unique<TlistDisque>(again), false);
    EXPECT_EQ(page->lbDisques->count(), 1);
    EXPECT_EQ(page->ActiveDisc(), again);
    EXPECT_EQ(page->Discs->At(0), again);
    EXPECT_EQ(page->labNbFic->text(), QStringLiteral("nb de fichiers: 7"));
}

// "Graver" runs the burner on the UI thread: the window keeps answering,
// the processing actions stay off, and the burner's output reaches the log.
// The burner ends only once a timer on the UI thread has fired twenty times
// while it runs: a window that stopped answering would never see it end.
TEST_F(DisquesframeTest, WindowAnswersDuringABurnOnTheUiThread)
{
    UseTool(QStringLiteral("progress,waitgo"), RecordFile());
    MakePage();
    auto *action = new QAction(page.get());
    page->GraverBtn->setDefaultAction(action);
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
    page->Processor.saGraverexecute();
    timer.stop();

    EXPECT_EQ(Burnt(), QStringList{QStringLiteral("Disque 01")});
    EXPECT_GE(ticksWhileBurning, 20);
    EXPECT_TRUE(actionOffMeanwhile);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_TRUE(page->Memo1->toPlainText().contains(QStringLiteral("done")));
    EXPECT_TRUE(page->Memo1->toPlainText().contains(QStringLiteral("ImgBurn a terminé (code 0)")));
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
    page->Processor.saTousDisquesexecute();
    ASSERT_NE(page->Processor.BurnThread(), nullptr);
    ASSERT_TRUE(page->Processor.BurnThread()->WaitFor(30'000));
    const Status failed{QStringLiteral("Erreur pendant la gravure du disque Disque 02"), 4};
    EXPECT_TRUE(QTest::qWaitFor([&] { return !statuses.empty() && statuses.back() == failed; }));
    EXPECT_FALSE(discs[0]->Burnt || discs[1]->Burnt);
    EXPECT_FALSE(page->cbBurnt->isChecked());
    const QString log = page->Memo1->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("Erreur pendant la gravure du disque Disque 01"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("ImgBurn a échoué (code 2)"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("/VOLUMELABEL \"Vacances - Disque 02\""))) << log.toStdString();
}

// A processor gone before its burn thread ends: what the thread still
// reports is dropped, not run on a page that no longer exists.
TEST_F(DisquesframeTest, BurnThreadOutlivingThePage)
{
    UseTool(QStringLiteral("sleep:0.3"));
    MakePage();
    const auto discs = Split({QStringLiteral("a.m2ts")});
    discs[0]->ReadyForMux = discs[0]->ReadyForBurn = true;
    page->Processor.saTousDisquesexecute();
    const auto thread = page->Processor.BurnThread();
    ASSERT_NE(thread, nullptr);
    page.reset();
    ASSERT_TRUE(thread->WaitFor(30'000));
    // Everything the thread reported is queued by now. Timers fire in the
    // order they fall due: once this one, twice the drain interval long,
    // has fired, a drain left running would have run the queue.
    QEventLoop afterDrain;
    QTimer::singleShot(2 * 20, Qt::PreciseTimer, &afterDrain, &QEventLoop::quit);
    afterDrain.exec();
    EXPECT_FALSE(discs[0]->Burnt);
}

} // namespace
