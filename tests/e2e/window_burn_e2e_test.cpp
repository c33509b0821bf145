// The whole road through the main window on the offscreen platform, with the
// three programs this project builds installed side by side: fixture clips
// opened through the list, "Disques", "Tous Disques" (which also starts the
// burn thread), then "Graver". The disc folder and the image the burner
// writes to the stdio: destination of its settings file are then judged by
// udfinfo, libudfread and libbluray. Then the roads that go wrong: a mux
// that fails, an interrupted mux, and the window closed during a burn.
#include "src/app/form1.h"
#include "src/app/listeframe.h"
#include "src/widgets/linkedit.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "src/clips/fichierlistbox.h"
#include "src/platform/runtool.h"
#include "src/prefs/settings.h"
#include "src/widgets/superaction.h"

#include "tests/tools/burn/burntesthelpers.h"
#include "tests/support/cardclip.h"
#include "tests/support/testwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QListWidgetItem>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <libbluray/bluray.h>

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

// Set for a test's child process: the folder of its parent test.
constexpr char kCloseChildVariable[] = "TAVREL_CLOSE_DURING_BURN";

class WindowBurnTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        // A child process started by a test works in its parent's folder,
        // which outlives it.
        const char *parentFolder = std::getenv(kCloseChildVariable);
        FRoot =
            parentFolder ? QFile::decodeName(parentFolder) + QStringLiteral("/child/") : FTmp.path() + u'/';
        FPreviousFolder = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(FRoot));
        QDir::setCurrent(FRoot);
        for (const char *folder : {"bin", "tools", "flux", "meta", "avchd", "clips/Vacances"})
            ASSERT_TRUE(QDir(FRoot).mkpath(QString::fromLatin1(folder)));
        FImage = Path(QStringLiteral("disque.img"));
        QFile ini(Path(QStringLiteral("tools/imgburn.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[imgburn]\nDestination=stdio:" + FImage.toUtf8() + "\n");
        ini.close();

        FForm = OpenTestWindow(FRoot, FWhere, FMessages);
        // The first showing loaded the settings: the test's own come after.
        Settings.eac3tofile = Install("eac3to");
        Settings.tsMuxerFile = Install("tsmuxer");
        Settings.ImgBurnFile = Install("imgburn");
        Settings.DossierFlux = Path(QStringLiteral("flux/"));
        Settings.Dossiermeta = Path(QStringLiteral("meta/"));
        Settings.DossierAVCHD = Path(QStringLiteral("avchd/"));
        Settings.DeleteMeta = Settings.DeleteFlux = false;
    }

    void TearDown() override
    {
        CloseTestWindow(FForm);
        QDir::setCurrent(FPreviousFolder);
    }

    // Copies a built program into the shared tools folder, as an
    // installation would, so the burner finds its settings file beside it.
    QString Install(const char *program)
    {
        const QString target = Path(QStringLiteral("tools/") + QLatin1String(program));
        EXPECT_TRUE(QFile::copy(QStringLiteral(TAVREL_BIN_DIR "/") + QLatin1String(program), target))
            << program;
        return target;
    }

    // Copies a fixture clip into the clip folder under the name given.
    void AddClip(const char *fixture, const QString &name)
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(fixture),
                                Path(QStringLiteral("clips/Vacances/") + name)))
            << "missing fixture " << fixture;
    }

    void AddThreeClips()
    {
        for (const char *clip : {"small1s.m2ts", "small3s.m2ts", "videoonly.m2ts"})
            AddClip(clip, QLatin1String(clip));
    }

    // Opens the clip folder through the window's action and handles events
    // until the opening has ended; then "Disques" makes its one disc.
    void OpenClipsIntoOneDisc(int clipCount)
    {
        OpenClips(clipCount);
        FForm->saDisques->Execute();
        EXPECT_TRUE(FMessages.isEmpty()) << qPrintable(FMessages.join(u'\n'));
        ASSERT_EQ(Page()->Discs->Count(), 1);
        ASSERT_EQ(Page()->Discs->At(0)->Clips.size(), clipCount);
    }

    // Opens folder (the clip folder when none is given) through the
    // window's "Dossier" action.
    void OpenClips(int clipCount, const QString &folder = {})
    {
        TFichierListBox *lb = FForm->ListeFrame->lb;
        int opened = -1;
        auto end = lb->OnOpenEnd;
        lb->OnOpenEnd = [&opened, end](int count) {
            end(count);
            opened = count;
        };
        const QString chosen = folder.isEmpty() ? Path(QStringLiteral("clips")) : folder;
        FForm->saOpenFolder->Onprepare = [chosen](TCustomSuperAction *) { ActionParams << chosen; };
        FForm->saOpenFolder->Execute();
        QElapsedTimer clock;
        clock.start();
        while ((opened < 0 || lb->Busy()) && clock.elapsed() < 30'000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        lb->OnOpenEnd = end;
        ASSERT_EQ(opened, clipCount);
        ASSERT_EQ(lb->count(), clipCount);
    }

    // Handles events until done() or timeoutMs.
    static bool HandleEventsUntil(const std::function<bool()> &done, int timeoutMs = 60'000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    TDisquesframe *Page() const { return FForm->Disquesframe; }

    // Demuxes and muxes the disc, then adds 300 MB to its folder, so that
    // the burner is at work a while.
    void MuxWithFiller(const TDiscPtr &disc)
    {
        Page()->Processor.ProcessDisc(disc, false);
        ASSERT_TRUE(disc->ReadyForBurn);
        QFile filler(disc->DiscFolder(Settings.DossierAVCHD) + QStringLiteral("CERTIFICATE/filler.bin"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'T');
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(filler.write(block), block.size());
    }

    QString Path(const QString &relative) const { return FRoot + relative; }

    QTemporaryDir FTmp;
    QString FRoot;
    QString FPreviousFolder;
    QString FImage;
    TPrefsLocation FWhere;
    std::unique_ptr<TForm1> FForm;
    QStringList FMessages;
};

// The image holds a UDF file system with the label and libbluray reads one
// title with that many chapters.
void ExpectBurntImage(const QString &image, const QString &label, int chapters)
{
    const std::string path = image.toStdString();
    ASSERT_TRUE(QFile::exists(image)) << path;
    const burntest::TRun info = burntest::RunProgram({"udfinfo", path});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\nlabel=" + label.toStdString() + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nudfrev=2.50\n"), std::string::npos) << info.out;

    BLURAY *bd = bd_open(path.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    EXPECT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    if (BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0)) {
        EXPECT_EQ(title->chapter_count, uint32_t(chapters));
        bd_free_title_info(title);
    } else {
        ADD_FAILURE() << "no title in " << path;
    }
    bd_close(bd);
}

