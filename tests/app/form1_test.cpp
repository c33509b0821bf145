#include "src/app/form1.h"
#include "src/app/listeframe.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "src/clips/fichierlistbox.h"
#include "src/platform/registry.h"
#include "src/prefs/localiserfichiersform.h"
#include "src/prefs/localiserfichiersframe.h"
#include "src/prefs/missingtools.h"
#include "src/prefs/optionsframe.h"
#include "src/prefs/saveprefsform.h"
#include "src/preview/mediadevice.h"
#include "tests/support/modalanswer.h"
#include "tests/support/waituntil.h"
#include "src/widgets/actionlist.h"
#include "src/widgets/aproposframe.h"
#include "src/widgets/superaction.h"
#include "src/widgets/widedialogedit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// A private installation: the executable's folder (where Tavrel.ini goes,
// with the three tools beside it) and the hive, so that no test touches the
// user's settings.
class Form1Test : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        QDir().mkpath(FTmp.filePath(QStringLiteral("bin")));
        FWhere.ExeName = FTmp.filePath(QStringLiteral("bin/tavrel"));
        FWhere.HiveFile = FTmp.filePath(QStringLiteral("registry.reg"));
        Settings = TSettings();
        for (const TToolFile &tool : Tools)
            QFile(FWhere.ExeFolder() + tool.FileName).open(QIODevice::WriteOnly);
        AbortRequested = false;
    }

    // Writes a portable ini with these bounds and sort key.
    void StorePortable(int left, int top, int width, int height, const QString &sortKey)
    {
        TSettings stored;
        stored.PrefsMode = pmPortable;
        stored.mainleft = left;
        stored.maintop = top;
        stored.mainWidth = width;
        stored.mainHeight = height;
        stored.SortIndex = sortKey;
        QString error;
        ASSERT_TRUE(SaveSettings(stored, &error, FWhere)) << error.toStdString();
    }

    TSettings Reload()
    {
        TSettings loaded;
        EXPECT_TRUE(LoadSettings(loaded, QSize(1920, 1080), nullptr, FWhere));
        return loaded;
    }

    QTemporaryDir FTmp;
    TPrefsLocation FWhere;
};

struct ActionRow
{
    const char *name, *category, *caption, *shortcut;
    int image;
    const char *hint;
};

// The action table as the user must find it, in list order.
const ActionRow ExpectedActions[] = {
    {"saOpenFiles", "open", "Fichiers", "Ctrl+O", 5, "Ouvrez des fichiers m2ts issus d'un camescope AVCHD"},
    {"saOpenFolder", "open", "Dossier", "Ctrl+D", 5,
     "Ouvrez tous les fichiers m2ts contenus dans un dossier.\r\nIls seront classés par ordre alphabétique, "
     "ce qui est en général l'ordre chronologique."},
    {"saVider", "open", "Vider", "Ctrl+X", 8, "Vider la liste des fichiers"},
    {"saQuitter", "general", "Quitter", "Alt+F4", 7, "Quitter le programme"},
    {"saPaste", "open", "Coller", "Ctrl+V", 0, ""},
    {"saParentFichiersM2ts", "general", "Fichiers m2ts", "F3", 11,
     "Ouvrir le dossier contenant le fichier m2ts actif"},
    {"saParentAVCHD", "general", "Dossier AVCHD", "F4", 11,
     "Ouvrir le dossier où seront créées les structures AVCHD à copier sur des DVD.\r\nOn peut graver "
     "manuellement une structure en intégrant les dossiers BDMV et CERTIFICATE (et leurs sous-dossiers)\r\n"
     "et en prenant le File System UDF 2.50"},
    {"saDisqueActuel", "executer", "Disque Actuel", "Ctrl+D", 62,
     "Traiter le disque sélectionné.\r\nLe traitement passe d'abord par eac3to pour créer des flux démuxés "
     "groupant tous les fichiers m2ts\r\npuis par tsmuxer qui crée une structure AVCHD\r\npuis par imgBurn "
     "qui peut graver un DVD."},
    {"saAbort", "general", "Interrompre", "Esc", 64, "Interrompre le traitement en  cours"},
    {"saDisques", "Morvek", "Disques", "F6", 62,
     "Ouvrir la page des Disques pour les transformer en disques AVCHD.\r\nLes fichiers retenus seront "
     "regroupés en disques de taille adpatée."},
    {"saListe", "Morvek", "Liste", "F7", 23, "Afficher la liste des fichiers (avec le lecteur vidéo)"},
    {"saGraver", "executer", "Graver", "", 62,
     "Graver les disques prêts à être gravés qui ne l'ont pas encore été.\r\nOn peut modifier les coches "
     "pour modifier leur liste."},
    {"saTousDisques", "executer", "Tous Disques", "", 65,
     "Traiter tous les disques.\r\nLa gravure est sur un thread spécifique qui peut donc être réalisée au "
     "fur et à mesure\r\nqu'on remet des disques vierges. On peut donc laisser tourner le traitement toute "
     "la nuit\r\net graver le résultat le lendemain."},
    {"taOptions", "general", "Options", "F10", 26, "Ouvrir la page des Options pour les gérer."},
    {"saMesOptions", "Morvek", "Mes Options", "Ctrl+Alt+F10", -1, ""},
    {"taApropos", "general", "A propos", "F1", 66,
     "Ouvrir la page \"A Propos\" pour avoir des informations sur ce programme."},
};

