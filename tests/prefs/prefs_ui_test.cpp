// The tools locator panel and the two start-up dialogs about missing tools,
// on the offscreen platform.
#include "src/platform/shell.h"
#include "src/prefs/fichiersmanquantsform.h"
#include "src/prefs/localiserfichiersform.h"
#include "src/prefs/localiserfichiersframe.h"
#include "src/prefs/missingtools.h"
#include "src/prefs/optionsframe.h"
#include "tests/prefs/prefstestutil.h"
#include "tests/support/modalanswer.h"
#include "src/widgets/linkedit.h"
#include "src/widgets/widedialogedit.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

namespace {

class LocatorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        Settings = TSettings();
        FTree = FTmp.filePath(QStringLiteral("tree")) + u'/';
    }

    QString Put(const QString &relative)
    {
        PutFile(FTree + relative, "#!/bin/sh\n");
        return FTree + relative;
    }

    // Types the file's name in the open dialog, in its folder, and opens it.
    static void PickFile(QFileDialog *d, const QString &file)
    {
        d->setDirectory(QFileInfo(file).path());
        d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(file).fileName());
        d->QDialog::accept();
    }

    // Chooses folder in the folder chooser.
    static std::function<void(QFileDialog *)> Choose(const QString &folder)
    {
        return [folder](QFileDialog *d) {
            d->setDirectory(folder);
            static_cast<QDialog *>(d)->accept();
        };
    }

    QTemporaryDir FTmp;
    QString FTree;
};

TEST_F(LocatorTest, PathPickedByHandShowsOnBothPanels)
{
    const QString tool = Put(QStringLiteral("bin/tsmuxer"));
    TLocaliserFichiersFrame options, dialog;
    EXPECT_EQ(options.feTsMuxer->Filter, QStringLiteral("Fichier tsmuxer|tsmuxer"));
    EXPECT_EQ(options.feTsMuxer->InitialDir, ProgramFilesFolder());  // no path yet
    TModalAnswers answers;
    answers.Then<QFileDialog>([tool](QFileDialog *d) { PickFile(d, tool); });
    answers.Start();
    dialog.feTsMuxer->Button()->click();
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(Settings.tsMuxerFile, tool);
    EXPECT_EQ(options.feTsMuxer->FileName(), tool);
    EXPECT_EQ(options.feTsMuxer->Edit()->text(), tool);
}

TEST_F(LocatorTest, NameThatDoesNotExistChangesNoSetting)
{
    TLocaliserFichiersFrame frame;
    SetEac3toFile(QStringLiteral("/before/eac3to"));
    frame.feEac3to->OnAfterDialog(frame.feEac3to, FTree + QStringLiteral("absent"));
    EXPECT_EQ(Settings.eac3tofile, QStringLiteral("/before/eac3to"));
}

TEST_F(LocatorTest, AutoSearchIgnoresCaseAndHiddenFolders)
{
    const QString eac3to = Put(QStringLiteral("a/EAC3TO"));
    Put(QStringLiteral(".hidden/tsmuxer"));
    const QString imgburn = Put(QStringLiteral("b/c/imgburn"));
    Put(QStringLiteral("kept/tsmuxer-old"));  // the whole name must match
    Settings.tsMuxerFile = FTree + QStringLiteral("gone/tsmuxer");
    TLocaliserFichiersFrame frame;
    QStringList seen;  // red frame and button while each tool is searched
    frame.dirscan.OnStartFolder = [&](TDirscan *, const QString &folder) {
        if (folder == FTree)
            seen << QStringLiteral("%1 %2 %3")
                        .arg(frame.Searching())
                        .arg(frame.Panel1->isVisible())
                        .arg(frame.AutoBtn->isEnabled());
    };
    TModalAnswers answers;
    answers.Then<QFileDialog>([this](QFileDialog *d) {
        EXPECT_EQ(d->windowTitle(),
                  QStringLiteral("Sélectionnez le dossier dans lequel chercher les fichiers manquants"));
        Choose(FTree)(d);
    });
    answers.Start();
    QWidget window;
    frame.setParent(&window);
    window.show();
    frame.AutoBtn->click();
    EXPECT_EQ(seen, (QStringList {"1 1 0", "2 1 0", "3 1 0"}));
    EXPECT_EQ(Settings.eac3tofile, eac3to);
    EXPECT_EQ(Settings.tsMuxerFile, FTree + QStringLiteral("gone/tsmuxer"));  // nothing found: kept
    EXPECT_EQ(Settings.ImgBurnFile, imgburn);
    EXPECT_EQ(frame.feImgBurn->FileName(), imgburn);
    EXPECT_FALSE(frame.Panel1->isVisible());
    EXPECT_TRUE(frame.AutoBtn->isEnabled());
    EXPECT_EQ(frame.Searching(), 0);
    frame.setParent(nullptr);
}