// The disc folder's BDMV and CERTIFICATE are in the image byte for byte,
// as libudfread reads it.
void ExpectImageHoldsTheDiscFolder(const QString &image, const QString &folder)
{
    const std::vector<std::string> sources = {(folder + QStringLiteral("BDMV")).toStdString(),
                                              (folder + QStringLiteral("CERTIFICATE")).toStdString()};
    std::string error;
    const burntest::TListing listing = burntest::ListImage(image.toStdString(), error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(listing, burntest::ListSources(sources));
    EXPECT_EQ(burntest::CompareImageFiles(image.toStdString(), listing, sources), "");
}

TEST_F(WindowBurnTest, ClipsBecomeDiscFoldersAndImagesThroughTheWindow)
{
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    EXPECT_EQ(disc->VolumeLabel(), QStringLiteral("Vacances - Disque 01"));

    FForm->saTousDisques->Execute();
    EXPECT_FALSE(Page()->Processor.Processing());
    EXPECT_TRUE(disc->ReadyForMux);
    EXPECT_TRUE(disc->ReadyForBurn);
    const QString folder = disc->DiscFolder(Settings.DossierAVCHD);
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("BDMV/index.bdmv"))) << qPrintable(folder);
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("CERTIFICATE")).isDir()) << qPrintable(folder);

    // "Tous Disques" left the burning to its thread, which has the disc
    // ticked "Gravé" through the UI thread.
    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(30'000));
    ASSERT_TRUE(HandleEventsUntil([&] { return bool(disc->Burnt); }));
    EXPECT_TRUE(Page()->cbBurnt->isChecked());
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 disque prêt, 1 gravé"));
    ExpectBurntImage(FImage, disc->VolumeLabel(), disc->Clips.size());
    ExpectImageHoldsTheDiscFolder(FImage, folder);
    const QString log = Page()->Memo1->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("eac3to a terminé (code 0)"))) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("tsMuxeR a terminé (code 0)"))) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("ImgBurn a terminé (code 0)"))) << qPrintable(log);

    // "Graver" burns what is ready and not burnt: nothing, until "Gravé" is
    // unticked; then the image is made anew.
    ASSERT_TRUE(QFile::remove(FImage));
    FForm->saGraver->Execute();
    EXPECT_FALSE(QFile::exists(FImage));
    Page()->cbBurnt->setChecked(false);
    FForm->saGraver->Execute();
    EXPECT_FALSE(Page()->Processor.Processing());
    ExpectBurntImage(FImage, disc->VolumeLabel(), disc->Clips.size());
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The inode of a file, to tell a file replaced from one left alone.
ino_t Inode(const QString &path)
{
    struct stat st
    { };
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// The one title's duration in seconds, as libbluray reads it.
double TitleSeconds(const QString &image)
{
    BLURAY *bd = bd_open(QFile::encodeName(image).constData(), nullptr);
    if (!bd)
        return -1;
    double seconds = -1;
    if (bd_get_titles(bd, TITLES_ALL, 0) == 1)
        if (BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0)) {
            seconds = double(title->duration) / 90000;
            bd_free_title_info(title);
        }
    bd_close(bd);
    return seconds;
}