TEST_F(Form1Test, ActionTableInOrder)
{
    TForm1 form(FWhere);
    ASSERT_EQ(form.TntActionList1->Count(), 16);
    for (int i = 0; i < 16; ++i) {
        const ActionRow &row = ExpectedActions[i];
        const TCustomSuperAction *action = form.TntActionList1->Action(i);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(action->objectName(), QString::fromUtf8(row.name));
        EXPECT_EQ(action->Category(), QString::fromUtf8(row.category));
        EXPECT_EQ(action->Caption(), QString::fromUtf8(row.caption));
        EXPECT_EQ(action->ShortCut(), QKeySequence(QString::fromUtf8(row.shortcut)));
        EXPECT_EQ(action->imageindex(), row.image);
        EXPECT_EQ(action->Hint(), QString::fromUtf8(row.hint));
        if (row.image >= 0) {
            EXPECT_FALSE(action->icon().isNull());
        }
    }
}

TEST_F(Form1Test, TogglesHaveTheirCheckedTexts)
{
    TForm1 form(FWhere);
    EXPECT_EQ(form.taOptions->TrueCaption, QStringLiteral("Sortir"));
    EXPECT_EQ(form.taOptions->TrueHint, QStringLiteral("Quitter la page des Options"));
    EXPECT_EQ(form.taApropos->TrueCaption, QStringLiteral("Retour"));
    EXPECT_EQ(form.taApropos->TrueHint, QStringLiteral("Fermer le panneau \"A propos\""));
    EXPECT_TRUE(form.taOptions->AutoCheck());
    EXPECT_TRUE(form.taApropos->AutoCheck());
}

