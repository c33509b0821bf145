#include "src/platform/findfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

struct MaskCase
{
    const char *name, *pattern;
    bool matches;
};

class MaskTable : public testing::TestWithParam<MaskCase>
{ };

TEST_P(MaskTable, MatchesLikeWindows)
{
    const MaskCase &c = GetParam();
    EXPECT_EQ(MatchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)), c.matches)
        << c.name << " against " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Values, MaskTable,
    testing::Values(MaskCase {"clip.m2ts", "*.*", true}, MaskCase {"clip", "*.*", true},
                    MaskCase {".hidden", "*.*", true}, MaskCase {"clip.m2ts", "*", true},
                    MaskCase {"CLIP.M2TS", "*.m2ts", true}, MaskCase {"clip.m2ts", "*.M2TS", true},
                    MaskCase {"clip.m2ts.txt", "*.m2ts", false}, MaskCase {"clip.m2tsx", "*.m2ts", false},
                    MaskCase {"00001.MTS", "0000?.mts", true}, MaskCase {"0001.MTS", "0000?.mts", false},
                    MaskCase {"Été.m2ts", "été.*", true}, MaskCase {"clip", "clip.*", true},
                    MaskCase {"clip.a.b", "clip.*", true}, MaskCase {"clip.m2ts", "clip.m2ts", true},
                    MaskCase {"clip.m2ts", "other.m2ts", false}, MaskCase {"a+b c.m2ts", "a+b*.m2ts", true},
                    MaskCase {"abcabd", "*abd", true}, MaskCase {"ab", "a*b*c", false}));

const TFindData *Named(const std::vector<TFindData> &entries, const QString &name)
{
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const TFindData &e) { return e.FileName == name; });
    return found == entries.end() ? nullptr : &*found;
}

void Write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

class FindFilesTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const QString &name) const { return FDir.path() + u'/' + name; }
    QTemporaryDir FDir;
};

TEST_F(FindFilesTest, ListsMatchingNamesWithAttributesAndTimes)
{
    Write(Path(QStringLiteral("Clip 1.M2TS")), QByteArray(1000, 'x'));
    Write(Path(QStringLiteral("notes.txt")), "x");
    Write(Path(QStringLiteral(".cache.m2ts")), "x");
    ASSERT_TRUE(QDir().mkdir(Path(QStringLiteral("dossier.m2ts"))));
    ASSERT_EQ(chmod(QFile::encodeName(Path(QStringLiteral("Clip 1.M2TS"))).constData(), 0444), 0);

    const std::vector<TFindData> entries = FindFiles(Path(QStringLiteral("*.m2ts")));
    ASSERT_EQ(entries.size(), 3u);
    const TFindData *clip = Named(entries, QStringLiteral("Clip 1.M2TS"));
    const TFindData *hidden = Named(entries, QStringLiteral(".cache.m2ts"));
    const TFindData *folder = Named(entries, QStringLiteral("dossier.m2ts"));
    ASSERT_TRUE(clip && hidden && folder);
    EXPECT_EQ(clip->Attributes, faReadOnly);
    EXPECT_EQ(clip->SizeHigh, 0u);
    EXPECT_EQ(clip->SizeLow, 1000u);
    EXPECT_EQ(hidden->Attributes, faHidden);
    EXPECT_EQ(folder->Attributes, faDirectory);

    struct stat st
    { };
    ASSERT_EQ(stat(QFile::encodeName(Path(QStringLiteral("Clip 1.M2TS"))).constData(), &st), 0);
    EXPECT_EQ(clip->LastWriteTime.Seconds, st.st_mtim.tv_sec);
    EXPECT_EQ(clip->LastWriteTime.Nanoseconds, st.st_mtim.tv_nsec);
    EXPECT_EQ(clip->LastAccessTime.Seconds, st.st_atim.tv_sec);
    // Birth time where the file system keeps it, else the change time:
    // either way not after the last change.
    EXPECT_GT(clip->CreationTime.Seconds, 0);
    EXPECT_LE(clip->CreationTime.Seconds, st.st_ctim.tv_sec);
}

TEST_F(FindFilesTest, EveryNameMaskListsDotEntriesAsWindowsDoes)
{
    Write(Path(QStringLiteral("a")), "x");
    const std::vector<TFindData> entries = FindFiles(Path(QStringLiteral("*.*")));
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_NE(Named(entries, QStringLiteral(".")), nullptr);
    EXPECT_NE(Named(entries, QStringLiteral("..")), nullptr);
    EXPECT_NE(Named(entries, QStringLiteral("a")), nullptr);
}

TEST_F(FindFilesTest, SplitsSizesOfFourGigabytesAndMore)
{
    const QString path = Path(QStringLiteral("big.m2ts"));
    Write(path, "");
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), (off_t(5) << 32) + 7), 0);  // sparse
    const std::vector<TFindData> entries = FindFiles(path);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].SizeHigh, 5u);
    EXPECT_EQ(entries[0].SizeLow, 7u);
}

TEST_F(FindFilesTest, FindsOneFileByItsPathWhateverItsCharacters)
{
    const QString name = QStringLiteral("Vacances d'été + \"amis\" ß.m2ts");
    Write(Path(name), "x");
    const std::vector<TFindData> entries = FindFiles(Path(name));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].FileName, name);
}

TEST_F(FindFilesTest, MissingFolderGivesNothing)
{
    EXPECT_TRUE(FindFiles(Path(QStringLiteral("absent/*.*"))).empty());
    EXPECT_TRUE(FindFiles(Path(QStringLiteral("none.m2ts"))).empty());
}

TEST_F(FindFilesTest, DanglingLinkIsListedAsItself)
{
    ASSERT_EQ(
        symlink("/nonexistent/target", QFile::encodeName(Path(QStringLiteral("lien.m2ts"))).constData()), 0);
    const std::vector<TFindData> entries = FindFiles(Path(QStringLiteral("*.m2ts")));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].FileName, QStringLiteral("lien.m2ts"));
}

}  // namespace
