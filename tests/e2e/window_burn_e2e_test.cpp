// The whole road through the main window on the offscreen platform, with the
// three programs this project builds installed side by side: fixture clips
// opened through the list, "Disques", "Tous Disques" (which also starts the
// burn thread), then "Graver". The disc folder and the image the burner
// writes to the stdio: destination of its settings file are then judged by
// udfinfo and libbluray.
#include "app/form1.h"
#include "app/listeframe.h"
#include "authoring/abort.h"
#include "authoring/disquesframe.h"
#include "clips/fichierlistbox.h"
#include "widgets/superaction.h"

#include "../tools/burn/burntesthelpers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libbluray/bluray.h>

#include <memory>
#include <vector>

namespace {

class WindowBurnTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        previousFolder = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        for (const char *folder : {"bin", "tools", "flux", "meta", "avchd", "clips/Vacances"})
            ASSERT_TRUE(QDir(tmp.path()).mkpath(QString::fromLatin1(folder)));
        image = tmp.filePath(QStringLiteral("disque.img"));
        QFile ini(tmp.filePath(QStringLiteral("tools/imgburn.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[imgburn]\nDestination=stdio:" + image.toUtf8() + "\n");
        ini.close();

        where.ExeName = tmp.filePath(QStringLiteral("bin/tavrel"));
        where.HiveFile = tmp.filePath(QStringLiteral("registry.reg"));
        Settings = TSettings();
        AbortRequested = false;
        form = std::make_unique<TForm1>(where);
        form->Localiser = [] { return true; };
        form->ShowSplitMessage = [this](const QString &text) { messages << text; };
        form->show();
        // The first showing loaded the settings: the test's own come after.
        Settings.eac3tofile = Install("eac3to");
        Settings.tsMuxerFile = Install("tsmuxer");
        Settings.ImgBurnFile = Install("imgburn");
        Settings.DossierFlux = tmp.filePath(QStringLiteral("flux/"));
        Settings.Dossiermeta = tmp.filePath(QStringLiteral("meta/"));
        Settings.DossierAVCHD = tmp.filePath(QStringLiteral("avchd/"));
        Settings.DeleteMeta = Settings.DeleteFlux = false;
    }

    void TearDown() override
    {
        if (form) {
            if (auto thread = form->Disquesframe->Processor.BurnThread()) {
                EXPECT_TRUE(thread->WaitFor(30'000));
            }
        }
        form.reset();
        QDir::setCurrent(previousFolder);
    }

    // Copies a built program into the shared tools folder, as an
    // installation would, so the burner finds its settings file beside it.
    QString Install(const char *program)
    {
        const QString target = tmp.filePath(QStringLiteral("tools/") + QLatin1String(program));
        EXPECT_TRUE(QFile::copy(QStringLiteral(TAVREL_BIN_DIR "/") + QLatin1String(program), target)) << program;
        return target;
    }

    // Copies the fixture clips into the clip folder, then opens that folder
    // through the window's action and handles events until the opening
    // has ended.
    void OpenClips(const std::vector<const char *> &clips)
    {
        for (const char *clip : clips)
            ASSERT_TRUE(QFile::copy(QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(clip),
                                    tmp.filePath(QStringLiteral("clips/Vacances/") + QLatin1String(clip))))
                << "missing fixture " << clip;
        TFichierListBox *lb = form->ListeFrame->lb;
        int opened = -1;
        auto end = lb->OnOpenEnd;
        lb->OnOpenEnd = [&opened, end](int count) {
            end(count);
            opened = count;
        };
        const QString folder = tmp.filePath(QStringLiteral("clips"));
        form->saOpenFolder->Onprepare = [folder](TCustomSuperAction *) { ActionParams << folder; };
        form->saOpenFolder->Execute();
        QElapsedTimer clock;
        clock.start();
        while ((opened < 0 || lb->Busy()) && clock.elapsed() < 30'000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        lb->OnOpenEnd = end;
        ASSERT_EQ(opened, int(clips.size()));
        ASSERT_EQ(lb->count(), int(clips.size()));
    }

    TDisquesframe *Page() const { return form->Disquesframe; }

    QTemporaryDir tmp;
    QString previousFolder;
    QString image;
    TPrefsLocation where;
    std::unique_ptr<TForm1> form;
    QStringList messages;
};

// The image holds a UDF file system labelled as the disc and libbluray
// reads one title with a chapter per clip.
void ExpectBurntImage(const QString &image, const TDisque &disc)
{
    const std::string path = image.toStdString();
    ASSERT_TRUE(QFile::exists(image)) << path;
    const burntest::TRun info = burntest::RunProgram({"udfinfo", path});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\nlabel=" + disc.VolumeLabel().toStdString() + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nudfrev=2.50\n"), std::string::npos) << info.out;

    BLURAY *bd = bd_open(path.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    EXPECT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    if (BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0)) {
        EXPECT_EQ(title->chapter_count, uint32_t(disc.Clips.size()));
        bd_free_title_info(title);
    } else {
        ADD_FAILURE() << "no title in " << path;
    }
    bd_close(bd);
}

TEST_F(WindowBurnTest, ClipsBecomeDiscFoldersAndImagesThroughTheWindow)
{
    OpenClips({"small1s.m2ts", "small3s.m2ts", "videoonly.m2ts"});

    form->saDisques->Execute();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    ASSERT_EQ(Page()->Discs->Count(), 1);
    const TDiscPtr disc = Page()->Discs->At(0);
    ASSERT_EQ(disc->Clips.size(), 3);
    EXPECT_EQ(disc->VolumeLabel(), QStringLiteral("Vacances - Disque 01"));

    form->saTousDisques->Execute();
    EXPECT_FALSE(Page()->Processor.Processing());
    EXPECT_EQ(form->StatusBar1->text(), QStringLiteral("Prêt"));
    EXPECT_TRUE(disc->ReadyForMux);
    EXPECT_TRUE(disc->ReadyForBurn);
    const QString folder = disc->DiscFolder(Settings.DossierAVCHD);
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("BDMV/index.bdmv"))) << qPrintable(folder);
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("CERTIFICATE")).isDir()) << qPrintable(folder);

    // "Tous Disques" left the burning to its thread.
    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(30'000));
    ExpectBurntImage(image, *disc);

    // "Graver" burns the disc again: the image is made anew.
    ASSERT_TRUE(QFile::remove(image));
    form->saGraver->Execute();
    EXPECT_FALSE(Page()->Processor.Processing());
    ExpectBurntImage(image, *disc);
}

// Clips of a 60i camcorder (29.97 frames per second) play on the disc as
// long as they were filmed, each from its own chapter.
TEST_F(WindowBurnTest, NtscClipsKeepTheirDurationOnTheDisc)
{
    OpenClips({"ntsc60i.m2ts", "ntsc60i-b.m2ts"});
    form->saDisques->Execute();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    ASSERT_EQ(Page()->Discs->Count(), 1);
    const TDiscPtr disc = Page()->Discs->At(0);
    form->saTousDisques->Execute();
    ASSERT_TRUE(disc->ReadyForBurn);

    constexpr double frame = 90000 * 1001 / 30000.0; // 90 kHz ticks
    BLURAY *bd = bd_open(QFile::encodeName(disc->DiscFolder(Settings.DossierAVCHD)).constData(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    // In list order, ntsc60i-b (30 pictures) then ntsc60i (60 pictures).
    EXPECT_NEAR(double(title->duration), 90 * frame, frame);
    ASSERT_EQ(title->chapter_count, 2u);
    EXPECT_NEAR(double(title->chapters[0].start), 0, frame);
    EXPECT_NEAR(double(title->chapters[1].start), 30 * frame, frame);
    bd_free_title_info(title);
    bd_close(bd);
}

} // namespace