TEST_F(Form1Test, ListPageButtonsAreBoundAndShowHints)
{
    TForm1 form(FWhere);
    const TListeFrame *page = form.ListeFrame;
    const QPair<QToolButton *, TCustomSuperAction *> bound[] = {
        {page->FichiersBtn, form.saOpenFiles}, {page->DossierBtn, form.saOpenFolder},
        {page->ViderBtn, form.saVider},        {page->OptionsBtn, form.taOptions},
        {page->AproposBtn, form.taApropos},    {page->QuitterBtn, form.saQuitter},
        {page->DisquesBtn, form.saDisques},
    };
    for (const auto &[button, action] : bound) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_EQ(button->defaultAction(), action);
        EXPECT_EQ(button->text(), action->Caption());
        EXPECT_EQ(button->toolTip(),
                  QString(action->Hint()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_EQ(button->size(), QSize(108, 36));
    }
}

TEST_F(Form1Test, CtrlDRunsDossierOnEveryPage)
{
    TForm1 form(FWhere);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    int folder = 0, disc = 0;
    form.saOpenFolder->Onprepare = [&](TCustomSuperAction *) {
        ++folder;
        ActionProceed = false;
    };
    form.saDisqueActuel->Onprepare = [&](TCustomSuperAction *) {
        ++disc;
        ActionProceed = false;
    };
    QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
    form.saDisques->Execute();
    QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(folder, 2);
    EXPECT_EQ(disc, 0);
}

TEST_F(Form1Test, PagesStackAndSwitch)
{
    TForm1 form(FWhere);
    for (QWidget *page : {static_cast<QWidget *>(form.ListeFrame), static_cast<QWidget *>(form.Disquesframe),
                          static_cast<QWidget *>(form.aproposFrame)})
        EXPECT_EQ(page->size(), QSize(684, 498)) << page->objectName().toStdString();
    // The options page is taller, down to the status bar, to hold where the
    // discs go.
    EXPECT_EQ(form.OptionsFrame->width(), 684);
    EXPECT_GE(form.OptionsFrame->height(), 498);
    EXPECT_LE(form.OptionsFrame->height(), form.StatusBar1->y());
    EXPECT_EQ(form.ListeFrame->pos(), QPoint(0, 0));
    EXPECT_EQ(form.Disquesframe->x(), -800);
    form.saDisques->Execute();
    EXPECT_TRUE(form.BasePageIsDiscs);
    EXPECT_EQ(form.Disquesframe->pos(), QPoint(0, 0));
    EXPECT_EQ(form.childAt(300, 300)->window(), &form);
    form.saListe->Execute();
    EXPECT_FALSE(form.BasePageIsDiscs);
    EXPECT_TRUE(form.Disquesframe->isVisibleTo(&form));  // base pages are never hidden
}

TEST_F(Form1Test, OptionsToggleTwiceOpensThenCloses)
{
    TForm1 form(FWhere);
    form.taOptions->Execute();
    EXPECT_TRUE(form.taOptions->Checked());
    EXPECT_TRUE(form.OptionsFrame->isVisibleTo(&form));
    EXPECT_EQ(form.OptionsFrame->pos(), QPoint(0, 0));
    EXPECT_EQ(form.taOptions->Caption(), QStringLiteral("Sortir"));
    EXPECT_EQ(form.taOptions->Hint(), QStringLiteral("Quitter la page des Options"));
    EXPECT_EQ(form.ListeFrame->OptionsBtn->text(), QStringLiteral("Sortir"));
    EXPECT_EQ(form.taOptions->imageindex(), 23);

    form.taOptions->Execute();
    EXPECT_FALSE(form.taOptions->Checked());
    EXPECT_FALSE(form.OptionsFrame->isVisibleTo(&form));
    EXPECT_EQ(form.taOptions->Caption(), QStringLiteral("Options"));
    EXPECT_EQ(form.taOptions->Hint(), QStringLiteral("Ouvrir la page des Options pour les gérer."));
    EXPECT_EQ(form.taOptions->imageindex(), 26);
}

TEST_F(Form1Test, ToggleImageFollowsBasePage)
{
    TForm1 form(FWhere);
    form.saDisques->Execute();
    form.taApropos->Execute();
    EXPECT_EQ(form.taApropos->imageindex(), 62);
    EXPECT_EQ(form.taApropos->Caption(), QStringLiteral("Retour"));
    form.taApropos->Execute();
    EXPECT_EQ(form.taApropos->imageindex(), 66);
    form.saListe->Execute();
    form.taOptions->Execute();
    EXPECT_EQ(form.taOptions->imageindex(), 23);
}

TEST_F(Form1Test, OptionsAndAboutCloseEachOther)
{
    TForm1 form(FWhere);
    form.taOptions->Execute();
    form.taApropos->Execute();
    EXPECT_FALSE(form.taOptions->Checked());
    EXPECT_EQ(form.taOptions->Caption(), QStringLiteral("Options"));
    EXPECT_FALSE(form.OptionsFrame->isVisibleTo(&form));
    EXPECT_TRUE(form.taApropos->Checked());
    EXPECT_TRUE(form.aproposFrame->isVisibleTo(&form));

    form.taOptions->Execute();
    EXPECT_FALSE(form.taApropos->Checked());
    EXPECT_EQ(form.taApropos->Caption(), QStringLiteral("A propos"));
    EXPECT_FALSE(form.aproposFrame->isVisibleTo(&form));
    EXPECT_TRUE(form.OptionsFrame->isVisibleTo(&form));
}

TEST_F(Form1Test, AboutPageButtonLeavesThePage)
{
    TForm1 form(FWhere);
    form.taApropos->Execute();
    EXPECT_EQ(form.aproposFrame->pos(), QPoint(0, 0));
    EXPECT_EQ(form.aproposFrame->OptionsBtn->defaultAction(), form.taApropos);
    EXPECT_EQ(form.aproposFrame->OptionsBtn->text(), QStringLiteral("Retour"));
    EXPECT_FALSE(form.aproposFrame->ImageBtn->icon().isNull());
    form.aproposFrame->OptionsBtn->click();
    EXPECT_FALSE(form.aproposFrame->isVisibleTo(&form));
    EXPECT_FALSE(form.taApropos->Checked());
}

struct StatusCase
{
    TStatusKind kind;
    QColor colour;  // invalid: the button-face colour
};

TEST_F(Form1Test, StatusColoursByKind)
{
    TForm1 form(FWhere);
    const StatusCase cases[] = {{TStatusKind::Interrupted, QColor(255, 255, 0)},
                                {TStatusKind::Opening, QColor(166, 202, 240)},
                                {TStatusKind::ToolRunning, QColor(192, 220, 192)},
                                {TStatusKind::Error, QColor(255, 0, 0)},
                                {TStatusKind::Normal, QColor()}};
    for (const StatusCase &c : cases) {
        const QString text = QStringLiteral("kind %1").arg(int(c.kind));
        form.ShowStatus(text, c.kind);
        EXPECT_EQ(form.StatusBar1->text(), text);
        const QColor expected =
            c.colour.isValid() ? c.colour : QApplication::palette().color(QPalette::Button);
        EXPECT_EQ(form.StatusColour(), expected) << int(c.kind);
    }
    form.ShowStatus(QStringLiteral("Interrompu"), TStatusKind::Interrupted);
    // A value outside the kinds sets the text and keeps the colour.
    form.ShowStatus(QStringLiteral("autre"), static_cast<TStatusKind>(7));
    EXPECT_EQ(form.StatusBar1->text(), QStringLiteral("autre"));
    EXPECT_EQ(form.StatusColour(), QColor(255, 255, 0));
}

TEST_F(Form1Test, FirstShowingAppliesStoredSettings)
{
    StorePortable(120, 80, 705, 566, QStringLiteral("taille"));
    TForm1 form(FWhere);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tavrel"));
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tavrel 1.0.3 fr de Morvek"));
    EXPECT_EQ(Settings.PrefsMode, pmPortable);
    EXPECT_EQ(form.pos(), QPoint(120, 80));
    EXPECT_EQ(form.size(), TForm1::ClientSizeFor(705, 566));
    EXPECT_EQ(form.StatusBar1->text(),
              QStringLiteral("Ouvrez des fichiers m2ts ou un dossier contenant des fichiers m2ts"));
    EXPECT_EQ(form.StatusColour(), QApplication::palette().color(QPalette::Button));
    EXPECT_TRUE(form.acceptDrops());
    EXPECT_EQ(form.StatusBar1->geometry().bottom(), form.height() - 1);
}

// A place saved on a monitor that is gone opens on the screen there is,
// as near as it fits, with the title bar inside.
TEST_F(Form1Test, StoredPlaceOffEveryScreenOpensOnScreen)
{
    StorePortable(5000, -3000, 696, 556, QStringLiteral("alpha"));
    TForm1 form(FWhere);
    form.show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame(form.frameGeometry().topLeft(), form.size() + TForm1::FrameExtra);
    EXPECT_EQ(frame.topLeft(), QPoint(screen.right() + 1 - frame.width(), screen.top()));
    EXPECT_TRUE(screen.contains(frame)) << screen.width() << "x" << screen.height();
}

TEST_F(Form1Test, DefaultWindowHasTheDesignedClientArea)
{
    EXPECT_EQ(TForm1::ClientSizeFor(696, 556), QSize(687, 523));
    EXPECT_EQ(TForm1::ClientSizeFor(0, 0), QSize(687, 523));  // damaged setting
}

TEST_F(Form1Test, CloseSavesBoundsAndSortKey)
{
    StorePortable(120, 80, 696, 556, QStringLiteral("alpha"));
    {
        TForm1 form(FWhere);
        form.show();
        form.move(200, 150);
        AbortRequested = false;
        EXPECT_TRUE(form.close());
        EXPECT_TRUE(AbortRequested);
    }
    const TSettings saved = Reload();
    EXPECT_EQ(saved.mainleft, 200);
    EXPECT_EQ(saved.maintop, 150);
    EXPECT_EQ(saved.mainWidth, 696);
    EXPECT_EQ(saved.mainHeight, 556);
    EXPECT_EQ(saved.SortIndex, QStringLiteral("alpha"));
    EXPECT_EQ(saved.PortablePath, FWhere.ExeFolder());
}

TEST_F(Form1Test, SaveFailureKeepsWindowOpen)
{
    StorePortable(120, 80, 696, 556, QStringLiteral("alpha"));
    TForm1 form(FWhere);
    form.show();
    // The ini file can no longer be read back: the save must fail.
    ASSERT_TRUE(QFile::remove(FWhere.IniFile()));
    ASSERT_TRUE(QDir().mkdir(FWhere.IniFile()));
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->reject();
        }
    });
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(shown.isEmpty());
    form.saListe->Execute();
    QDir().rmdir(FWhere.IniFile());
}

