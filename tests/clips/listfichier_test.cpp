#include "src/clips/listfichier.h"
#include "src/preview/mediadevice.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

namespace {

TFindData Entry(const QString &name, std::uint64_t size = 0, std::int64_t modified = 0,
                std::uint32_t attributes = 0)
{
    TFindData entry;
    entry.FileName = name;
    entry.SizeHigh = std::uint32_t(size >> 32);
    entry.SizeLow = std::uint32_t(size);
    entry.LastWriteTime = {modified, 0};
    entry.CreationTime = {modified, 0};
    entry.LastAccessTime = {modified, 0};
    entry.Attributes = attributes;
    return entry;
}

struct PathCase
{
    const char *path, *fileName, *extension, *folder, *baseName;
};

class PathFields : public testing::TestWithParam<PathCase>
{ };

TEST_P(PathFields, SplitAtTheLastSlash)
{
    const PathCase &c = GetParam();
    const QString path = QString::fromUtf8(c.path);
    const auto record = TAbstractListFichier::CreateFromPath(path);
    EXPECT_EQ(record->FullPath(), path);
    EXPECT_EQ(record->FileName(), QString::fromUtf8(c.fileName));
    EXPECT_EQ(record->Extension(), QString::fromUtf8(c.extension));
    EXPECT_EQ(record->Folder(), QString::fromUtf8(c.folder));
    EXPECT_EQ(record->BaseName(), QString::fromUtf8(c.baseName));
    EXPECT_EQ(record->PathKey(), path.toLower());
    EXPECT_EQ(record->AlphaKey(), record->FileName().toLower() + path.toLower());
    EXPECT_EQ(record->ExtensionKey(), record->Extension().toLower() + path.toLower());
}

INSTANTIATE_TEST_SUITE_P(
    Values, PathFields,
    testing::Values(PathCase {"/data/AVCHD/00001.m2ts", "00001.m2ts", ".m2ts", "/data/AVCHD/", "00001"},
                    PathCase {"/data/AVCHD/CLIP.M2TS", "CLIP.M2TS", ".m2ts", "/data/AVCHD/", "CLIP"},
                    PathCase {"/data/clip", "clip", "", "/data/", "clip"},
                    PathCase {"/data/a.b/clip", "clip", "", "/data/a.b/", "clip"},
                    PathCase {"/data/clip.tar.GZ", "clip.tar.GZ", ".gz", "/data/", "clip.tar"},
                    PathCase {"/data/.hidden", ".hidden", ".hidden", "/data/", ""},
                    PathCase {"/Vidéos/Été 2024/Plage + \"mer\" 'bleue'.M2TS", "Plage + \"mer\" 'bleue'.M2TS",
                              ".m2ts", "/Vidéos/Été 2024/", "Plage + \"mer\" 'bleue'"},
                    // Only A-Z are folded in the extension; the keys fold everything.
                    PathCase {"/data/film.ÉTÉ", "film.ÉTÉ", ".ÉtÉ", "/data/", "film"}));

TEST(ListFichier, ExtensionKeyOfANameWithoutExtensionIsThePathKey)
{
    const auto record = TAbstractListFichier::CreateFromPath(QStringLiteral("/data/Clip"));
    EXPECT_EQ(record->ExtensionKey(), record->PathKey());
    EXPECT_EQ(record->PathKey(), QStringLiteral("/data/clip"));
}

TEST(ListFichier, SortKeysFollowTheIndexKeyExactly)
{
    const auto record =
        TSRFichier::CreateFromEntry(QStringLiteral("/data/"), Entry(QStringLiteral("A.m2ts"), 10));
    EXPECT_EQ(record->GetSortKey(SortAlpha), record->AlphaKey());
    EXPECT_EQ(record->GetSortKey(SortTaille), record->SizeKey());
    EXPECT_EQ(record->GetSortKey(SortModify), record->DateKey());
    EXPECT_EQ(record->GetSortKey(SortExtension), record->ExtensionKey());
    EXPECT_EQ(record->GetSortKey(SortPath), record->PathKey());
    EXPECT_EQ(record->GetSortKey(TSortIndex {"Alpha", "", ""}), QString());
    EXPECT_EQ(record->GetSortKey(TSortIndex {"nom", "", ""}), QString());
    // The root class knows only the path orders.
    const auto root = TAbstractListFichier::CreateFromPath(QStringLiteral("/data/A.m2ts"));
    EXPECT_EQ(root->GetSortKey(SortTaille), QString());
    EXPECT_EQ(root->GetSortKey(SortAlpha), root->AlphaKey());
}

TEST(ListFichier, SixSortIndexesWithTheirTexts)
{
    const char *keys[6] = {"alpha", "taille", "modify", "extension", "path", "tournage"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(SortIndexes[i]->Key, QLatin1String(keys[i]));
    EXPECT_EQ(SortAlpha.LongText, QStringLiteral("par ordre alphabétique"));
    EXPECT_EQ(SortTaille.ShortText, QStringLiteral("tri selon taille"));
    EXPECT_EQ(SortModify.LongText, QStringLiteral("selon la date du fichier"));
    EXPECT_EQ(SortExtension.ShortText, QStringLiteral("tri selon l'extension"));
    EXPECT_EQ(SortPath.LongText, QStringLiteral("selon le chemin"));
    EXPECT_EQ(SortTournage.LongText, QStringLiteral("selon la date de prise de vue"));
    EXPECT_EQ(SortTournage.ShortText, QStringLiteral("tri selon la date de prise de vue"));
}

// The window offers four orders; the settings may hold only those.
TEST(ListFichier, ChoosableOrdersAndTheirTexts)
{
    QStringList texts;
    for (const TSortIndex *index : ChoosableSortIndexes)
        texts << SortChoiceText(*index);
    EXPECT_EQ(texts, (QStringList {QStringLiteral("Trier par ordre alphabétique"),
                                   QStringLiteral("Trier selon la taille du fichier"),
                                   QStringLiteral("Trier selon la date du fichier"),
                                   QStringLiteral("Trier selon la date de prise de vue")}));
    for (const char *key : {"alpha", "taille", "modify", "tournage"})
        EXPECT_EQ(ChoosableSortIndex(QLatin1String(key)).Key, QLatin1String(key));
    for (const char *key : {"path", "extension", "Tournage", "", "nimportequoi"})
        EXPECT_EQ(ChoosableSortIndex(QLatin1String(key)).Key, QStringLiteral("alpha")) << key;
}

std::vector<QString> SortedPaths(std::vector<std::unique_ptr<TSRFichier>> &records, const TSortIndex &index)
{
    std::sort(records.begin(), records.end(),
              [&](const auto &a, const auto &b) { return a->GetSortKey(index) < b->GetSortKey(index); });
    std::vector<QString> paths;
    for (const auto &r : records)
        paths.push_back(r->FullPath());
    return paths;
}

// Records of clips whose devices say when they were filmed, without files.
std::unique_ptr<Tm2tsFichier> Clip(const char *name, std::int64_t modified,
                                   std::optional<TRecordingDate> filmed)
{
    return Tm2tsFichier::CreateFromEntry(
        QStringLiteral("/carte/"), Entry(QLatin1String(name), 1000, modified), [filmed](const QString &path) {
            TKnownClip known {10'000'000, 1, 1};
            known.RecordingDate = filmed;
            return std::make_unique<Tm2tsFileDevice>(path, known);
        });
}

// "tournage": the recording date, else the file date, ties by name.
TEST(ListFichier, ShotOrderFollowsTheRecordingDateThenTheFileDateThenTheName)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::int64_t noon = 1'342'267'200;  // 2012-07-14 12:00:00 UTC
    std::vector<std::unique_ptr<TSRFichier>> records;
    records.push_back(Clip("00000.MTS", noon, TRecordingDate {2012, 7, 14, 15, 30, 0}));
    records.push_back(Clip("00001.MTS", noon, TRecordingDate {2012, 7, 14, 9, 0, 0}));
    records.push_back(Clip("copie b.mts", noon, std::nullopt));
    records.push_back(Clip("copie a.mts", noon, std::nullopt));
    records.push_back(Clip("00002.MTS", noon + 3600, TRecordingDate {2011, 12, 31, 23, 59, 59}));
    EXPECT_EQ(SortedPaths(records, SortTournage),
              (std::vector<QString> {"/carte/00002.MTS", "/carte/00001.MTS", "/carte/copie a.mts",
                                     "/carte/copie b.mts", "/carte/00000.MTS"}));
    EXPECT_EQ(records.back()->ShotKey(), QStringLiteral("2012071415300000000.mts/carte/00000.mts"));
    // The same second filmed: by name.
    std::vector<std::unique_ptr<TSRFichier>> twins;
    twins.push_back(Clip("b.MTS", noon, TRecordingDate {2012, 7, 14, 9, 0, 0}));
    twins.push_back(Clip("a.MTS", noon + 7, TRecordingDate {2012, 7, 14, 9, 0, 0}));
    EXPECT_EQ(SortedPaths(twins, SortTournage), (std::vector<QString> {"/carte/a.MTS", "/carte/b.MTS"}));
    unsetenv("TZ");
    tzset();
}

TEST(ListFichier, HintSaysWhenTheClipWasFilmed)
{
    EXPECT_EQ(Clip("00000.MTS", 0, TRecordingDate {2012, 7, 14, 15, 30, 0})->Hint(),
              QStringLiteral("Filmé le 14/07/2012 à 15:30:00"));
    EXPECT_EQ(Clip("00001.MTS", 0, std::nullopt)->Hint(), QString());
    EXPECT_EQ(Clip("00001.MTS", 0, std::nullopt)->RecordingDate(), std::nullopt);
}

struct SizeCase
{
    std::uint64_t size;
    const char *digits;
};

class SizeKeys : public testing::TestWithParam<SizeCase>
{ };

TEST_P(SizeKeys, HoldBothHalvesInThirtyTwoHexDigits)
{
    const auto record =
        TSRFichier::CreateFromEntry(QStringLiteral("/d/"), Entry(QStringLiteral("C.m2ts"), GetParam().size));
    EXPECT_EQ(record->SizeKey(), QLatin1String(GetParam().digits) + QStringLiteral("/d/c.m2ts"));
    EXPECT_EQ(record->Size(), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(Values, SizeKeys,
                         testing::Values(SizeCase {0, "00000000000000000000000000000000"},
                                         SizeCase {0xFFFFFFFFull, "000000000000000000000000FFFFFFFF"},
                                         SizeCase {0x100000000ull, "00000000000000010000000000000000"},
                                         SizeCase {0x1FFFFFFFFull, "000000000000000100000000FFFFFFFF"},
                                         SizeCase {0x2540BE3FFull, "000000000000000200000000540BE3FF"}));

TEST(ListFichier, TiesAreBrokenByThePath)
{
    std::vector<std::unique_ptr<TSRFichier>> records;
    const std::int64_t sameSecond = 1'700'000'000;
    records.push_back(TSRFichier::CreateFromEntry(QStringLiteral("/z/"),
                                                  Entry(QStringLiteral("clip.m2ts"), 5, sameSecond)));
    records.push_back(TSRFichier::CreateFromEntry(QStringLiteral("/a/"),
                                                  Entry(QStringLiteral("clip.m2ts"), 5, sameSecond)));
    records.push_back(TSRFichier::CreateFromEntry(QStringLiteral("/m/"),
                                                  Entry(QStringLiteral("clip.m2ts"), 5, sameSecond)));
    const std::vector<QString> byPath {"/a/clip.m2ts", "/m/clip.m2ts", "/z/clip.m2ts"};
    for (const TSortIndex *index : SortIndexes)
        EXPECT_EQ(SortedPaths(records, *index), byPath) << index->Key.toStdString();
}

TEST(ListFichier, FilesOfFourGigabytesSortAfterSmallerOnes)
{
    std::vector<std::unique_ptr<TSRFichier>> records;
    records.push_back(
        TSRFichier::CreateFromEntry(QStringLiteral("/a/"), Entry(QStringLiteral("big"), 0x100000000ull)));
    records.push_back(
        TSRFichier::CreateFromEntry(QStringLiteral("/b/"), Entry(QStringLiteral("small"), 0xFFFFFFFFull)));
    records.push_back(TSRFichier::CreateFromEntry(QStringLiteral("/c/"), Entry(QStringLiteral("tiny"), 9)));
    EXPECT_EQ(SortedPaths(records, SortTaille), (std::vector<QString> {"/c/tiny", "/b/small", "/a/big"}));
}

TEST(ListFichier, DateKeyIsTheLocalLastWriteSecond)
{
    setenv("TZ", "UTC", 1);
    tzset();
    // 2024-07-14 09:08:07.900 UTC
    TFindData entry = Entry(QStringLiteral("x.m2ts"), 1, 1'720'948'087, faReadOnly | faHidden);
    entry.LastWriteTime.Nanoseconds = 900'000'000;
    const auto record = TSRFichier::CreateFromEntry(QStringLiteral("/v/"), entry);
    EXPECT_EQ(record->DateKey(), QStringLiteral("20240714090807/v/x.m2ts"));
    EXPECT_EQ(DecodeDateTime(record->Modified()).millisecond, 900);
    EXPECT_TRUE(record->ReadOnly());
    EXPECT_EQ(record->Attributes(), faReadOnly | faHidden);
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    const auto paris = TSRFichier::CreateFromEntry(QStringLiteral("/v/"), entry);
    EXPECT_EQ(paris->DateKey(), QStringLiteral("20240714110807/v/x.m2ts"));
    unsetenv("TZ");
    tzset();
}

TEST(ListFichier, CreateFromPathReadsTheEntryOfTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Grand + clip été.M2TS"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), (off_t(1) << 32) + 3), 0);  // sparse, 4 GiB + 3
    const auto record = TSRFichier::CreateFromPath(path);
    EXPECT_EQ(record->FullPath(), path);
    EXPECT_EQ(record->SizeHigh(), 1u);
    EXPECT_EQ(record->SizeLow(), 3u);
    EXPECT_TRUE(record->SizeKey().startsWith(QStringLiteral("0000000000000001")));
    EXPECT_EQ(record->Extension(), QStringLiteral(".m2ts"));

    const auto missing = TSRFichier::CreateFromPath(dir.filePath(QStringLiteral("absent.m2ts")));
    EXPECT_TRUE(missing->FullPath().isEmpty());
    EXPECT_TRUE(missing->SizeKey().isEmpty());
}

TEST(Tm2tsFichier, KnownClipDevicesGiveRecordsOfAChosenDuration)
{
    int made = 0;
    const TDeviceFactory known = [&made](const QString &path) {
        ++made;
        return std::make_unique<Tm2tsFileDevice>(path, TKnownClip {12'345'678});
    };
    const TlfCLass recordClass = TlfCLass::M2tsFichier(known);
    ASSERT_TRUE(recordClass);
    EXPECT_EQ(recordClass.ClassName(), QStringLiteral("Tm2tsFichier"));
    const auto record =
        recordClass.CreateFromEntry(QStringLiteral("/nowhere/"), Entry(QStringLiteral("a.m2ts"), 77));
    ASSERT_NE(record, nullptr);
    auto *clip = dynamic_cast<Tm2tsFichier *>(record.get());
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(clip->Device()->Duration(), 12'345'678);
    EXPECT_EQ(clip->Device()->FullPath(), QStringLiteral("/nowhere/a.m2ts"));
    EXPECT_EQ(clip->SizeLow(), 77u);
}

TEST(TlfCLass, NoneCreatesNothingAndSRFichierCreatesPlainRecords)
{
    const TlfCLass none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.CreateFromEntry(QStringLiteral("/d/"), Entry(QStringLiteral("a"))), nullptr);
    const auto plain =
        TlfCLass::SRFichier().CreateFromEntry(QStringLiteral("/d/"), Entry(QStringLiteral("a")));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(dynamic_cast<Tm2tsFichier *>(plain.get()), nullptr);
    EXPECT_EQ(plain->FullPath(), QStringLiteral("/d/a"));
}

}  // namespace
