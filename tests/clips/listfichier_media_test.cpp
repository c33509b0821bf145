// Clip records of real files: the device probes the clip when the record
// is made; a clip it cannot read is still a record, with duration 0.
#include "src/clips/listfichier.h"
#include "src/preview/mediadevice.h"

#include <gtest/gtest.h>

namespace {

QString Fixture(const char *name)
{
    return QStringLiteral(TAVREL_FIXTURE_DIR "/") + QLatin1String(name);
}

TEST(Tm2tsFichier, MeasuresTheClipWhenCreated)
{
    const auto record = Tm2tsFichier::CreateFromPath(Fixture("cam1080i.m2ts"));
    EXPECT_EQ(record->FileName(), QStringLiteral("cam1080i.m2ts"));
    EXPECT_GT(record->Size(), 0u);
    ASSERT_NE(record->Device(), nullptr);
    EXPECT_EQ(record->Device()->Duration(), 20'000'000);
    EXPECT_EQ(record->Device()->VideoCount(), 1);
    EXPECT_EQ(record->Device()->AudioCount(), 1);
}

TEST(Tm2tsFichier, UnreadableClipIsStillARecord)
{
    for (const char *name : {"bad.m2ts", "truncated.m2ts", "empty.m2ts"}) {
        const std::vector<TFindData> entries = FindFiles(Fixture(name));
        ASSERT_EQ(entries.size(), 1u) << name;
        const auto record =
            TlfCLass::M2tsFichier().CreateFromEntry(QStringLiteral(TAVREL_FIXTURE_DIR "/"), entries[0]);
        auto *clip = dynamic_cast<Tm2tsFichier *>(record.get());
        ASSERT_NE(clip, nullptr) << name;
        EXPECT_EQ(clip->FullPath(), Fixture(name));
        EXPECT_EQ(clip->Device()->Duration(), 0) << name;
        EXPECT_FALSE(clip->Device()->Valid()) << name;
    }
}

TEST(Tm2tsFichier, MissingPathGivesAnEmptyRecordWithAnEmptyDevice)
{
    const auto record = Tm2tsFichier::CreateFromPath(Fixture("absent.m2ts"));
    EXPECT_TRUE(record->FullPath().isEmpty());
    ASSERT_NE(record->Device(), nullptr);
    EXPECT_EQ(record->Device()->Duration(), 0);
    EXPECT_FALSE(record->Device()->Valid());
}

}  // namespace