TEST_F(Form1Test, MissingToolsEndProgramUnlessUserGoesOn)
{
    TForm1 form(FWhere);
    int asked = 0;
    form.Localiser = [] { return false; };
    form.ConfirmMissing = [&] {
        ++asked;
        return false;
    };
    // Leaving goes through the normal close, with its question.
    TModalAnswers answers;
    answers.Then<TSavePrefsForm>([](TSavePrefsForm *f) { f->BitBtn3->click(); });
    answers.Start();
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }, 30'000));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(answers.Done());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Form1Test, FirstStartFindsTheToolsBesideTheProgram)
{
    TForm1 form(FWhere);
    form.show();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no dialog
    EXPECT_EQ(Settings.eac3tofile, FWhere.ExeFolder() + QStringLiteral("eac3to"));
    EXPECT_EQ(form.OptionsFrame->LocaliserFichiersFrame->feImgBurn->FileName(),
              FWhere.ExeFolder() + QStringLiteral("imgburn"));
    EXPECT_EQ(form.LocaliserFichiersForm->LocaliserFichiersFrame->feTsMuxer->FileName(),
              FWhere.ExeFolder() + QStringLiteral("tsmuxer"));
}

TEST_F(Form1Test, OptionsPageShowsTheLoadedSettings)
{
    TSettings stored;
    stored.PrefsMode = pmPortable;
    stored.DossierOuvrir = QStringLiteral("/data/clips/");
    stored.DossierAVCHD = QStringLiteral("/data/AVCHD/");
    stored.DossierFlux = QStringLiteral("/data/flux/");
    stored.Dossiermeta = QStringLiteral("/data/meta/");
    stored.DeleteMeta = false;
    stored.DeleteFlux = true;
    stored.eac3tofile = QStringLiteral("/opt/eac3to");
    ASSERT_TRUE(SaveSettings(stored, nullptr, FWhere));
    TForm1 form(FWhere);
    form.Localiser = [] { return true; };
    form.show();
    const TOptionsFrame *page = form.OptionsFrame;
    EXPECT_EQ(page->deOuvrir->Folder(), QStringLiteral("/data/clips/"));
    EXPECT_EQ(page->deAVCHD->Folder(), QStringLiteral("/data/AVCHD/"));
    EXPECT_EQ(page->deFlux->Folder(), QStringLiteral("/data/flux/"));
    EXPECT_EQ(page->demeta->Folder(), QStringLiteral("/data/meta/"));
    EXPECT_FALSE(page->cbDeleteMeta->isChecked());
    EXPECT_TRUE(page->cbDeleteFlux->isChecked());
    EXPECT_EQ(page->PrefsIndex(), pmPortable);
    EXPECT_EQ(page->LocaliserFichiersFrame->feEac3to->FileName(), QStringLiteral("/opt/eac3to"));
    EXPECT_EQ(page->OptionsBtn->defaultAction(), form.taOptions);

    form.OptionsFrame->cbDeleteFlux->click();
    EXPECT_FALSE(Settings.DeleteFlux);
    QTimer::singleShot(0, [this] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->setDirectory(FTmp.path());
        static_cast<QDialog *>(d)->accept();
    });
    form.OptionsFrame->deFlux->Button()->click();
    EXPECT_EQ(Settings.DossierFlux, QDir(FTmp.path()).canonicalPath() + u'/');
}

