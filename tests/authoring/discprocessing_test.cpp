// The widget-free pieces of the disc page: its texts, the log text of tool
// output, the gauge's byte count, the shared disc list and the burn thread.
#include "authoring/burnthread.h"
#include "authoring/discprocessor.h"
#include "authoring/disctexts.h"
#include "platform/datetime.h"
#include "testclips.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>
#include <sys/time.h>
#include <thread>

namespace {

struct NumberCase {
    int64_t value;
    const char *text;
};

TEST(DiscTexts, GroupsOfThreeDigitsWithDots)
{
    const NumberCase cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1.000"}, {123456, "123.456"}, {1234567, "1.234.567"},
        {4'600'000'000, "4.600.000.000"}, {-1234, "-1.234"},
    };
    for (const NumberCase &c : cases)
        EXPECT_EQ(GroupedNumber(c.value), QString::fromUtf8(c.text)) << c.value;
}

TEST(DiscTexts, DiscCount)
{
    EXPECT_EQ(DiscCountText(0), QStringLiteral("Aucun disque"));
    EXPECT_EQ(DiscCountText(1), QStringLiteral("Un disque"));
    EXPECT_EQ(DiscCountText(2), QStringLiteral("2 disques"));
    EXPECT_EQ(DiscCountText(12), QStringLiteral("12 disques"));
}

TEST(DiscTexts, DetailLines)
{
    TDisque disc(DiscCapacity);
    disc.TotalSize = 4'600'000'000;
    disc.ClipCount = 3;
    disc.TotalDuration = 3725 * Second;
    EXPECT_EQ(DiscSizeText(disc), QStringLiteral("taille: 4.600.000.000"));
    EXPECT_EQ(DiscClipCountText(disc), QStringLiteral("nb de fichiers: 3"));
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: 1h 02mn 05s"));
    disc.TotalDuration = 59 * Second;
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: 59s"));
    disc.TotalDuration = Second / 2;
    EXPECT_EQ(DiscDurationText(disc), QStringLiteral("Durée: "));
}

struct LogCase {
    const char *output;
    const char *shown;
};

TEST(LogText, ProgressRedrawnInPlaceReadsOneLinePerUpdate)
{
    const LogCase cases[] = {
        {"", ""},
        {" \r\n\t ", ""},
        {"done\n", "done"},
        {"\r25%\r50%\r\n", "25%\n50%"},
        {"0%\b\b25%\b\b\b50%", "0%\n25%\n50%"},
        {"  a\r\n\r\nb  ", "a\nb"},
        {"Durée: 1s\n", "Durée: 1s"},
    };
    for (const LogCase &c : cases)
        EXPECT_EQ(TDiscProcessor::LogText(QByteArray(c.output)), QString::fromUtf8(c.shown)) << c.output;
}

// Sets a file's last-write time seconds away from now.
void Age(const QString &path, int seconds)
{
    timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec += seconds;
    times[1] = times[0];
    ASSERT_EQ(utimes(QFile::encodeName(path).constData(), times), 0);
}

void WriteBytes(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size));
}

TEST(StreamBytes, CountsTheDiscsNewStreamFilesOnly)
{
    QTemporaryDir tmp;
    const QString folder = tmp.path() + u'/';
    TDisque disc(DiscCapacity);
    disc.StreamBase = QStringLiteral("00001");
    // A second back: file times come from a coarser clock than Now().
    disc.DemuxStart = Now() - 1.0 / 86400;
    WriteBytes(folder + QStringLiteral("00001.h264"), 3'000'000);
    WriteBytes(folder + QStringLiteral("00001.ac3"), 500'000);
    WriteBytes(folder + QStringLiteral("00001 - Log.txt"), 100);
    WriteBytes(folder + QStringLiteral("00001.old.h264"), 7'000'000); // an earlier run
    Age(folder + QStringLiteral("00001.old.h264"), -3600);
    WriteBytes(folder + QStringLiteral("00002.h264"), 9'000'000);     // another disc
    QDir(folder).mkdir(QStringLiteral("00001.folder"));
    EXPECT_EQ(TDiscProcessor::StreamBytes(disc, folder), 3'500'100);
    EXPECT_EQ(TDiscProcessor::StreamBytes(disc, folder + QStringLiteral("missing/")), 0);
}

TEST(DiscList, HandsOutDiscsThatOutliveTheList)
{
    TDiscList list;
    auto disc = std::make_shared<TdecoupeDisque>(DiscCapacity);
    std::weak_ptr<TdecoupeDisque> watch = disc;
    list.Assign({disc});
    disc.reset();
    TDiscPtr held = list.At(0);
    list.Assign({});
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.At(0), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    ASSERT_FALSE(watch.expired());
    held.reset();
    EXPECT_TRUE(watch.expired());
}

TDiscPtr NewDisc(int number, bool readyForBurn, bool burnt)
{
    auto disc = std::make_shared<TdecoupeDisque>(DiscCapacity);
    disc->Number = number;
    disc->Project = QStringLiteral("P");
    disc->ReadyForBurn = readyForBurn;
    disc->Burnt = burnt;
    return disc;
}

// The pass burns what is ready and not burnt, reads the count once, and
// keeps each disc alive while burning it even when the list is emptied.
TEST(BurnThread, OnePassOverTheReadyDiscs)
{
    auto list = std::make_shared<TDiscList>();
    list->Assign({NewDisc(1, true, false), NewDisc(2, false, false), NewDisc(3, true, true), NewDisc(4, true, false)});
    std::mutex mutex;
    QStringList burnt;
    TSettings settings;
    auto thread = TBurnThread::Start(list, settings, [&](const TDisque &disc, const TSettings &) {
        // The list goes away while the first disc burns.
        list->Assign({});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lock(mutex);
        burnt << disc.DiscName();
        return uint8_t(0);
    });
    ASSERT_TRUE(thread->WaitFor(10'000));
    EXPECT_TRUE(thread->Finished());
    std::lock_guard lock(mutex);
    EXPECT_EQ(burnt, QStringList{QStringLiteral("Disque 01")});
}

TEST(BurnThread, SetsNoMark)
{
    auto list = std::make_shared<TDiscList>();
    TDiscPtr disc = NewDisc(1, true, false);
    list->Assign({disc, NewDisc(2, true, false)});
    std::atomic<int> burns{0};
    auto thread = TBurnThread::Start(list, TSettings(), [&](const TDisque &, const TSettings &) {
        ++burns;
        return uint8_t(0);
    });
    ASSERT_TRUE(thread->WaitFor(10'000));
    EXPECT_EQ(burns, 2);
    EXPECT_FALSE(disc->Burnt);
}

} // namespace