// 7-Zip, another reader we did not write, lists the stream file in the image.
void ExpectSevenZipReads(const QString &image)
{
    const burntest::TRun list = burntest::RunProgram({"7z", "l", image.toStdString()});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("BDMV/STREAM/00000.m2ts"), std::string::npos) << list.out;
}

// With "image" as the destination, "Tous Disques" writes one image file per
// disc, named after the project and the disc, in the images folder (made
// when missing); neither replaces the other. Burning disc 1 again replaces
// its own image, through a new file renamed into place.
TEST_F(WindowBurnTest, ImageFilePerDiscNamedAfterTheProjectAndTheDisc)
{
    AddClip("small3s.m2ts", QStringLiteral("a.m2ts"));
    AddClip("small1s.m2ts", QStringLiteral("b.m2ts"));
    Settings.Destination = kImageDestination;
    Settings.DossierImages = Path(QStringLiteral("images/Tavrel/"));
    // Discs the size of the larger clip: one clip each.
    Settings.TailleDisque = QFileInfo(Path(QStringLiteral("clips/Vacances/a.m2ts"))).size();
    OpenClips(2);
    FForm->saDisques->Execute();
    ASSERT_EQ(Page()->Discs->Count(), 2);

    FForm->saTousDisques->Execute();
    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(60'000));
    const TDiscPtr first = Page()->Discs->At(0), second = Page()->Discs->At(1);
    ASSERT_TRUE(HandleEventsUntil([&] { return bool(first->Burnt); }));
    // The burn thread passes once: disc 2 may have been muxed after it went
    // by. "Graver" writes what is left.
    FForm->saGraver->Execute();
    const QString image1 = Settings.DossierImages + QStringLiteral("Vacances - Disque 01.iso");
    const QString image2 = Settings.DossierImages + QStringLiteral("Vacances - Disque 02.iso");
    EXPECT_EQ(QDir(Settings.DossierImages).entryList(QDir::Files | QDir::Hidden),
              QStringList(
                  {QStringLiteral("Vacances - Disque 01.iso"), QStringLiteral("Vacances - Disque 02.iso")}));
    ExpectBurntImage(image1, first->VolumeLabel(), 1);
    ExpectBurntImage(image2, second->VolumeLabel(), 1);
    ExpectImageHoldsTheDiscFolder(image1, first->DiscFolder(Settings.DossierAVCHD));
    ExpectImageHoldsTheDiscFolder(image2, second->DiscFolder(Settings.DossierAVCHD));
    ExpectSevenZipReads(image1);
    ExpectSevenZipReads(image2);
    EXPECT_NEAR(TitleSeconds(image1), 3.0, 0.1);
    EXPECT_NEAR(TitleSeconds(image2), 1.0, 0.1);
    const QString log = Page()->Memo1->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("Disque 02 écrit dans ") + image2)) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("/BUILDOUTPUTMODE IMAGEFILE"))) << qPrintable(log);
    // Verified: the percentages stay out of the log, the command line says it.
    EXPECT_TRUE(log.contains(QStringLiteral("/VERIFY YES"))) << qPrintable(log);
    EXPECT_FALSE(log.contains(QStringLiteral("Verifying: "))) << qPrintable(log);

    // Disc 1 again: its image is made anew and renamed over the old one;
    // disc 2's stays as it was.
    const ino_t before1 = Inode(image1), before2 = Inode(image2);
    const QByteArray bytes2 = FileBytes(image2);
    Page()->cbBurnt->setChecked(false);  // disc 1 is the active one
    ASSERT_FALSE(first->Burnt);
    ASSERT_EQ(Page()->ActiveDisc(), first);
    FForm->saDisqueActuel->Execute();
    EXPECT_TRUE(first->Burnt);
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 gravé"));
    EXPECT_NE(Inode(image1), before1);
    ExpectBurntImage(image1, first->VolumeLabel(), 1);
    EXPECT_EQ(Inode(image2), before2);
    EXPECT_EQ(FileBytes(image2), bytes2);
    EXPECT_EQ(QDir(Settings.DossierImages).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A stdio: pseudo-drive chosen as the destination is written to, in place
// of the burner's own settings file's.
TEST_F(WindowBurnTest, StdioDriveChosenAsDestinationIsWrittenTo)
{
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    const QString drive = Path(QStringLiteral("drive.img"));
    Settings.Destination = QStringLiteral("stdio:") + drive;
    FForm->saDisqueActuel->Execute();
    EXPECT_TRUE(disc->Burnt);
    EXPECT_FALSE(QFile::exists(FImage));
    ExpectBurntImage(drive, disc->VolumeLabel(), 3);
    ExpectImageHoldsTheDiscFolder(drive, disc->DiscFolder(Settings.DossierAVCHD));
    EXPECT_TRUE(Page()->Memo1->toPlainText().contains(QStringLiteral("Disque 01 gravé sur stdio:") + drive));
}

// A mux that fails (the disc folder's place is taken by a file) keeps the
// streams and the meta file, ticks nothing, and nothing burns the disc.
TEST_F(WindowBurnTest, FailedMuxKeepsItsInputsAndIsNotBurnt)
{
    Settings.DeleteMeta = Settings.DeleteFlux = true;
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    const QString folder = disc->DiscFolder(Settings.DossierAVCHD);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(folder.chopped(1)).path()));
    QFile blocker(folder.chopped(1));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    FForm->saTousDisques->Execute();
    EXPECT_TRUE(disc->ReadyForMux);
    EXPECT_FALSE(disc->ReadyForBurn);
    EXPECT_FALSE(Page()->cbReadyforBurn->isChecked());
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 échec (voir le journal)"));
    EXPECT_EQ(FForm->StatusColour(), QColor(255, 0, 0));
    EXPECT_EQ(Page()->labEchec->text(),
              QStringLiteral("Erreur pendant l'exécution de tsMuxeR : un élément du "
                             "chemin n'est pas un dossier"));
    ASSERT_EQ(disc->Streams.size(), 2);
    for (const QString &stream : disc->Streams)
        EXPECT_TRUE(QFile::exists(stream)) << qPrintable(stream);
    EXPECT_TRUE(QFile::exists(Settings.Dossiermeta + QStringLiteral("Vacances.meta")));
    EXPECT_TRUE(Page()->Memo1->toPlainText().contains(QStringLiteral("tsMuxeR a échoué (code 2)")));

    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(30'000));
    FForm->saGraver->Execute();
    QApplication::processEvents();
    EXPECT_FALSE(QFile::exists(FImage));
    EXPECT_FALSE(disc->Burnt);
}