// The close of a first run (no storage mode yet): the question, then the
// save in the store chosen.
class FirstClose : public Form1Test
{
protected:
    // Closes the window answering the question with button (empty: the
    // close box); returns whether the window closed.
    bool CloseAnswering(TForm1 &form, const char *button)
    {
        TModalAnswers answers;
        answers.Then<TSavePrefsForm>([button](TSavePrefsForm *f) {
            EXPECT_EQ(f->windowTitle(), QString::fromUtf8("Enregistrement des préférences de Tavrel"));
            if (*button)
                f->findChild<QPushButton *>(QString::fromLatin1(button))->click();
            else
                f->close();
        });
        answers.Start();
        const bool closed = form.close();
        EXPECT_TRUE(answers.Done());
        return closed;
    }

    bool HiveHasSettings() const
    {
        TRegistry registry(FWhere.HiveFile);
        return registry.OpenKeyReadOnly(SettingsSection);
    }
};

TEST_F(FirstClose, PortableWritesTheIniBesideTheProgramAndNoHive)
{
    TForm1 form(FWhere);
    form.show();
    EXPECT_EQ(Settings.PrefsMode, pmNone);
    EXPECT_TRUE(CloseAnswering(form, "BitBtn2"));
    EXPECT_TRUE(QFileInfo::exists(FWhere.IniFile()));
    EXPECT_FALSE(QFileInfo::exists(FWhere.HiveFile));
    EXPECT_EQ(form.OptionsFrame->PrefsIndex(), pmPortable);
    const TSettings saved = Reload();
    EXPECT_EQ(saved.PrefsMode, pmPortable);
    EXPECT_EQ(saved.eac3tofile, FWhere.ExeFolder() + QStringLiteral("eac3to"));
}

TEST_F(FirstClose, NormalWritesTheHiveWithExename)
{
    {
        TForm1 form(FWhere);
        form.show();
        EXPECT_TRUE(CloseAnswering(form, "NormalBtn"));
    }
    EXPECT_FALSE(QFileInfo::exists(FWhere.IniFile()));
    TRegistry registry(FWhere.HiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly(SettingsSection));
    EXPECT_EQ(registry.ReadString(QStringLiteral("Exename")).value_or(QString()), FWhere.ExeName);
    // The next start uses it.
    Settings = TSettings();
    TForm1 again(FWhere);
    again.show();
    EXPECT_EQ(Settings.PrefsMode, pmNormal);
    EXPECT_EQ(again.OptionsFrame->PrefsIndex(), pmNormal);
}

TEST_F(FirstClose, AucunWritesNothingAndAsksAgain)
{
    TForm1 form(FWhere);
    form.show();
    EXPECT_TRUE(CloseAnswering(form, "BitBtn3"));
    EXPECT_FALSE(QFileInfo::exists(FWhere.IniFile()));
    EXPECT_FALSE(QFileInfo::exists(FWhere.HiveFile));
    EXPECT_EQ(Settings.PrefsMode, pmNone);
    form.show();
    EXPECT_TRUE(CloseAnswering(form, "BitBtn3"));  // asked again
}

TEST_F(FirstClose, CloseBoxKeepsTheWindowOpen)
{
    TForm1 form(FWhere);
    form.show();
    EXPECT_FALSE(CloseAnswering(form, ""));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(AbortRequested);  // a running tool was told to stop all the same
    EXPECT_EQ(Settings.PrefsMode, pmNone);
    EXPECT_FALSE(QFileInfo::exists(FWhere.IniFile()));
    EXPECT_TRUE(CloseAnswering(form, "NormalBtn"));  // asked again at the next close
}

TEST_F(FirstClose, NoSavingOnTheOptionsPageRemovesBothStoresAtOnce)
{
    StorePortable(10, 20, 696, 556, QStringLiteral("alpha"));
    TSettings hive;
    hive.PrefsMode = pmNormal;
    ASSERT_TRUE(SaveSettings(hive, nullptr, FWhere));
    TForm1 form(FWhere);
    form.Localiser = [] { return true; };
    form.show();
    ASSERT_EQ(Settings.PrefsMode, pmPortable);
    EXPECT_FALSE(HiveHasSettings());  // portable: the registry settings go at start-up
    ASSERT_TRUE(SaveSettings(hive, nullptr, FWhere));
    form.OptionsFrame->rgPrefsButtons->button(pmNone)->click();
    EXPECT_EQ(Settings.PrefsMode, pmNone);
    EXPECT_FALSE(QFileInfo::exists(FWhere.IniFile()));
    EXPECT_FALSE(HiveHasSettings());
    EXPECT_TRUE(CloseAnswering(form, "BitBtn3"));  // and the question comes back
}

TEST_F(Form1Test, ToolsPresentAskNothing)
{
    TForm1 form(FWhere);
    int asked = 0;
    form.Localiser = [] { return true; };
    form.ConfirmMissing = [&] {
        ++asked;
        return false;
    };
    form.show();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(form.isVisible());
}

// Sort keys at start: the three that can be chosen are kept, any other
// name opens the list sorted "alpha".
class StoredSortKey : public Form1Test,
                      public testing::WithParamInterface<std::pair<const char *, const char *>>
{ };

