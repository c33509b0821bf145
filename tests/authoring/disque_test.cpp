#include "src/authoring/disque.h"
#include "src/authoring/listdisque.h"

#include "tests/authoring/testclips.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DisqueTest : public testing::Test
{
protected:
    QTemporaryDir FDir;
    TestClipList FClips;
    QString Path(const QString &name) const { return FDir.filePath(name); }
};

TEST_F(DisqueTest, NewDiscIsEmpty)
{
    const TDisque disc(kDiscCapacity);
    EXPECT_TRUE(disc.Clips.isEmpty());
    EXPECT_TRUE(disc.Chapters.isEmpty());
    EXPECT_TRUE(disc.Streams.isEmpty());
    EXPECT_TRUE(disc.Streams.MetaString.isEmpty());
    EXPECT_EQ(disc.ClipCount, 0);
    EXPECT_EQ(disc.TotalSize, 0);
    EXPECT_EQ(disc.TotalDuration, 0);
    EXPECT_FALSE(disc.ReadyForMux);
    EXPECT_FALSE(disc.ReadyForBurn);
    EXPECT_FALSE(disc.Burnt);
    EXPECT_EQ(disc.Capacity, kDiscCapacity);
}

TEST_F(DisqueTest, AddClipCountsSizeAndDuration)
{
    TDisque disc(1000);
    const Tm2tsFichier *a = FClips.Add(Path("a.m2ts"), 400, 3 * Second);
    const Tm2tsFichier *b = FClips.Add(Path("b.m2ts"), 600, 5 * Second);
    EXPECT_EQ(disc.AddClip(a), acAdded);
    EXPECT_EQ(disc.AddClip(b), acAdded);  // exactly fills the disc
    ASSERT_EQ(disc.Clips.size(), 2);
    EXPECT_EQ(disc.Clips[0].Path, a->FullPath());
    EXPECT_EQ(disc.Clips[1].Record, b);
    EXPECT_EQ(disc.ClipCount, 2);
    EXPECT_EQ(disc.TotalSize, 1000);
    EXPECT_EQ(disc.TotalDuration, 8 * Second);
}

struct RefusalCase
{
    const char *what;
    int64_t firstSize;  // -1: no first clip
    int64_t size;
    bool sameRecord;
    bool removeFile;
    TAddClipResult code;
};

class AddClipRefusal : public DisqueTest, public testing::WithParamInterface<RefusalCase>
{ };

TEST_P(AddClipRefusal, LeavesTheDiscUnchanged)
{
    const RefusalCase &c = GetParam();
    TDisque disc(1000);
    const Tm2tsFichier *first = c.firstSize >= 0 ? FClips.Add(Path("first.m2ts"), c.firstSize) : nullptr;
    if (first) {
        ASSERT_EQ(disc.AddClip(first), acAdded);
    }
    const Tm2tsFichier *clip = c.sameRecord ? first : FClips.Add(Path("clip.m2ts"), c.size);
    if (c.removeFile)
        QFile::remove(clip->FullPath());
    const int64_t size = disc.TotalSize;
    EXPECT_EQ(disc.AddClip(clip), c.code) << c.what;
    EXPECT_EQ(disc.Clips.size(), first ? 1 : 0);
    EXPECT_EQ(disc.TotalSize, size);
    EXPECT_GE(disc.TotalSize, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddClipRefusal,
    testing::Values(RefusalCase {"same record twice", 100, 0, true, false, acAlreadyOnDisc},
                    RefusalCase {"larger than the disc", -1, 1001, false, false, acLargerThanDisc},
                    RefusalCase {"larger than the disc, disc not empty", 10, 1001, false, false,
                                 acLargerThanDisc},
                    RefusalCase {"one byte too many", 400, 601, false, false, acNoRoomLeft},
                    RefusalCase {"file gone", 100, 5, false, true, acFileMissing}));

struct NameCase
{
    int number;
    const char *name;
};

class DiscNames : public testing::TestWithParam<NameCase>
{ };

TEST_P(DiscNames, KeepTheLastTwoDigits)
{
    TDisque disc(kDiscCapacity);
    disc.Number = GetParam().number;
    disc.Project = QStringLiteral("Vacances");
    EXPECT_EQ(disc.DiscName(), QString::fromUtf8(GetParam().name));
    EXPECT_EQ(disc.VolumeLabel(), QStringLiteral("Vacances - ") + GetParam().name);
    EXPECT_EQ(DiscListText(disc), QStringLiteral("Vacances : ") + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, DiscNames,
                         testing::Values(NameCase {1, "Disque 01"}, NameCase {9, "Disque 09"},
                                         NameCase {10, "Disque 10"}, NameCase {99, "Disque 99"},
                                         NameCase {100, "Disque 00"}, NameCase {101, "Disque 01"}));

TEST(DiscFolder, AddsTheDelimiterOnlyWhenMissing)
{
    TDisque disc(kDiscCapacity);
    disc.Number = 1;
    disc.Project = QStringLiteral("Vacances");
    EXPECT_EQ(disc.DiscFolder("/data/AVCHD"), "/data/AVCHD/Vacances/Disque 01/");
    EXPECT_EQ(disc.DiscFolder("/data/AVCHD/"), "/data/AVCHD/Vacances/Disque 01/");
    disc.Project.clear();
    EXPECT_EQ(DiscListText(disc), " : Disque 01");
    EXPECT_EQ(disc.DiscFolder("/data/AVCHD/"), "/data/AVCHD//Disque 01/");
}

TEST(ListDisque, ShowsAndSortsByProjectAndDiscName)
{
    auto disc = std::make_shared<TdecoupeDisque>(kDiscCapacity);
    disc->Number = 2;
    disc->Project = QStringLiteral("Vacances");
    const TlistDisque entry(disc);
    EXPECT_EQ(entry.DisplayText, "Vacances : Disque 02");
    EXPECT_EQ(entry.GetSortKey(SortAlpha), "Vacances : Disque 02");
    EXPECT_EQ(entry.GetSortKey(SortTaille), "");
    EXPECT_EQ(entry.Disc, disc);
}

}  // namespace
