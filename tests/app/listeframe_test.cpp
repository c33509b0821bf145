// The list page in the main window: the welcome panel and the viewer as
// clips become active, the viewer closed by Vider and Disques and shown
// again on the way back, the volume keys, the page's own background, and
// pictures of both states for a person to look at.
#include "src/app/form1.h"
#include "src/app/listeframe.h"
#include "src/clips/fichierlistbox.h"
#include "src/platform/shell.h"
#include "src/preview/mediasystem.h"
#include "src/preview/viewframe.h"
#include "src/widgets/imagelist.h"
#include "src/widgets/linkedit.h"
#include "src/widgets/superaction.h"
#include "src/widgets/textgauge.h"
#include "tests/support/cardclip.h"
#include "tests/support/urlcatcher.h"
#include "tests/support/waituntil.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QHelpEvent>
#include <QSlider>
#include <QToolButton>
#include <QToolTip>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

// More than one colour inside the area of widget.
bool ShowsAPicture(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    return colours.size() > 4;
}

void Save(QWidget &form, const char *name)
{
    QDir().mkpath(QStringLiteral(TAVREL_SCREENSHOT_DIR));
    const QString file = QStringLiteral(TAVREL_SCREENSHOT_DIR "/") + QLatin1String(name);
    ASSERT_TRUE(form.grab().save(file));
    std::printf("picture: %s\n", qPrintable(file));
}

class ListePageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Settings = TSettings();
        FOrm = std::make_unique<TForm1>(TPrefsLocation {FTmp.filePath(QStringLiteral("bin/tavrel")),
                                                        FTmp.filePath(QStringLiteral("registry.reg"))});
        FOrm->Localiser = [] { return true; };
        FOrm->show();
        FPage = FOrm->ListeFrame;
    }
    void OpenFixtures()
    {
        TFichierListBox *lb = FPage->lb;
        bool ended = false;
        auto end = lb->OnOpenEnd;
        lb->OnOpenEnd = [&](int nb) {
            end(nb);
            ended = true;
        };
        FOrm->saOpenFolder->Onprepare = [](TCustomSuperAction *) {
            ActionParams << QStringLiteral(TAVREL_FIXTURE_DIR);
        };
        FOrm->saOpenFolder->Execute();
        ASSERT_TRUE(WaitUntil([&] { return ended; }, 30'000));
        lb->OnOpenEnd = end;
    }
    int IndexOf(const char *name) const
    {
        for (int i = 0; i < FPage->lb->count(); ++i)
            if (FPage->lb->Record(i)->FullPath().endsWith(QLatin1String(name)))
                return i;
        return -1;
    }

    QTemporaryDir FTmp;
    std::unique_ptr<TForm1> FOrm;
    TListeFrame *FPage = nullptr;
};

TEST_F(ListePageTest, WelcomePanelUntilAClipIsShown)
{
    EXPECT_TRUE(FPage->Disclaimer->isVisible());
    EXPECT_TRUE(FPage->Disclaimer->RichText().contains(QStringLiteral("<url site>en cliquant ici</url>")));
    EXPECT_EQ(FPage->Disclaimer->geometry(), QRect(326, 296, 318, 137));
    EXPECT_EQ(FPage->viewFrame->geometry(), QRect(300, 72, 376, 300));
    EXPECT_EQ(FPage->viewFrame->AvanceTrackBtn->x(), 337);
    EXPECT_TRUE(FPage->viewFrame->Image1->isVisible());
    Save(*FOrm, "liste-accueil.png");

    OpenFixtures();
    FPage->lb->SetActive(IndexOf("cam1080i.m2ts"));
    EXPECT_FALSE(FPage->Disclaimer->isVisible());
    ASSERT_TRUE(FPage->viewFrame->vw->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(FPage->viewFrame->vw); }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return FPage->viewFrame->edDuration->isVisible(); }, 5000));
    Save(*FOrm, "liste-lecteur.png");

    // A file that has no stream at all: the panel says why.
    FPage->lb->SetActive(IndexOf("bad.m2ts"));
    EXPECT_TRUE(FPage->Disclaimer->isVisible());
    EXPECT_TRUE(FPage->Disclaimer->RichText().contains(QStringLiteral("n'est pas une vidéo AVCHD lisible")))
        << FPage->Disclaimer->RichText().toStdString();
    EXPECT_TRUE(FPage->viewFrame->Image1->isVisible());

    FPage->lb->SetActive(IndexOf("small1s.m2ts"));
    EXPECT_FALSE(FPage->Disclaimer->isVisible());
    FOrm->saVider->Execute();
    EXPECT_EQ(FPage->lb->count(), 0);
    EXPECT_TRUE(FPage->Disclaimer->isVisible());
    EXPECT_FALSE(FOrm->MediaSystem->HasVideo());
}