TEST_P(StoredSortKey, AppliedAtStartAndSavedAtClose)
{
    const auto [stored, applied] = GetParam();
    StorePortable(10, 20, 696, 556, QString::fromLatin1(stored));
    {
        TForm1 form(FWhere);
        form.show();
        EXPECT_EQ(form.ListeFrame->lb->SortIndex().Key, QString::fromLatin1(applied));
        EXPECT_TRUE(form.close());
    }
    EXPECT_EQ(Reload().SortIndex, QString::fromLatin1(applied));
}

INSTANTIATE_TEST_SUITE_P(Keys, StoredSortKey,
                         testing::Values(std::pair {"taille", "taille"}, std::pair {"modify", "modify"},
                                         std::pair {"alpha", "alpha"}, std::pair {"tournage", "tournage"},
                                         std::pair {"path", "alpha"}, std::pair {"extension", "alpha"},
                                         std::pair {"nimportequoi", "alpha"}));

// Clips of chosen durations, by file name, without probing any file.
TDeviceFactory KnownDurations(QMap<QString, std::int64_t> seconds)
{
    return [seconds](const QString &path) {
        const std::int64_t s = seconds.value(QFileInfo(path).fileName(), 0);
        return std::make_unique<Tm2tsFileDevice>(path, TKnownClip {s * 10'000'000, 1, 1});
    };
}

// What the status bar showed at each step of an opening.
struct StatusStep
{
    QString text;
    QColor colour;
    bool disquesEnabled;
};

class ListFlowTest : public Form1Test
{
protected:
    void SetUp() override
    {
        Form1Test::SetUp();
        FClips = FTmp.filePath(QStringLiteral("clips"));
        QDir().mkpath(FClips + QStringLiteral("/sub"));
        for (const char *name :
             {"c.m2ts", "a.M2TS", "sub/b.m2ts", "notes.txt", "d.mts", "INDEX.BDM", "e.CPI"})
            QFile(FClips + u'/' + QString::fromLatin1(name)).open(QIODevice::WriteOnly);
        FForm = std::make_unique<TForm1>(FWhere, KnownDurations({{QStringLiteral("a.M2TS"), 1},
                                                                 {QStringLiteral("b.m2ts"), 2},
                                                                 {QStringLiteral("c.m2ts"), 3723}}));
        FForm->show();
        lb = FForm->ListeFrame->lb;
        Record(lb->OnOpenStart, [] {});
        auto found = lb->OnOpenFolderFound;
        lb->OnOpenFolderFound = [this, found](const QString &folder) {
            found(folder);
            Snap();
        };
        auto end = lb->OnOpenEnd;
        lb->OnOpenEnd = [this, end](int nb) {
            end(nb);
            Snap();
            ++FEnded;
        };
    }

    void Record(TFichierListBox::TOpenStartEvent &event, std::function<void()>)
    {
        auto original = event;
        event = [this, original] {
            original();
            Snap();
        };
    }

    void Snap()
    {
        FSteps.append(
            {FForm->StatusBar1->text(), FForm->StatusColour(), FForm->ListeFrame->DisquesBtn->isEnabled()});
    }

    void WaitForOpenings(int count)
    {
        ASSERT_TRUE(WaitUntil([&] { return FEnded >= count && !lb->Busy(); }, 60'000));
        ASSERT_EQ(FEnded, count);
    }

    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < lb->count(); ++i)
            names << lb->item(i)->text();
        return names;
    }

    QString FClips;
    std::unique_ptr<TForm1> FForm;
    TFichierListBox *lb = nullptr;
    QVector<StatusStep> FSteps;
    int FEnded = 0;
};

TEST_F(ListFlowTest, OpenFolderShowsStatusSortsAndCounts)
{
    FForm->saOpenFolder->Onprepare = [this](TCustomSuperAction *) { ActionParams << FClips; };
    FForm->saOpenFolder->Execute();
    WaitForOpenings(1);

    const QColor sky(166, 202, 240);
    ASSERT_GE(FSteps.size(), 4);
    EXPECT_EQ(FSteps[0].text, QStringLiteral("En train d'ouvrir des fichiers"));
    EXPECT_EQ(FSteps[0].colour, sky);
    EXPECT_FALSE(FSteps[0].disquesEnabled);
    EXPECT_EQ(FSteps[1].text, QStringLiteral("En train d'explorer ") + FClips + u'/');
    EXPECT_EQ(FSteps[1].colour, sky);
    EXPECT_TRUE(FSteps[2].text.startsWith(QStringLiteral("En train d'explorer ")));
    EXPECT_EQ(FSteps.last().text, QStringLiteral("Prêt"));
    EXPECT_EQ(FSteps.last().colour, QApplication::palette().color(QPalette::Button));
    EXPECT_TRUE(FSteps.last().disquesEnabled);

    EXPECT_EQ(Names(), (QStringList {QStringLiteral("a.M2TS"), QStringLiteral("b.m2ts"),
                                     QStringLiteral("c.m2ts"), QStringLiteral("d.mts")}));
    EXPECT_EQ(FForm->ListeFrame->labCount->text(), QStringLiteral("4 fichiers : 1h 02mn 06s"));

    // Selecting changes nothing: the line counts every item.
    lb->SetActive(2);
    EXPECT_EQ(FForm->ListeFrame->labCount->text(), QStringLiteral("4 fichiers : 1h 02mn 06s"));

    FForm->saVider->Execute();
    EXPECT_EQ(lb->count(), 0);
    EXPECT_EQ(FForm->ListeFrame->labCount->text(), QStringLiteral("Aucun fichier"));
}

