// Opening real clips: each record's media device probes its clip on the
// opening worker, and the list only inserts.
#include "src/clips/fichierlistbox.h"
#include "src/preview/mediadevice.h"

#include <gtest/gtest.h>
#include <gst/gst.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace {

int argc = 1;
char name[] = "fichierlistbox_media_test";
char *argv[] = {name, nullptr};

class ListBoxMediaTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        gst_init(nullptr, nullptr);
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }
};

TEST_F(ListBoxMediaTest, FolderOfClipsIsProbedAndUnreadableClipsStayListed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *clip : {"cam1080i.m2ts", "small1s.m2ts", "bad.m2ts", "empty.m2ts"}) {
        const QString fixture = QString(TAVREL_FIXTURE_DIR "/") + clip;
        ASSERT_TRUE(QFile::exists(fixture)) << "missing fixture " << qPrintable(fixture);
        ASSERT_TRUE(QFile::link(fixture, dir.path() + "/" + clip));
    }

    TFichierListBox lb;
    lb.SetRecordClass(TlfCLass::M2tsFichier());
    lb.OnOpenTestExtension = [](const QString &wfilename) { return wfilename.endsWith(".m2ts"); };
    int ended = -1;
    lb.OnOpenEnd = [&](int nb) { ended = nb; };
    lb.OpenFolder(dir.path());
    QElapsedTimer timer;
    timer.start();
    while (ended < 0 && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);

    ASSERT_EQ(ended, 4);
    ASSERT_EQ(lb.count(), 4);
    std::map<QString, std::int64_t> durations;
    for (int i = 0; i < lb.count(); ++i) {
        auto *clip = dynamic_cast<Tm2tsFichier *>(lb.Record(i));
        ASSERT_NE(clip, nullptr);
        durations[clip->FileName()] = clip->Device()->Duration();
    }
    EXPECT_NEAR(durations["cam1080i.m2ts"], 20'000'000, 1'000'000);
    EXPECT_NEAR(durations["small1s.m2ts"], 10'000'000, 1'000'000);
    EXPECT_EQ(durations["bad.m2ts"], 0);
    EXPECT_EQ(durations["empty.m2ts"], 0);
}

}  // namespace