// The hidden folders the muxer builds its tree in, beside the disc folder.
QStringList HiddenMuxFolders(const QString &discFolder)
{
    QDir project(QFileInfo(discFolder.chopped(1)).path());
    return project.entryList({QStringLiteral(".*tsmuxer*")}, QDir::AllEntries | QDir::Hidden);
}

// The processes running the program at path, by their executables.
QList<pid_t> RunningCopiesOf(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    QList<pid_t> pids;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
        if (QFile::symLinkTarget(QStringLiteral("/proc/") + pid + QStringLiteral("/exe")) == target)
            pids << pid_t(pid.toInt());
    return pids;
}

// A field of the kernel's status of process pid ("State", "ShdPnd"...).
QByteArray ProcessStatus(pid_t pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed();
    return {};
}

// Whether a signal sent to process pid as a whole waits for it.
bool SignalPending(pid_t pid, int signal)
{
    return (ProcessStatus(pid, "ShdPnd").toULongLong(nullptr, 16) >> (signal - 1)) & 1;
}

// Holds the muxer still (SIGSTOP) from the moment its hidden folder appears
// until a SIGTERM waits for it, then lets it go on to handle it: however
// fast the muxer is, it can be stopped while at work. Runs on its own thread,
// as the window's thread only looks between the runner's calls.
class TMuxerHold
{
public:
    TMuxerHold(const QString &muxer, const QString &discFolder)
        : FThread([this, muxer, discFolder] { Run(muxer, discFolder); })
    { }
    ~TMuxerHold()
    {
        FQuit = true;
        FThread.join();
    }
    // The muxer is held in its hidden folder's making.
    bool Holding() const { return FHolding; }

private:
    void Run(const QString &muxer, const QString &discFolder)
    {
        pid_t held = 0;
        while (!FQuit) {
            if (held == 0 && !HiddenMuxFolders(discFolder).isEmpty()) {
                const QList<pid_t> pids = RunningCopiesOf(muxer);
                if (pids.size() == 1 && kill(pids[0], SIGSTOP) == 0)
                    held = pids[0];
            } else if (held != 0 && !FHolding) {
                // SIGSTOP takes effect later: a SIGTERM sent before would
                // be handled first, being the lower signal.
                FHolding = ProcessStatus(held, "State").startsWith('T');
            } else if (held != 0 && SignalPending(held, SIGTERM)) {
                kill(held, SIGCONT);
                return;
            }
            QThread::msleep(1);
        }
        if (held != 0)
            kill(held, SIGCONT);
    }

