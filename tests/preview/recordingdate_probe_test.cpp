// The recording date the clip probe reads: a clip made as a camcorder's
// card holds it gives the date written in it; a clip without the
// camcorder's message, such as every fixture clip, gives none.
#include "src/preview/mediadevice.h"
#include "tests/support/cardclip.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(RecordingDateProbe, CardClipGivesWhenItWasFilmed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("00000.MTS"));
    ASSERT_EQ(cardclip::Make(path, 1, 2012, 7, 14, 15, 30, 0), QString());
    const Tm2tsFileDevice device(path);
    EXPECT_TRUE(device.Valid());
    EXPECT_EQ(device.RecordingDate(), (TRecordingDate {2012, 7, 14, 15, 30, 0}));
    // The messages leave the clip whole: 25 pictures of 40 ms.
    EXPECT_EQ(device.Duration(), 10'000'000);
}

TEST(RecordingDateProbe, ClipWithoutTheMessageHasNoDate)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("00001.MTS"));
    ASSERT_EQ(cardclip::Make(path, 1, 0), QString());
    const Tm2tsFileDevice device(path);
    EXPECT_TRUE(device.Valid());
    EXPECT_EQ(device.RecordingDate(), std::nullopt);
}

TEST(RecordingDateProbe, NoFixtureClipHasADate)
{
    const QStringList clips = QDir(QStringLiteral(TAVREL_FIXTURE_DIR)).entryList(QDir::Files);
    ASSERT_GE(clips.size(), 10);
    for (const QString &clip : clips)
        EXPECT_EQ(Tm2tsFileDevice(QStringLiteral(TAVREL_FIXTURE_DIR "/") + clip).RecordingDate(),
                  std::nullopt)
            << qPrintable(clip);
}

}  // namespace