TEST_F(ListFlowTest, OneClipAndDeleteKey)
{
    EXPECT_TRUE(FForm->ListeFrame->labCount->text().isEmpty());  // nothing reported yet
    lb->OpenFiles({FClips + QStringLiteral("/c.m2ts"), FClips + QStringLiteral("/a.M2TS")});
    WaitForOpenings(1);
    EXPECT_EQ(FForm->ListeFrame->labCount->text(), QStringLiteral("2 fichiers : 1h 02mn 04s"));
    lb->setFocus();
    lb->clearSelection();
    lb->SetActive(0);  // a.M2TS
    QTest::keyClick(lb, Qt::Key_Delete);
    EXPECT_EQ(Names(), QStringList {QStringLiteral("c.m2ts")});
    EXPECT_EQ(FForm->ListeFrame->labCount->text(), QStringLiteral("Un fichier : 1h 02mn 03s"));
}

TEST_F(ListFlowTest, CancelledFolderChooserOpensNothing)
{
    Settings.DossierOuvrir = FClips;
    QTimer::singleShot(0, [] {
        if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            d->reject();
    });
    FForm->saOpenFolder->Execute();
    // An opening started would still be running: its first call into this
    // thread waits for an event loop that has not run since.
    EXPECT_FALSE(lb->Busy());
    EXPECT_EQ(FEnded, 0);
    EXPECT_TRUE(FSteps.isEmpty());
    EXPECT_EQ(Settings.DossierOuvrir, FClips);
}

TEST_F(ListFlowTest, ChooserEmptiesVanishedFolderAndStoresChosenOne)
{
    Settings.DossierOuvrir = FTmp.filePath(QStringLiteral("gone"));
    QTimer::singleShot(0, [this] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Sélectionnez le Dossier contenant les images à ouvrir"));
        d->setDirectory(FClips + QStringLiteral("/sub"));
        static_cast<QDialog *>(d)->accept();
    });
    FForm->saOpenFolder->Execute();
    WaitForOpenings(1);
    EXPECT_EQ(QDir(Settings.DossierOuvrir).canonicalPath(),
              QDir(FClips + QStringLiteral("/sub")).canonicalPath());
    EXPECT_EQ(Names(), QStringList {QStringLiteral("b.m2ts")});
}

TEST_F(ListFlowTest, CancelledFilesDialogOpensNothing)
{
    Settings.DossierOuvrir = FClips;
    QTimer::singleShot(0, [this] {
        EXPECT_EQ(QApplication::activeModalWidget(), FForm->od);
        EXPECT_EQ(FForm->od->directory().canonicalPath(), QDir(FClips).canonicalPath());
        FForm->od->reject();
    });
    FForm->saOpenFiles->Execute();
    EXPECT_FALSE(lb->Busy());  // as above
    EXPECT_EQ(FEnded, 0);
    EXPECT_TRUE(FSteps.isEmpty());
    EXPECT_EQ(lb->count(), 0);
}

// The files dialog offers the clips of a camcorder's card too, whatever
// the letter case of their names, and nothing else.
TEST_F(ListFlowTest, FilesDialogShowsCardClips)
{
    EXPECT_EQ(FForm->od->nameFilters(), QStringList {QStringLiteral("Vidéos AVCHD (*.m2ts *.mts)")});
    FForm->od->setDirectory(FClips);
    FForm->od->show();
    auto *view = FForm->od->findChild<QListView *>(QStringLiteral("listView"));
    ASSERT_NE(view, nullptr);
    QStringList shown;
    const auto listed = [&] {
        shown.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            shown << view->model()->index(row, 0, root).data().toString();
        shown.sort();
        return shown.size() >= 4;
    };
    EXPECT_TRUE(WaitUntil(listed, 10'000));
    EXPECT_EQ(shown, (QStringList {QStringLiteral("a.M2TS"), QStringLiteral("c.m2ts"),
                                   QStringLiteral("d.mts"), QStringLiteral("sub")}));
    FForm->od->reject();
}

// Pasted files (the camcorder's card copied in a file manager) and
// dropped ones: the clips of either extension are listed, the other
// files of the card are passed over without a word.
TEST_F(ListFlowTest, PastedAndDroppedCardFilesOpenOnlyTheClips)
{
    QMimeData *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(FClips + QStringLiteral("/d.mts")),
                   QUrl::fromLocalFile(FClips + QStringLiteral("/INDEX.BDM")),
                   QUrl::fromLocalFile(FClips + QStringLiteral("/e.CPI"))});
    QApplication::clipboard()->setMimeData(data);
    FForm->saPaste->Execute();
    WaitForOpenings(1);
    EXPECT_EQ(Names(), QStringList {QStringLiteral("d.mts")});
    FForm->ListeFrame->lb->DropFiles({FClips});
    WaitForOpenings(2);
    EXPECT_EQ(Names(), (QStringList {QStringLiteral("a.M2TS"), QStringLiteral("b.m2ts"),
                                     QStringLiteral("c.m2ts"), QStringLiteral("d.mts")}));
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Prêt"));
}