    std::atomic<bool> FQuit {false}, FHolding {false};
    std::thread FThread;
};

// "Interrompre" while the muxer builds the tree: it is asked to stop, not
// killed outright, and removes its hidden folder.
TEST_F(WindowBurnTest, InterruptedMuxLeavesNoHiddenFolder)
{
    // Enough pictures for the muxer to be at work a while.
    for (int i = 0; i < 24; ++i)
        AddClip("cam1080i.m2ts", QStringLiteral("cam%1.m2ts").arg(i, 2, 10, QChar(u'0')));
    OpenClipsIntoOneDisc(24);
    const TDiscPtr disc = Page()->Discs->At(0);
    const QString folder = disc->DiscFolder(Settings.DossierAVCHD);

    bool caught = false;
    TMuxerHold hold(Settings.tsMuxerFile, folder);
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        // Once the muxer is held at work in its hidden folder.
        if (!caught && hold.Holding()) {
            caught = true;
            FForm->saAbort->Execute();
        }
    });
    watch.start();
    FForm->saTousDisques->Execute();
    watch.stop();

    ASSERT_TRUE(caught) << "the muxer ended before it could be interrupted";
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Interrompu : 1 interrompu"));
    EXPECT_EQ(FForm->StatusColour(), QColor(255, 255, 0));
    EXPECT_FALSE(disc->ReadyForBurn);
    EXPECT_EQ(HiddenMuxFolders(folder), QStringList());
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("BDMV")));
}

// The child side of the next test, run in a process of its own: it burns a
// disc of a few hundred megabytes on the burn thread, closes the window
// while the image is being written and ends the process as the program
// does, with the burner still running.
TEST_F(WindowBurnTest, CloseDuringBurnChild)
{
    if (!std::getenv(kCloseChildVariable))
        GTEST_SKIP() << "run by CloseDuringBurnLeavesTheBurnToFinish";
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    // The demux and mux first, then a large file on the disc, so that the
    // burner has a few hundred megabytes to write.
    MuxWithFiller(disc);

    FForm->saTousDisques->Execute();
    ASSERT_TRUE(Page()->Processor.BurnThread());
    ASSERT_TRUE(HandleEventsUntil([&] { return QFileInfo(FImage).size() > 20'000'000; }))
        << "the burner did not start writing";
    // With a place chosen for the settings, closing asks nothing; the hive
    // goes to the test's folder.
    Settings.PrefsMode = pmNormal;
    ASSERT_TRUE(FForm->close());
    QFile(Path(QStringLiteral("closed"))).open(QIODevice::WriteOnly);
    FTmp.remove();
    // As the program ends once its window is closed.
    std::exit(0);
}