TEST_F(LocatorTest, CancelledChoiceSearchesTheProgramFolder)
{
    Put(QStringLiteral("eac3to"));
    Settings.eac3tofile = FTree + QStringLiteral("eac3to");  // present: only two scans
    TLocaliserFichiersFrame frame;
    QStringList scanned;
    frame.dirscan.OnStartScan = [&](TDirscan *, const QString &d, const QString &m, bool) {
        scanned << d + m;
    };
    TModalAnswers answers;
    answers.Then<QFileDialog>([](QFileDialog *d) { d->reject(); });
    answers.Start();
    frame.AutoBtnClick();
    EXPECT_EQ(scanned, (QStringList {ProgramFilesFolder() + "tsmuxer", ProgramFilesFolder() + "imgburn"}));
}

TEST_F(LocatorTest, NothingMissingShowsNoDialog)
{
    for (const TToolFile &tool : Tools)
        Settings.*tool.Setting = Put(tool.FileName);
    TLocaliserFichiersForm form;
    EXPECT_TRUE(form.Localiser());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(LocatorTest, OneMissingToolIsNamedCentredAtSize12)
{
    Settings.eac3tofile = Put(QStringLiteral("eac3to"));
    Settings.ImgBurnFile = Put(QStringLiteral("imgburn"));
    TLocaliserFichiersForm form;
    QString shown;
    QTextCharFormat tool;
    TModalAnswers answers;
    answers.Then<TLocaliserFichiersForm>([&](TLocaliserFichiersForm *f) {
        shown = f->LinkEdit1->document()->toPlainText();
        QTextCursor cursor(f->LinkEdit1->document());
        cursor.setPosition(QStringLiteral("Il manque le fichier t").size());
        tool = cursor.charFormat();
        EXPECT_EQ(f->LinkEdit1->document()->lastBlock().blockFormat().alignment(), Qt::AlignHCenter);
        f->QuitterBtn->click();
    });
    answers.Start();
    EXPECT_FALSE(form.Localiser());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Localiser les fichiers"));
    EXPECT_EQ(shown, QStringLiteral("Il manque le fichier tsmuxer\nLocalisez-le ci-dessous."));
    EXPECT_EQ(tool.fontPointSize(), 12);
    EXPECT_EQ(tool.fontWeight(), QFont::Bold);
    EXPECT_EQ(tool.foreground().color(), QColor(128, 0, 0));
}

TEST_F(LocatorTest, ToolPickedInTheDialogCountsAtOnce)
{
    Settings.eac3tofile = Put(QStringLiteral("eac3to"));
    Settings.ImgBurnFile = Put(QStringLiteral("imgburn"));
    const QString tsmuxer = Put(QStringLiteral("x/tsmuxer"));
    TLocaliserFichiersFrame options;
    TLocaliserFichiersForm form;
    TModalAnswers answers;
    answers.Then<TLocaliserFichiersForm>(
        [](TLocaliserFichiersForm *f) { f->LocaliserFichiersFrame->feTsMuxer->Button()->click(); });
    answers.Then<QFileDialog>([tsmuxer](QFileDialog *d) { PickFile(d, tsmuxer); });
    answers.Then<TLocaliserFichiersForm>([](TLocaliserFichiersForm *f) { f->QuitterBtn->click(); });
    answers.Start();
    EXPECT_TRUE(form.Localiser());
    EXPECT_EQ(options.feTsMuxer->FileName(), tsmuxer);
}

// "Terminé" pressed while eac3to is searched: that search stops, the one
// for tsmuxer still runs, then the dialog closes.
TEST_F(LocatorTest, TermineDuringASearch)
{
    Put(QStringLiteral("a/b/c/eac3to"));
    const QString tsmuxer = Put(QStringLiteral("tsmuxer"));
    Settings.ImgBurnFile = Put(QStringLiteral("z/imgburn"));
    TLocaliserFichiersForm form;
    TLocaliserFichiersFrame *frame = form.LocaliserFichiersFrame;
    frame->dirscan.OnStartFolder = [&](TDirscan *, const QString &folder) {
        if (frame->Searching() == 1 && folder == FTree + QStringLiteral("a/"))
            QTimer::singleShot(0, form.QuitterBtn, &QPushButton::click);  // served by the scan's next yield
    };
    TModalAnswers answers;
    answers.Then<TLocaliserFichiersForm>(
        [](TLocaliserFichiersForm *f) { f->LocaliserFichiersFrame->AutoBtn->click(); });
    answers.Then<QFileDialog>(Choose(FTree));
    answers.Start();
    EXPECT_FALSE(form.Localiser());
    EXPECT_TRUE(Settings.eac3tofile.isEmpty());
    EXPECT_EQ(Settings.tsMuxerFile, tsmuxer);
    EXPECT_FALSE(form.isVisible());
}

// What "Recherche Auto" found is no longer named as missing.
TEST_F(LocatorTest, TextFollowsWhatTheSearchFinds)
{
    const struct
    {
        const char *what;
        QStringList missing;
        const char *shown;
    } cases[] = {
        {"the one missing tool found",
         {"tsmuxer"},
         "Tous les fichiers sont localisés.\nCliquez sur « Terminé »."},
        {"one of two found",
         {"tsmuxer", "imgburn"},
         "Il manque le fichier imgburn\nLocalisez-le ci-dessous."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tree;
        for (const TToolFile &tool : Tools) {
            Settings.*tool.Setting = Put(tool.FileName);
            if (c.missing.contains(tool.FileName))
                Settings.*tool.Setting += QStringLiteral(".ailleurs");
        }
        PutFile(tree.filePath(QStringLiteral("tsmuxer")), "#!/bin/sh\n");
        TLocaliserFichiersForm form;
        QString before, after;
        TModalAnswers answers;
        answers.Then<TLocaliserFichiersForm>([&](TLocaliserFichiersForm *f) {
            before = f->LinkEdit1->document()->toPlainText();
            f->LocaliserFichiersFrame->AutoBtn->click();
            after = f->LinkEdit1->document()->toPlainText();
            f->QuitterBtn->click();
        });
        answers.Then<QFileDialog>(Choose(tree.path()));
        answers.Start();
        EXPECT_EQ(form.Localiser(), c.missing.size() == 1);
        EXPECT_TRUE(before.contains(QStringLiteral("tsmuxer"))) << before.toStdString();
        EXPECT_EQ(after, QString::fromUtf8(c.shown));
    }
}

struct ConfirmCase
{
    const char *button;
    bool result;
};

TEST_F(LocatorTest, ConfirmMissingNamesAllThreeAndAnswers)
{
    for (const ConfirmCase c :
         {ConfirmCase {"IgnoreBtn", true}, ConfirmCase {"CancelBtn", false}, ConfirmCase {"", false}}) {
        SCOPED_TRACE(c.button);
        TFichiersManquantsForm form;
        QString shown;
        TModalAnswers answers;
        answers.Then<TFichiersManquantsForm>([&](TFichiersManquantsForm *f) {
            shown = f->LinkEdit1->document()->toPlainText();
            if (*c.button)
                f->findChild<QPushButton *>(QString::fromLatin1(c.button))->click();
            else
                f->close();  // the close box
        });
        answers.Start();
        EXPECT_EQ(form.ConfirmMissing(), c.result);
        EXPECT_EQ(shown,
                  QString::fromUtf8("Il manque toujours les fichiers eac3to, tsmuxer et imgburn pour faire "
                                    "tourner ce programme.\n\nRéessayez de le relancer après avoir installé "
                                    "et localisé les fichiers nécessaires."));
    }
}

}  // namespace

namespace {

// A work folder chosen on the options page is checked as the disc steps
// will use it: its caption says why it cannot be, in red, and the hint
// names the folder; a usable one gets its caption back.
TEST(OptionsFolderCheck, CaptionSaysWhyAWorkFolderCannotBeUsed)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    Settings = TSettings();
    TPrefsLocation where;
    where.ExeName = tmp.filePath(QStringLiteral("tavrel"));
    where.HiveFile = tmp.filePath(QStringLiteral("registry.reg"));
    TOptionsFrame page(where);
    auto *caption = page.findChild<QLabel *>(QStringLiteral("deAVCHDCaption"));
    ASSERT_NE(caption, nullptr);
    const QString label = caption->text();
    PutFile(tmp.filePath(QStringLiteral("file")), "x");
    const QString blocked = tmp.filePath(QStringLiteral("file/avchd"));

    page.deAVCHD->OnAfterDialog(page.deAVCHD, blocked);
    EXPECT_EQ(Settings.DossierAVCHD, blocked + u'/');
    EXPECT_EQ(caption->text(),
              QStringLiteral("Ne peut pas être créé : un élément du chemin n'est pas un dossier"));
    EXPECT_EQ(caption->toolTip(), QStringLiteral("Le dossier AVCHD ") + blocked
                                      + QStringLiteral("/ ne peut pas être créé (un élément du chemin n'est "
                                                       "pas un dossier)"));
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(Qt::red));

    page.deAVCHD->OnAfterDialog(page.deAVCHD, tmp.path());
    EXPECT_EQ(caption->text(), label);
    EXPECT_TRUE(caption->toolTip().isEmpty());
    EXPECT_NE(caption->palette().color(QPalette::WindowText), QColor(Qt::red));
}

}  // namespace
