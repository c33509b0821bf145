// Opens the fixture clips in the main window as a user would and saves a
// picture of the list page, for a person to look at the layout.
#include "src/app/form1.h"
#include "src/app/listeframe.h"
#include "src/clips/fichierlistbox.h"
#include "src/widgets/imagelist.h"
#include "src/widgets/superaction.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

TEST(MainWindowPicture, ListPageWithFixtureClips)
{
    QTemporaryDir tmp;
    TPrefsLocation where {tmp.filePath(QStringLiteral("bin/tavrel")),
                          tmp.filePath(QStringLiteral("registry.reg"))};
    Settings = TSettings();
    TForm1 form(where);
    form.Localiser = [] { return true; };
    form.show();
    TFichierListBox *lb = form.ListeFrame->lb;
    bool ended = false;
    auto end = lb->OnOpenEnd;
    lb->OnOpenEnd = [&](int nb) {
        end(nb);
        ended = true;
    };
    form.saOpenFolder->Onprepare = [](TCustomSuperAction *) {
        ActionParams << QStringLiteral(TAVREL_FIXTURE_DIR);
    };
    form.saOpenFolder->Execute();
    for (int i = 0; i < 3000 && !ended; ++i)
        QTest::qWait(10);
    ASSERT_TRUE(ended);

    const int clips =
        QDir(QStringLiteral(TAVREL_FIXTURE_DIR)).entryList({QStringLiteral("*.m2ts")}, QDir::Files).size();
    EXPECT_EQ(lb->count(), clips);
    EXPECT_TRUE(form.ListeFrame->labCount->text().startsWith(QString::number(clips)
                                                             + QStringLiteral(" fichiers : ")));
    EXPECT_EQ(form.StatusBar1->text(), QStringLiteral("Prêt"));
    lb->SetActive(2);

    QDir().mkpath(QStringLiteral(TAVREL_SCREENSHOT_DIR));
    const QString file = QStringLiteral(TAVREL_SCREENSHOT_DIR "/liste.png");
    ASSERT_TRUE(form.grab().save(file));
    std::printf("picture: %s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    TImageList::ChooseIconTheme();  // as the program does
    return RUN_ALL_TESTS();
}
