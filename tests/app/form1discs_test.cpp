// The disc page in the main window: the split of "Disques", the processing
// actions, and closing the window while a batch runs. Also saves a picture
// of the disc page for a person to look at.
#include "src/app/form1.h"
#include "src/app/listeframe.h"
#include "src/prefs/optionsframe.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "src/clips/fichierlistbox.h"
#include "tests/authoring/faketoolrecord.h"
#include "tests/support/modalanswer.h"
#include "tests/support/testwindow.h"
#include "tests/authoring/testclips.h"
#include "src/widgets/superaction.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr int64_t kGb = 1'000'000'000;

class Form1DiscsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        FPreviousFolder = QDir::currentPath();
        QDir::setCurrent(FTmp.path());
        QDir(FTmp.path()).mkpath(QStringLiteral("bin"));
        for (const char *folder : {"flux", "meta", "avchd", "clips/Vacances"})
            QDir(FTmp.path()).mkpath(QString::fromLatin1(folder));
        FForm = OpenTestWindow(FTmp.path() + u'/', FWhere, FMessages);
        // The first showing loaded the settings: the test's own come after.
        Settings.eac3tofile = Settings.tsMuxerFile = Settings.ImgBurnFile = FakeToolPath();
        Settings.DossierFlux = FTmp.filePath(QStringLiteral("flux/"));
        Settings.Dossiermeta = FTmp.filePath(QStringLiteral("meta/"));
        Settings.DossierAVCHD = FTmp.filePath(QStringLiteral("avchd/"));
        Settings.DeleteMeta = Settings.DeleteFlux = false;
    }

    void TearDown() override
    {
        CloseTestWindow(FForm);
        QDir::setCurrent(FPreviousFolder);
    }

    void AddClip(const QString &name, int64_t size, int64_t duration = 100 * Second)
    {
        FForm->ListeFrame->lb->AddFile(
            MakeClip(FTmp.filePath(QStringLiteral("clips/Vacances/") + name), size, duration), false);
    }

    QString RecordFile() const { return FTmp.filePath(QStringLiteral("record")); }

    void WhenToolRuns(const std::function<void()> &action)
    {
        WhenFakeToolRuns(FForm.get(), RecordFile(), action);
    }

    TDisquesframe *Page() const { return FForm->Disquesframe; }

    // Steers the fake tool until the fixture is gone: the burn thread may
    // still start it after the test body.
    void UseTool(const QString &actions, const QString &recordFile = {}) { FEnv.Use(actions, recordFile); }

    QTemporaryDir FTmp;
    FakeToolEnv FEnv;
    QString FPreviousFolder;
    TPrefsLocation FWhere;
    std::unique_ptr<TForm1> FForm;
    QStringList FMessages;
};