TEST_F(WindowBurnTest, CloseDuringBurnLeavesTheBurnToFinish)
{
    if (std::getenv(kCloseChildVariable))
        GTEST_SKIP() << "the child side";
    qputenv(kCloseChildVariable, QFile::encodeName(FTmp.path()));
    QByteArray childOutput;
    const TToolOutcome outcome = RunTool(
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
        QStringLiteral("--gtest_filter=WindowBurnTest.CloseDuringBurnChild"),
        [&childOutput](const QByteArray &out, const QByteArray &err, bool &) { childOutput += out + err; });
    qunsetenv(kCloseChildVariable);
    const QString child = Path(QStringLiteral("child/"));
    ASSERT_TRUE(QFile::exists(child + QStringLiteral("closed"))) << childOutput.toStdString();
    EXPECT_EQ(outcome.End, TToolOutcome::Exited);

    // The burner goes on alone; once it has ended, the image is whole.
    const QString burner = child + QStringLiteral("tools/imgburn");
    QElapsedTimer clock;
    clock.start();
    while (!RunningCopiesOf(burner).isEmpty() && clock.elapsed() < 120'000)
        QThread::msleep(50);
    ASSERT_TRUE(RunningCopiesOf(burner).isEmpty());
    const QString image = child + QStringLiteral("disque.img");
    ExpectBurntImage(image, QStringLiteral("Vacances - Disque 01"), 3);
    ExpectImageHoldsTheDiscFolder(image, child + QStringLiteral("avchd/Vacances/Disque 01/"));
}

// Without a drive the burner fails: once the run is over, its summary stays
// in the status bar, in red, and the disc's details say why in French;
// "Graver" then ends the same way.
TEST_F(WindowBurnTest, FailedBurnStaysInTheStatusBar)
{
    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("tools/imgburn.ini"))));
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    FForm->saTousDisques->Execute();
    ASSERT_TRUE(disc->ReadyForBurn);
    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(60'000));
    const QString summary = QStringLiteral("Terminé : 1 disque prêt, 1 échec (voir le journal)");
    ASSERT_TRUE(HandleEventsUntil([&] { return FForm->StatusBar1->text() == summary; }))
        << qPrintable(FForm->StatusBar1->text());
    EXPECT_EQ(FForm->StatusColour(), QColor(255, 0, 0));
    EXPECT_FALSE(disc->Burnt);
    EXPECT_EQ(Page()->labEchec->text(),
              QStringLiteral(
                  "Erreur pendant la gravure du disque Disque 01 : aucun graveur de DVD n'a été trouvé"));
    EXPECT_TRUE(Page()->Memo1->toPlainText().contains(QStringLiteral("No optical drive found.")));
    // Nothing paints over it later.
    HandleEventsUntil([] { return false; }, 500);
    EXPECT_EQ(FForm->StatusBar1->text(), summary);

    FForm->saGraver->Execute();
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 échec (voir le journal)"));
    EXPECT_EQ(FForm->StatusColour(), QColor(255, 0, 0));
}

// "Interrompre" during a burn asks first. Not confirmed, the burn goes on
// to a whole image; confirmed, the burner stops by itself (SIGTERM, not
// killed), and the disc is not marked burnt.
TEST_F(WindowBurnTest, InterruptedBurnAsksFirstAndMarksNothing)
{
    AddThreeClips();
    OpenClipsIntoOneDisc(3);
    const TDiscPtr disc = Page()->Discs->At(0);
    MuxWithFiller(disc);

    QStringList questions;
    bool stop = false;
    FForm->ConfirmStopBurn = [&](const QString &question) {
        questions << question;
        return stop;
    };
    bool asked = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!asked && QFileInfo(FImage).size() > 20'000'000) {
            asked = true;
            FForm->saAbort->Execute();
        }
    });
    watch.start();
    FForm->saDisqueActuel->Execute();
    ASSERT_TRUE(asked) << "the burner ended before it could be interrupted";
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0],
              QStringLiteral("La gravure du Disque 01 est en cours. L'interrompre rendra ce disque "
                             "inutilisable. Interrompre ?"));
    EXPECT_TRUE(disc->Burnt);
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Terminé : 1 gravé"));
    ExpectBurntImage(FImage, disc->VolumeLabel(), 3);

    Page()->cbBurnt->setChecked(false);
    stop = true;
    asked = false;
    // Asked once the new image is being written.
    ASSERT_TRUE(QFile::remove(FImage));
    FForm->saDisqueActuel->Execute();
    watch.stop();
    ASSERT_TRUE(asked) << "the burner ended before it could be interrupted";
    EXPECT_EQ(questions.size(), 2);
    EXPECT_FALSE(disc->Burnt);
    EXPECT_FALSE(Page()->cbBurnt->isChecked());
    EXPECT_TRUE(disc->ReadyForBurn);
    EXPECT_EQ(FForm->StatusBar1->text(), QStringLiteral("Interrompu : 1 interrompu"));
    const QString log = Page()->Memo1->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("ImgBurn a été interrompu (code 2)"))) << qPrintable(log);
    EXPECT_TRUE(log.contains(QStringLiteral("Stopped on request"))) << qPrintable(log);
}

