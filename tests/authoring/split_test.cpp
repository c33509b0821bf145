#include "src/authoring/split.h"

#include "tests/authoring/testclips.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Clip
{
    const char *path;  // relative to the test folder
    int64_t size;
    int64_t picture = 0;  // picture duration, 0 when unknown
};

struct Disc
{
    const char *text;  // Project : DiscName
    int first, last;
};

struct SplitCase
{
    const char *what;
    std::vector<Clip> clips;
    std::vector<Disc> discs;
    const char *stopAt = nullptr;  // clip named in the message
    bool tooLarge = true;  // message kind when stopped
    const char *removed = nullptr;  // clip whose file is gone at split time
    std::vector<const char *> rates = {};  // of each disc; a stop by frame rate when one more
};

constexpr int64_t kG2 = 2'000'000'000;

class Split : public testing::TestWithParam<SplitCase>
{ };

TEST_P(Split, GroupsClipsInListOrder)
{
    const SplitCase &c = GetParam();
    QTemporaryDir dir;
    TestClipList clips;
    for (const Clip &clip : c.clips)
        ASSERT_NE(clips.Add(dir.filePath(clip.path), clip.size, 10 * Second, clip.picture), nullptr);
    if (c.removed)
        QFile::remove(dir.filePath(c.removed));

    const TSplitResult result = SplitClipsIntoDiscs(clips.List());

    ASSERT_EQ(result.Discs.size(), c.discs.size()) << c.what;
    for (size_t i = 0; i < c.discs.size(); ++i) {
        const TdecoupeDisque &disc = *result.Discs[i];
        EXPECT_EQ(DiscListText(disc), QString::fromUtf8(c.discs[i].text)) << c.what;
        EXPECT_EQ(disc.Number, int(i + 1));
        EXPECT_EQ(disc.FirstClip, c.discs[i].first) << c.what;
        EXPECT_EQ(disc.LastClip, c.discs[i].last) << c.what;
        EXPECT_EQ(disc.ClipCount, c.discs[i].last - c.discs[i].first + 1);
        EXPECT_LE(disc.TotalSize, disc.Capacity);
        EXPECT_EQ(disc.Capacity, kDiscCapacity);
        if (i < c.rates.size()) {
            EXPECT_EQ(disc.FrameRateOrDefault(), c.rates[i]) << c.what;
        }
    }
    if (!c.stopAt) {
        EXPECT_TRUE(result.Message.isEmpty()) << result.Message.toStdString();
        return;
    }
    const QString path = dir.filePath(c.stopAt);
    if (c.rates.size() > c.discs.size()) {
        // The rates of the clip and of the dropped disc being filled.
        EXPECT_EQ(result.Message, QStringLiteral("Erreur: la cadence de ") + path + " (" + c.rates.back()
                                      + " images/s) diffère de celle du disque en cours ("
                                      + c.rates[c.rates.size() - 2] + " images/s)");
        return;
    }
    EXPECT_EQ(result.Message,
              c.tooLarge
                  ? QStringLiteral("Erreur: la taille de ") + path + QStringLiteral(" dépasse 4600000000")
                  : QStringLiteral("Erreur: le fichier ") + path + QStringLiteral(" est introuvable"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Split,
    testing::Values(
        SplitCase {"empty list", {}, {}},
        SplitCase {"exactly one disc",
                   {{"V/a.m2ts", kG2}, {"V/b.m2ts", kG2}, {"V/c.m2ts", 600'000'000}},
                   {{"V : Disque 01", 0, 2}}},
        SplitCase {"one byte more starts disc 2",
                   {{"V/a.m2ts", kG2}, {"V/b.m2ts", kG2}, {"V/c.m2ts", 600'000'000}, {"V/d.m2ts", 1}},
                   {{"V : Disque 01", 0, 2}, {"V : Disque 02", 3, 3}}},
        SplitCase {
            "first clip too large", {{"V/a.m2ts", kDiscCapacity + 1}, {"V/b.m2ts", 1}}, {}, "V/a.m2ts"},
        SplitCase {"too large in the middle",
                   {{"V/a.m2ts", kG2},
                    {"V/b.m2ts", kG2},
                    {"V/c.m2ts", kG2},
                    {"V/d.m2ts", kDiscCapacity + 1},
                    {"V/e.m2ts", 1}},
                   {{"V : Disque 01", 0, 1}},
                   "V/d.m2ts"},
        SplitCase {"project is the folder of the first clip",
                   {{"Alpha/a.m2ts", kG2},
                    {"Alpha/b.m2ts", kG2},
                    {"Alpha/c.m2ts", kG2},
                    {"Beta/d.m2ts", kG2},
                    {"Beta/e.m2ts", kG2},
                    {"Beta/f.m2ts", kG2}},
                   {{"Alpha : Disque 01", 0, 1}, {"Alpha : Disque 02", 2, 3}, {"Beta : Disque 03", 4, 5}}},
        SplitCase {"file gone at split time",
                   {{"V/a.m2ts", kG2}, {"V/b.m2ts", kG2}, {"V/c.m2ts", kG2}, {"V/d.m2ts", 5}},
                   {{"V : Disque 01", 0, 1}},
                   "V/d.m2ts",
                   false,
                   "V/d.m2ts"},
        SplitCase {"first file gone", {{"V/a.m2ts", 5}}, {}, "V/a.m2ts", false, "V/a.m2ts"},
        SplitCase {"unknown frame rates make a PAL disc",
                   {{"V/a.m2ts", 1}, {"V/b.m2ts", 1}},
                   {{"V : Disque 01", 0, 1}},
                   nullptr,
                   true,
                   nullptr,
                   {"25"}},
        SplitCase {"the first clip that tells its rate sets the disc's",
                   {{"V/a.m2ts", 1}, {"V/b.m2ts", 1, Picture2997}, {"V/c.m2ts", 1}, {"V/d.m2ts", 1, 333'666}},
                   {{"V : Disque 01", 0, 3}},
                   nullptr,
                   true,
                   nullptr,
                   {"29.97"}},
        SplitCase {
            "a clip of another rate that starts a new disc anyway",
            {{"V/a.m2ts", kG2, Picture25}, {"V/b.m2ts", kG2, Picture25}, {"V/c.m2ts", kG2, Picture2997}},
            {{"V : Disque 01", 0, 1}, {"V : Disque 02", 2, 2}},
            nullptr,
            true,
            nullptr,
            {"25", "29.97"}},
        SplitCase {"a clip of another rate on the disc being filled stops the split",
                   {{"V/a.m2ts", kG2, Picture25},
                    {"V/b.m2ts", kG2, Picture25},
                    {"V/c.m2ts", kG2, Picture25},
                    {"V/d.m2ts", 10},
                    {"V/e.m2ts", 10, Picture2997},
                    {"V/f.m2ts", 10, Picture2997}},
                   {{"V : Disque 01", 0, 1}},
                   "V/e.m2ts",
                   true,
                   nullptr,
                   {"25", "25", "29.97"}}));

TEST(SplitProject, IsTheLastFolderOfTheClipPath)
{
    EXPECT_EQ(ProjectOfClip("/data/Vacances/00001.m2ts"), "Vacances");
    EXPECT_EQ(ProjectOfClip("/00001.m2ts"), "");
    EXPECT_EQ(ProjectOfClip("/data/Été 2024/clip.m2ts"), "Été 2024");
}

TEST(SplitNumbers, RunOverTheWholeSplitAndWrapAtOneHundred)
{
    QTemporaryDir dir;
    TestClipList clips;
    for (int i = 0; i < 101; ++i)
        clips.Add(dir.filePath(QString("V/%1.m2ts").arg(i, 3, 10, QChar('0'))), kDiscCapacity);
    const TSplitResult result = SplitClipsIntoDiscs(clips.List());
    ASSERT_EQ(result.Discs.size(), 101u);
    EXPECT_EQ(result.Discs[99]->DiscName(), "Disque 00");
    EXPECT_EQ(result.Discs[100]->Number, 101);
    EXPECT_EQ(result.Discs[100]->FirstClip, 100);
    EXPECT_EQ(result.Discs[100]->LastClip, 100);
}

// The disc size of the settings: 6 GB of clips make one dual-layer disc
// but two DVDs, and a clip too large is measured against the size in force.
TEST(SplitCapacity, FollowsTheDiscSizeChosen)
{
    QTemporaryDir dir;
    TestClipList clips;
    for (const char *name : {"V/a.m2ts", "V/b.m2ts", "V/c.m2ts"})
        clips.Add(dir.filePath(name), kG2);
    const TSplitResult dual = SplitClipsIntoDiscs(clips.List(), kDualLayerDvdSize);
    ASSERT_EQ(dual.Discs.size(), 1u);
    EXPECT_EQ(dual.Discs[0]->Capacity, kDualLayerDvdSize);
    EXPECT_EQ(dual.Discs[0]->LastClip, 2);
    EXPECT_EQ(dual.Discs[0]->TotalSize, 3 * kG2);
    EXPECT_EQ(SplitClipsIntoDiscs(clips.List(), kDvdSize).Discs.size(), 2u);

    clips.Add(dir.filePath("V/d.m2ts"), kDualLayerDvdSize + 1);
    const TSplitResult stopped = SplitClipsIntoDiscs(clips.List(), kDualLayerDvdSize);
    EXPECT_TRUE(stopped.Discs.empty()) << "the disc being filled is dropped";
    EXPECT_EQ(stopped.Message, QStringLiteral("Erreur: la taille de ") + dir.filePath("V/d.m2ts")
                                   + QStringLiteral(" dépasse 8400000000"));
}

TEST(SplitOwnership, DiscsOutliveTheSplitResultAndTheClipList)
{
    QTemporaryDir dir;
    TDiscPtr kept;
    {
        TestClipList clips;
        clips.Add(dir.filePath("V/a.m2ts"), 10, 7 * Second);
        kept = SplitClipsIntoDiscs(clips.List()).Discs.at(0);
    }
    // The clip list and every other holder are gone; what the steps use
    // is still there.
    ASSERT_EQ(kept.use_count(), 1);
    EXPECT_EQ(kept->Clips.at(0).Path, dir.filePath("V/a.m2ts"));
    EXPECT_EQ(kept->Clips.at(0).Duration, 7 * Second);
}

}  // namespace