TEST_F(ListePageTest, DisquesClosesTheViewerAndThePageHidesTheOneBehind)
{
    OpenFixtures();
    FPage->lb->SetActive(IndexOf("small3s.m2ts"));
    ASSERT_TRUE(FOrm->MediaSystem->HasVideo());
    FOrm->ShowSplitMessage = [](const QString &) {};
    FOrm->saDisques->Execute();
    EXPECT_FALSE(FOrm->MediaSystem->HasVideo());
    EXPECT_TRUE(FPage->Disclaimer->isVisible());
    FOrm->saListe->Execute();
    // Between the top buttons and in the empty right half, the list page's
    // own background, not the disc page's controls.
    const QImage picture = FOrm->grab().toImage();
    const QColor background = FPage->palette().color(QPalette::Window);
    for (const QPoint point : {QPoint(122, 20), QPoint(460, 40), QPoint(310, 440), QPoint(670, 420)})
        EXPECT_EQ(picture.pixelColor(point), background) << point.x() << ',' << point.y();
}

// Back from the disc page, the active clip plays again, fully laid out,
// and a click on it keeps it; with no active clip the welcome panel and
// the still picture show, without the controls.
TEST_F(ListePageTest, BackFromTheDiscPageTheActiveClipShowsAgain)
{
    FOrm->ShowSplitMessage = [](const QString &) {};
    TviewFrame *viewer = FPage->viewFrame;
    FOrm->saDisques->Execute();
    FOrm->saListe->Execute();
    EXPECT_TRUE(FPage->Disclaimer->isVisible());
    EXPECT_TRUE(viewer->Image1->isVisible());
    EXPECT_FALSE(viewer->vw->isVisible());
    EXPECT_FALSE(viewer->PlayBtn->isVisible());
    EXPECT_FALSE(viewer->tb->isVisible());

    OpenFixtures();
    const int active = IndexOf("small3s.m2ts");
    FPage->lb->SetActive(active);
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(viewer->vw); }, 5000));
    FOrm->saDisques->Execute();
    EXPECT_FALSE(FOrm->MediaSystem->HasVideo());
    FOrm->saListe->Execute();
    auto shown = [&] {
        return FOrm->MediaSystem->HasVideo() && !FPage->Disclaimer->isVisible() && viewer->vw->isVisible()
               && !viewer->Image1->isVisible() && viewer->PlayBtn->isVisible() && viewer->tb->isVisible()
               && viewer->edPosition->text() == QStringLiteral("0:00:00:00") && ShowsAPicture(viewer->vw);
    };
    EXPECT_TRUE(WaitUntil(shown, 5000)) << "the active clip is shown again";

    const QRect item = FPage->lb->visualItemRect(FPage->lb->item(active));
    QTest::mouseClick(FPage->lb->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(FPage->lb->currentRow(), active);
    EXPECT_TRUE(WaitUntil(shown, 5000)) << "a click on the active clip keeps it shown";

    // The clip before it, then the active clip again.
    const int other = IndexOf("small1s.m2ts");
    QTest::mouseClick(FPage->lb->viewport(), Qt::LeftButton, {},
                      FPage->lb->visualItemRect(FPage->lb->item(other)).center());
    QTest::mouseClick(FPage->lb->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(FPage->lb->Active(), FPage->lb->Record(active));
    EXPECT_TRUE(WaitUntil(shown, 5000));
}

// The keypad's + and − step the volume, whatever has the focus on the page,
// and so do the main keyboard's + and −. (On X11 Qt looks shortcuts up by
// what the layout makes of the key, which drops the keypad modifier; these
// events without native codes are looked up with it, then without.)
TEST_F(ListePageTest, PlusAndMinusKeysStepTheVolume)
{
    QApplication::setActiveWindow(FOrm.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(FOrm.get()));
    TviewFrame *viewer = FPage->viewFrame;
    const struct
    {
        const char *What;
        QWidget *Focus;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int Volume;
    } keys[] = {
        {"keypad + on the list", FPage->lb, Qt::Key_Plus, Qt::KeypadModifier, 6000},
        {"keypad + on the slider", viewer->tb, Qt::Key_Plus, Qt::KeypadModifier, 7000},
        {"keypad - on the list", FPage->lb, Qt::Key_Minus, Qt::KeypadModifier, 6000},
        {"main +", FPage->lb, Qt::Key_Plus, Qt::NoModifier, 7000},
        {"main -", FPage->lb, Qt::Key_Minus, Qt::NoModifier, 6000},
        {"Alt+M", FPage->lb, Qt::Key_M, Qt::AltModifier, 5000},
        {"Alt+P", FPage->lb, Qt::Key_P, Qt::AltModifier, 6000},
    };
    ASSERT_EQ(viewer->Volume, 5000);
    for (const auto &k : keys) {
        k.Focus->setFocus();
        QTest::keyClick(k.Focus, k.Key, k.Modifiers);
        EXPECT_EQ(viewer->Volume, k.Volume) << k.What;
        EXPECT_EQ(viewer->gaugeVolume->Progress(), k.Volume / 100) << k.What;
    }
}

// A clip from a camcorder's card says when it was filmed: in its hint in
// the list and on the preview's format line; a clip that does not tell
// shows neither.
TEST_F(ListePageTest, RecordingDateInTheHintAndThePreview)
{
    const QString clip = FTmp.filePath(QStringLiteral("00000.MTS"));
    ASSERT_EQ(cardclip::Make(clip, 1, 2012, 7, 14, 15, 30, 0), QString());
    TFichierListBox *lb = FPage->lb;
    lb->OpenFiles({clip, QStringLiteral(TAVREL_FIXTURE_DIR "/small1s.m2ts")});
    ASSERT_TRUE(WaitUntil([&] { return lb->count() == 2 && !lb->Busy(); }, 30'000));
    const QString filmed = QStringLiteral("Filmé le 14/07/2012 à 15:30:00");

    lb->SetActive(IndexOf("00000.MTS"));
    QLabel *line = FPage->viewFrame->labTournage;
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), filmed);
    ASSERT_TRUE(WaitUntil([&] { return FPage->viewFrame->labImageSize->isVisible(); }, 5000));
    Save(*FOrm, "liste-carte.png");
    // The list's own hint stays off; the item's shows over it.
    QListWidgetItem *item = lb->item(IndexOf("00000.MTS"));
    EXPECT_EQ(item->data(Qt::ToolTipRole).toString(), filmed);
    const QPoint over = lb->visualItemRect(item).center();
    QHelpEvent help(QEvent::ToolTip, over, lb->viewport()->mapToGlobal(over));
    QApplication::sendEvent(lb->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), filmed);
    QToolTip::hideText();
    ASSERT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }, 5000));

    const int plain = IndexOf("small1s.m2ts");
    lb->SetActive(plain);
    EXPECT_FALSE(line->isVisible());
    EXPECT_FALSE(lb->item(plain)->data(Qt::ToolTipRole).isValid());
    const QPoint overPlain = lb->visualItemRect(lb->item(plain)).center();
    QHelpEvent none(QEvent::ToolTip, overPlain, lb->viewport()->mapToGlobal(overPlain));
    QApplication::sendEvent(lb->viewport(), &none);
    EXPECT_FALSE(QToolTip::isVisible());
}

// The welcome panel's "site" link opens the home page set at build time;
// built without one (the default), the help page the build ships.
TEST_F(ListePageTest, TheSiteLinkOpensTheShippedHelpPage)
{
    TUrlCatcher catcher;
    for (const char *scheme : {"file", "https"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "Open");
    FPage->DisclaimerUrlClick(QStringLiteral("site"));
    for (const char *scheme : {"file", "https"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    ASSERT_EQ(catcher.Opened.size(), 1);
    const QString homePage = HomePageLocation();
    if (!homePage.startsWith(u'/')) {
        EXPECT_EQ(catcher.Opened[0], QUrl(homePage));
        return;
    }
    const QString opened = catcher.Opened[0].toLocalFile();
    EXPECT_EQ(opened, homePage);
    EXPECT_TRUE(opened.endsWith(QStringLiteral("/share/doc/tavrel/aide.html"))) << qPrintable(opened);
    EXPECT_TRUE(QFileInfo::exists(opened)) << qPrintable(opened);
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    TImageList::ChooseIconTheme();
    return RUN_ALL_TESTS();
}