// The sort orders' right-click menu on the clip list, and the drop-down
// under it: the current order checked, a choice sorts the list at once and
// is what the next start opens with.
TEST_F(ListFlowTest, SortMenuSortsAtOnceAndTheChoiceSurvivesARestart)
{
    FForm.reset();
    StorePortable(10, 20, 696, 556, QStringLiteral("alpha"));
    // By size: d.mts (empty), b, c, a.
    for (const auto &[name, size] : {std::pair {"a.M2TS", 300}, {"sub/b.m2ts", 100}, {"c.m2ts", 200}}) {
        QFile file(FClips + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }
    const QString taille = QStringLiteral("Trier selon la taille du fichier");
    {
        TForm1 form(FWhere, KnownDurations({}));
        form.show();
        TListeFrame *page = form.ListeFrame;
        page->lb->OpenFolder(FClips);
        ASSERT_TRUE(WaitUntil([&] { return page->lb->count() == 4 && !page->lb->Busy(); }, 30'000));
        EXPECT_EQ(page->lb->item(0)->text(), QStringLiteral("a.M2TS"));

        // A right click on the list opens the menu.
        const QPoint at = page->lb->visualItemRect(page->lb->item(1)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, page->lb->viewport()->mapToGlobal(at));
        QApplication::sendEvent(page->lb->viewport(), &click);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QStringList texts, checked;
        for (QAction *action : menu->actions()) {
            texts << action->text();
            if (action->isChecked())
                checked << action->text();
        }
        EXPECT_EQ(texts, (QStringList {QStringLiteral("Trier par ordre alphabétique"), taille,
                                       QStringLiteral("Trier selon la date du fichier"),
                                       QStringLiteral("Trier selon la date de prise de vue")}));
        EXPECT_EQ(checked, QStringList {QStringLiteral("Trier par ordre alphabétique")});
        menu->actions()[1]->trigger();
        menu->close();

        QStringList names;
        for (int i = 0; i < page->lb->count(); ++i)
            names << page->lb->item(i)->text();
        EXPECT_EQ(names, (QStringList {QStringLiteral("d.mts"), QStringLiteral("b.m2ts"),
                                       QStringLiteral("c.m2ts"), QStringLiteral("a.M2TS")}));
        EXPECT_EQ(page->lb->SortIndex().Key, QStringLiteral("taille"));
        EXPECT_EQ(page->cbTri->currentText(), taille);
        EXPECT_EQ(Settings.SortIndex, QStringLiteral("taille"));
        EXPECT_TRUE(form.close());
    }
    EXPECT_EQ(Reload().SortIndex, QStringLiteral("taille"));
    {
        TForm1 form(FWhere, KnownDurations({}));
        form.show();
        TListeFrame *page = form.ListeFrame;
        EXPECT_EQ(page->lb->SortIndex().Key, QStringLiteral("taille"));
        EXPECT_EQ(page->cbTri->currentText(), taille);
        std::unique_ptr<QMenu> menu(page->NewSortMenu(&form));
        EXPECT_TRUE(menu->actions()[1]->isChecked());
        EXPECT_FALSE(menu->actions()[0]->isChecked());
        // The drop-down under the list offers the same choices.
        ASSERT_EQ(page->cbTri->count(), 4);
        EXPECT_TRUE(page->cbTri->isVisible());
        EXPECT_GE(page->cbTri->y(), page->lb->geometry().bottom());
        EXPECT_LE(page->cbTri->geometry().bottom(), page->labCount->y());
        emit page->cbTri->activated(3);
        EXPECT_EQ(page->lb->SortIndex().Key, QStringLiteral("tournage"));
        EXPECT_TRUE(form.close());
    }
    EXPECT_EQ(Reload().SortIndex, QStringLiteral("tournage"));
}

TEST_F(ListFlowTest, DroppedFilesOpenInTheList)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(FClips + QStringLiteral("/c.m2ts"))});
    // A drop is delivered where the drag entered.
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FForm.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FForm.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    WaitForOpenings(1);
    EXPECT_EQ(Names(), QStringList {QStringLiteral("c.m2ts")});
}

TEST(ListeFrame, ExtensionTest)
{
    for (const char *name : {"clip.m2ts", "clip.M2TS", "a.b.M2Ts", "00000.MTS", "clip.mts", "été.Mts"})
        EXPECT_TRUE(TListeFrame::lbOpenTestExtension(QString::fromUtf8(name))) << name;
    // The camcorder's other files are not clips.
    for (const char *name : {"clip.m2t", "clip", "clip.m2ts.txt", "m2ts", "mts", "clip.mts.txt", "00000.CPI",
                             "00000.MPL", "INDEX.BDM", "MOVIEOBJ.BDM", "THUMB.TID", "clip.ts"})
        EXPECT_FALSE(TListeFrame::lbOpenTestExtension(QString::fromLatin1(name))) << name;
}

TEST(ListeFrame, CountsLineTexts)
{
    EXPECT_EQ(TListeFrame::CountsLine(0, QString()), QStringLiteral("Aucun fichier"));
    EXPECT_EQ(TListeFrame::CountsLine(1, QStringLiteral("1h 02mn 03s")),
              QStringLiteral("Un fichier : 1h 02mn 03s"));
    EXPECT_EQ(TListeFrame::CountsLine(3, QString()), QStringLiteral("3 fichiers : "));
    EXPECT_EQ(TListeFrame::CountsLine(12, QStringLiteral("4mn 05s")),
              QStringLiteral("12 fichiers : 4mn 05s"));
}

}  // namespace