TEST_F(Form1DiscsTest, DisquesSplitsTheClipListOnTheDiscPage)
{
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("b.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("c.m2ts"), 1 * kGb);
    FForm->saDisques->Execute();
    EXPECT_EQ(Page()->x(), 0);
    EXPECT_TRUE(FForm->BasePageIsDiscs);
    ASSERT_EQ(Page()->lbDisques->count(), 2);
    EXPECT_EQ(Page()->lbDisques->item(0)->text(), QStringLiteral("Vacances : Disque 01"));
    EXPECT_EQ(Page()->lbDisques->item(1)->text(), QStringLiteral("Vacances : Disque 02"));
    EXPECT_EQ(Page()->labDisques->text(), QStringLiteral("2 disques"));
    EXPECT_EQ(Page()->labTitre->text(), QStringLiteral("Disque 01"));
    EXPECT_EQ(Page()->DisqueActuelBtn->text(), QStringLiteral("Disque 01"));
    EXPECT_TRUE(FMessages.isEmpty());

    // Each showing splits again: earlier marks are gone.
    Page()->cbBurnt->setChecked(true);
    FForm->saListe->Execute();
    FForm->saDisques->Execute();
    EXPECT_FALSE(Page()->cbBurnt->isChecked());

    FForm->saVider->Execute();
    EXPECT_EQ(Page()->lbDisques->count(), 0);
    EXPECT_EQ(Page()->labDisques->text(), QStringLiteral("Aucun disque"));
    EXPECT_FALSE(FForm->saDisqueActuel->isEnabled());
}

TEST_F(Form1DiscsTest, OversizeClipStopsTheSplitWithAMessage)
{
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("b.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("c.m2ts"), 5 * kGb);
    FForm->saDisques->Execute();
    ASSERT_EQ(FMessages.size(), 1);
    EXPECT_EQ(FMessages[0], QStringLiteral("Erreur: la taille de ")
                                + FTmp.filePath(QStringLiteral("clips/Vacances/c.m2ts"))
                                + QStringLiteral(" dépasse 4600000000"));
    ASSERT_EQ(Page()->lbDisques->count(), 1);
    EXPECT_EQ(Page()->labDisques->text(), QStringLiteral("Un disque"));
}

// "DVD double couche (8,5 Go)" chosen on the options page: 6 GB of clips
// make one disc; back to "DVD (4,7 Go)", two.
TEST_F(Form1DiscsTest, DiscSizeChosenOnTheOptionsPageRulesTheSplit)
{
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("b.m2ts"), 3 * kGb);
    QComboBox *size = FForm->OptionsFrame->cbTailleDisque;
    ASSERT_EQ(size->itemText(1), QStringLiteral("DVD double couche (8,5 Go)"));
    size->setCurrentIndex(1);
    emit size->activated(1);
    EXPECT_EQ(Settings.TailleDisque, 8'400'000'000);
    FForm->saDisques->Execute();
    ASSERT_EQ(Page()->Discs->Count(), 1);
    EXPECT_EQ(Page()->Discs->At(0)->TotalSize, 6 * kGb);

    ASSERT_EQ(size->itemText(0), QStringLiteral("DVD (4,7 Go)"));
    size->setCurrentIndex(0);
    emit size->activated(0);
    FForm->saDisques->Execute();
    EXPECT_EQ(Page()->Discs->Count(), 2);
}

// A chosen burner that is not there: the run does not start, and says so
// in French, offering the image files; no program but the drive listing runs.
TEST_F(Form1DiscsTest, MissingBurnerStopsTheRunBeforeAnyDemux)
{
    UseTool(QString());  // lists no drive
    Settings.Destination = QStringLiteral("/dev/tavrel-no-drive");
    AddClip(QStringLiteral("a.m2ts"), 1 * kGb);
    FForm->saDisques->Execute();
    for (TSuperAction *action : {FForm->saDisqueActuel, FForm->saTousDisques}) {
        action->Execute();
        EXPECT_EQ(FForm->StatusBar1->text(),
                  QStringLiteral("Le graveur /dev/tavrel-no-drive est introuvable. Choisissez un graveur ou "
                                 "« Fichier image (.iso) » dans les options (F10)."));
        EXPECT_EQ(FForm->StatusColour(), QColor(255, 0, 0));
    }
    EXPECT_FALSE(Page()->Discs->At(0)->ReadyForMux);
    EXPECT_FALSE(Page()->Memo1->toPlainText().contains(QStringLiteral("eac3to")));
    EXPECT_FALSE(Page()->Processor.BurnThread());
}

TEST_F(Form1DiscsTest, InterrompreDuringDemux)
{
    UseTool(QStringLiteral("sleep:30"), RecordFile());
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    FForm->saDisques->Execute();
    bool buttonsSwapped = false;
    WhenToolRuns([&] {
        buttonsSwapped = Page()->AnnulerBtn->isVisible() && !Page()->DisqueActuelBtn->isVisible()
                         && !Page()->TousDisquesBtn->isVisible() && !Page()->GraverBtn->isVisible();
        FForm->saAbort->Execute();
    });
    FForm->saDisqueActuel->Execute();
    EXPECT_TRUE(buttonsSwapped);
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Interrompu : 1 interrompu"));
    EXPECT_EQ(FForm->StatusColour(), QColor(255, 255, 0));
    const FakeToolRecord record = ReadFakeToolRecord(RecordFile());
    ASSERT_TRUE(record.found);
    EXPECT_EQ(kill(record.pid, 0), -1);
    EXPECT_FALSE(Page()->cbReadyForMux->isChecked());
    EXPECT_TRUE(Page()->DisqueActuelBtn->isVisible());
    EXPECT_FALSE(Page()->AnnulerBtn->isVisible());
    EXPECT_EQ(Page()->DisqueActuelBtn->text(), QStringLiteral("Disque 01"));
}

// How the run's programs ended shows in the status bar's colour once it is
// over: red after a failed step, which also names the failure in the
// disc's details; the button face after a run that went well.
TEST_F(Form1DiscsTest, StepOutcomeColoursTheStatusBar)
{
    struct
    {
        const char *actions;
        const char *status;
        QColor colour;  // invalid: the button-face colour
        const char *failure;
    } const cases[] = {
        {"streams,exit:2", "Terminé : 1 échec (voir le journal)", QColor(255, 0, 0),
         "Erreur pendant l'exécution de eac3to : eac3to a échoué (code 2)"},
        {"streams", "Terminé : 1 gravé", QColor(), ""},
    };
    AddClip(QStringLiteral("a.m2ts"), 1 * kGb);
    for (const auto &c : cases) {
        UseTool(QString::fromLatin1(c.actions));
        FForm->saDisques->Execute();
        FForm->saDisqueActuel->Execute();
        EXPECT_EQ(FForm->StatusBar1->text(), QString::fromUtf8(c.status)) << c.actions;
        const QColor expected =
            c.colour.isValid() ? c.colour : QApplication::palette().color(QPalette::Button);
        EXPECT_EQ(FForm->StatusColour(), expected) << c.actions;
        EXPECT_EQ(Page()->labEchec->text(), QString::fromUtf8(c.failure)) << c.actions;
        EXPECT_EQ(Page()->cbReadyForMux->isChecked(), !*c.failure) << c.actions;
    }
}

// "Interrompre" during a burn asks in a message box; "Continuer la gravure"
// lets the burner go on, "Interrompre" stops it.
TEST_F(Form1DiscsTest, InterrompreDuringABurnAsksFirst)
{
    UseTool(QStringLiteral("onterm,sleep:1"), RecordFile());
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    FForm->saDisques->Execute();
    Page()->cbReadyForMux->setChecked(true);
    Page()->cbReadyforBurn->setChecked(true);
    const QString question = QStringLiteral(
        "La gravure du Disque 01 est en cours. L'interrompre rendra ce disque inutilisable. Interrompre ?");
    for (const char *answer : {"Continuer la gravure", "Interrompre"}) {
        QFile::remove(RecordFile());
        TModalAnswers answers;
        answers.Then<QMessageBox>([&](QMessageBox *box) {
            EXPECT_EQ(box->text(), question);
            for (QAbstractButton *button : box->buttons())
                if (button->text() == QString::fromUtf8(answer))
                    button->click();
        });
        answers.Start();
        WhenToolRuns([&] { FForm->saAbort->Execute(); });
        FForm->saDisqueActuel->Execute();
        EXPECT_TRUE(answers.Done());
        const bool stopped = QByteArray(answer) == "Interrompre";
        EXPECT_EQ(QFile::exists(RecordFile() + QStringLiteral(".term")), stopped) << answer;
        EXPECT_EQ(Page()->cbBurnt->isChecked(), !stopped) << answer;
        EXPECT_EQ(FForm->StatusBar1->text(), stopped ? QStringLiteral("Interrompu : 1 interrompu")
                                                     : QStringLiteral("Terminé : 1 gravé"));
        Page()->cbBurnt->setChecked(false);
    }
}

TEST_F(Form1DiscsTest, ClosingDuringAllDiscsStopsTheToolAndSaves)
{
    UseTool(QStringLiteral("sleep:30"), RecordFile());
    AddClip(QStringLiteral("a.m2ts"), 3 * kGb);
    AddClip(QStringLiteral("b.m2ts"), 3 * kGb);
    FForm->saDisques->Execute();
    Settings.PrefsMode = pmNormal;
    WhenToolRuns([&] { FForm->close(); });
    FForm->saTousDisques->Execute();
    EXPECT_FALSE(FForm->isVisible());
    const FakeToolRecord record = ReadFakeToolRecord(RecordFile());
    ASSERT_TRUE(record.found);
    EXPECT_EQ(kill(record.pid, 0), -1);
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Interrompu : 1 interrompu"));
    // The loop stopped: the second disc was never demultiplexed.
    ASSERT_EQ(Page()->Discs->Count(), 2);
    EXPECT_TRUE(Page()->Discs->At(1)->StreamBase.isEmpty());
    TSettings saved;
    ASSERT_TRUE(LoadSettings(saved, QSize(1920, 1080), nullptr, FWhere));
    EXPECT_EQ(saved.PrefsMode, pmNormal);
    EXPECT_EQ(saved.eac3tofile, FakeToolPath());
}

TEST_F(Form1DiscsTest, PictureOfTheDiscPage)
{
    UseTool(QStringLiteral("streams,progress"));
    AddClip(QStringLiteral("00001.m2ts"), 4 * kGb, 1500 * Second);
    AddClip(QStringLiteral("00002.m2ts"), 4 * kGb, 1600 * Second);
    AddClip(QStringLiteral("00003.m2ts"), 2 * kGb, 725 * Second);
    AddClip(QStringLiteral("00004.m2ts"), 2 * kGb, 3000 * Second);
    FForm->saDisques->Execute();
    ASSERT_EQ(Page()->lbDisques->count(), 3);
    Page()->lbDisques->SetActive(2);
    FForm->saDisqueActuel->Execute();
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 gravé"));
    EXPECT_TRUE(Page()->cbReadyForMux->isChecked());
    EXPECT_TRUE(Page()->cbBurnt->isChecked());
    EXPECT_TRUE(Page()->Memo1->toPlainText().contains(QStringLiteral("done")));
    EXPECT_EQ(Page()->labDuree->text(), QStringLiteral("Durée: 1h 02mn 05s"));

    QDir().mkpath(QStringLiteral(TAVREL_SCREENSHOT_DIR));
    const QString file = QStringLiteral(TAVREL_SCREENSHOT_DIR "/disques.png");
    ASSERT_TRUE(FForm->grab().save(file));
    std::printf("picture: %s\n", qPrintable(file));
}

}  // namespace