// A folder mixing clips with files that are not: those are greyed in the
// list with the reason in their hint, the preview says why, "Disques"
// leaves them out, naming each, and the clips make a disc libbluray reads.
TEST_F(WindowBurnTest, FilesThatAreNotClipsAreLeftOut)
{
    AddThreeClips();
    QFile(Path(QStringLiteral("clips/Vacances/vide.m2ts"))).open(QIODevice::WriteOnly);
    QFile whole(QStringLiteral(TAVREL_FIXTURE_DIR "/small1s.m2ts"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile truncated(Path(QStringLiteral("clips/Vacances/tronque.m2ts")));
    ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
    truncated.write(whole.read(192 * 4));
    truncated.close();
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(Path(QStringLiteral("clips/Vacances/photo.m2ts")), "PNG"));
    OpenClips(6);

    TFichierListBox *lb = FForm->ListeFrame->lb;
    const QStringList bad = {QStringLiteral("photo.m2ts"), QStringLiteral("tronque.m2ts"),
                             QStringLiteral("vide.m2ts")};
    for (int i = 0; i < lb->count(); ++i) {
        const QListWidgetItem *item = lb->item(i);
        const bool unreadable = bad.contains(item->text());
        EXPECT_EQ(item->toolTip().startsWith(QStringLiteral("Pas une vidéo AVCHD lisible : ")), unreadable)
            << qPrintable(item->text()) << " " << qPrintable(item->toolTip());
        EXPECT_EQ(item->foreground().color() == QColor(Qt::gray), unreadable) << qPrintable(item->text());
        if (item->text() == QStringLiteral("vide.m2ts")) {
            EXPECT_EQ(item->toolTip(), QStringLiteral("Pas une vidéo AVCHD lisible : le fichier est vide"));
        }
        if (item->text() == QStringLiteral("photo.m2ts")) {
            EXPECT_EQ(
                item->toolTip(),
                QStringLiteral("Pas une vidéo AVCHD lisible : ce n'est pas un flux vidéo MPEG-TS (AVCHD)"));
            lb->SetActive(i);
            QApplication::processEvents();
            EXPECT_TRUE(FForm->ListeFrame->Disclaimer->isVisible());
            EXPECT_TRUE(FForm->ListeFrame->Disclaimer->toPlainText().contains(
                QStringLiteral("photo.m2ts n'est pas une vidéo AVCHD lisible : ce n'est pas un flux vidéo")))
                << qPrintable(FForm->ListeFrame->Disclaimer->toPlainText());
        }
    }

    FForm->saDisques->Execute();
    ASSERT_EQ(FMessages.size(), 1);
    QStringList expected;
    for (const QString &name : bad)
        expected << QStringLiteral("Le fichier ") + Path(QStringLiteral("clips/Vacances/")) + name
                        + QStringLiteral(
                            " n'est pas une vidéo AVCHD lisible ; il n'est pas mis sur un disque");
    EXPECT_EQ(FMessages[0], expected.join(u'\n'));
    ASSERT_EQ(Page()->Discs->Count(), 1);
    const TDiscPtr disc = Page()->Discs->At(0);
    ASSERT_EQ(disc->Clips.size(), 3);
    FForm->saDisqueActuel->Execute();
    ASSERT_TRUE(disc->Burnt);
    ExpectBurntImage(FImage, disc->VolumeLabel(), 3);
}

// Clips of a 60i camcorder (29.97 frames per second) play on the disc as
// long as they were filmed, each from its own chapter.
TEST_F(WindowBurnTest, NtscClipsKeepTheirDurationOnTheDisc)
{
    for (const char *clip : {"ntsc60i.m2ts", "ntsc60i-b.m2ts"})
        AddClip(clip, QLatin1String(clip));
    OpenClipsIntoOneDisc(2);
    const TDiscPtr disc = Page()->Discs->At(0);
    FForm->saTousDisques->Execute();
    ASSERT_TRUE(disc->ReadyForBurn);

    constexpr double kFrame = 90000 * 1001 / 30000.0;  // 90 kHz ticks
    BLURAY *bd = bd_open(QFile::encodeName(disc->DiscFolder(Settings.DossierAVCHD)).constData(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    // In list order, ntsc60i-b (30 pictures) then ntsc60i (60 pictures).
    EXPECT_NEAR(double(title->duration), 90 * kFrame, kFrame);
    ASSERT_EQ(title->chapter_count, 2u);
    EXPECT_NEAR(double(title->chapters[0].start), 0, kFrame);
    EXPECT_NEAR(double(title->chapters[1].start), 30 * kFrame, kFrame);
    bd_free_title_info(title);
    bd_close(bd);
}

// Every entry below folder with its size, last-write time and content.
QMap<QString, QString> TreeSnapshot(const QString &folder)
{
    QMap<QString, QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString facts =
            QString::number(info.size()) + u' ' + QString::number(info.lastModified().toMSecsSinceEpoch());
        QFile file(info.filePath());
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            facts += u' '
                     + QString::fromLatin1(
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
        entries.insert(info.filePath().mid(folder.size()), facts);
    }
    return entries;
}

// Makes every file below folder read-only, or writable again.
void SetTreeWritable(const QString &folder, bool writable)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList paths {folder};
    while (it.hasNext())
        paths << it.next();
    const auto read = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto enter = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    for (const QString &path : paths) {
        const bool isFolder = QFileInfo(path).isDir();
        QFile::setPermissions(path, read | (isFolder ? enter : QFile::Permissions())
                                        | (writable ? QFile::WriteOwner : QFile::Permissions()));
    }
}

// A camcorder's memory card, read-only, opened at its root with "Dossier"
// while the list is sorted by when the clips were filmed: the clips are
// named in the reverse order of their filming and have the same file date,
// so only the dates the camcorder wrote in them put the clip filmed first
// (1 s long) before the other (3 s) on the disc. Nothing is written to the
// card. Runs on an X server of its own (see CMakeLists.txt).
TEST_F(WindowBurnTest, CardClipsInTheOrderTheyWereFilmed)
{
    const QString card = Path(QStringLiteral("carte/"));
    const QString bdmv = card + QStringLiteral("PRIVATE/AVCHD/BDMV/");
    for (const char *folder : {"STREAM", "CLIPINF", "PLAYLIST"})
        ASSERT_TRUE(QDir().mkpath(bdmv + QLatin1String(folder)));
    ASSERT_TRUE(QDir().mkpath(card + QStringLiteral("PRIVATE/AVCHD/AVCHDTN")));
    ASSERT_EQ(cardclip::Make(bdmv + QStringLiteral("STREAM/00000.MTS"), 3, 2012, 7, 14, 15, 30, 0),
              QString());
    ASSERT_EQ(cardclip::Make(bdmv + QStringLiteral("STREAM/00001.MTS"), 1, 2012, 7, 14, 9, 0, 0), QString());
    // The camcorder's other files.
    for (const char *other : {"PRIVATE/AVCHD/BDMV/INDEX.BDM", "PRIVATE/AVCHD/BDMV/MOVIEOBJ.BDM",
                              "PRIVATE/AVCHD/BDMV/CLIPINF/00000.CPI", "PRIVATE/AVCHD/BDMV/CLIPINF/00001.CPI",
                              "PRIVATE/AVCHD/BDMV/PLAYLIST/00000.MPL", "PRIVATE/AVCHD/AVCHDTN/THUMB.TDT",
                              "PRIVATE/AVCHD/AVCHDTN/THUMB.TID"}) {
        QFile file(card + QLatin1String(other));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("camcorder data");
    }
    const QDateTime copied(QDate(2024, 1, 2), QTime(10, 0, 0));
    for (const char *clip : {"STREAM/00000.MTS", "STREAM/00001.MTS"}) {
        QFile file(bdmv + QLatin1String(clip));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(copied, QFileDevice::FileModificationTime));
    }
    SetTreeWritable(card, false);
    const QMap<QString, QString> before = TreeSnapshot(card);

    // The order is chosen in the clip list's right-click menu.
    TListeFrame *list = FForm->ListeFrame;
    std::unique_ptr<QMenu> menu(list->NewSortMenu(FForm.get()));
    const QList<QAction *> entries = menu->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[3]->text(), QStringLiteral("Trier selon la date de prise de vue"));
    entries[3]->trigger();
    EXPECT_EQ(list->lb->SortIndex().Key, QStringLiteral("tournage"));

    OpenClips(2, card);
    EXPECT_EQ(list->lb->item(0)->text(), QStringLiteral("00001.MTS"));
    EXPECT_EQ(list->lb->item(1)->text(), QStringLiteral("00000.MTS"));
    FForm->saDisques->Execute();
    EXPECT_TRUE(FMessages.isEmpty()) << qPrintable(FMessages.join(u'\n'));
    ASSERT_EQ(Page()->Discs->Count(), 1);
    const TDiscPtr disc = Page()->Discs->At(0);
    FForm->saTousDisques->Execute();
    ASSERT_TRUE(disc->ReadyForBurn);
    EXPECT_TRUE(QFile::exists(Settings.DossierFlux + QStringLiteral("00001.h264")));
    const auto thread = Page()->Processor.BurnThread();
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->WaitFor(60'000));
    ASSERT_TRUE(HandleEventsUntil([&] { return bool(disc->Burnt); }));
    ExpectBurntImage(FImage, disc->VolumeLabel(), 2);

    constexpr double kFrame = 90000 / 25.0;  // 90 kHz ticks
    BLURAY *bd = bd_open(QFile::encodeName(FImage).constData(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(title->chapter_count, 2u);
    EXPECT_NEAR(double(title->chapters[0].duration), 25 * kFrame, kFrame);  // filmed at 09:00
    EXPECT_NEAR(double(title->chapters[1].start), 25 * kFrame, kFrame);
    EXPECT_NEAR(double(title->chapters[1].duration), 75 * kFrame, kFrame);  // filmed at 15:30
    bd_free_title_info(title);
    bd_close(bd);

    EXPECT_EQ(TreeSnapshot(card), before);
    SetTreeWritable(card, true);
}

}  // namespace
