// The check of a work folder before long work: made when missing, a file
// created in it, and the system's reason in French when either fails.
#include "src/platform/foldercheck.h"
#include "tests/support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {

class FolderCheckTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        // Reachable by the unprivileged child.
        ASSERT_EQ(chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    }
    QString Path(const char *name) const { return FDir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir FDir;
};

TEST_F(FolderCheckTest, AMissingFolderIsMadeWithThoseAboveIt)
{
    const QString folder = Path("a/b/c/");
    EXPECT_EQ(WritableFolderMessage(QStringLiteral("AVCHD"), folder), QString());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // Nothing is left behind in it.
    EXPECT_TRUE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(FolderCheckTest, AFileInTheWayIsNamed)
{
    QFile file(Path("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    bool made = false;
    EXPECT_EQ(CheckWritableFolder(Path("file/sub/"), made), ENOTDIR);
    EXPECT_TRUE(made);
    EXPECT_EQ(WritableFolderMessage(QStringLiteral("meta"), Path("file/")),
              QStringLiteral("Le dossier meta ") + Path("file/")
                  + QStringLiteral(" ne peut pas être créé (un élément du chemin n'est pas un dossier)"));
}

// A folder the user cannot write, and one that cannot be made in it: the
// message says which, with the system's reason.
TEST_F(FolderCheckTest, UnwritableFolderGivesTheRealReason)
{
    const QString folder = Path("avchd/");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0555), 0);
    const QString expectedHere = QStringLiteral("Le dossier AVCHD ") + folder
                                 + QStringLiteral(" n'est pas accessible en écriture (permission refusée)");
    const QString below = folder + QStringLiteral("P/");
    const QString expectedBelow = QStringLiteral("Le dossier AVCHD ") + below
                                  + QStringLiteral(" ne peut pas être créé (permission refusée)");
    int hereError = 0;
    const int result = RunUnprivileged([&] {
        bool made = true;
        hereError = CheckWritableFolder(folder, made);
        return hereError == EACCES && !made
               && WritableFolderMessage(QStringLiteral("AVCHD"), folder) == expectedHere
               && WritableFolderMessage(QStringLiteral("AVCHD"), below) == expectedBelow;
    });
    chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(QFileInfo::exists(below));
}

TEST(SystemErrorText, TheReasonsUsersMeet)
{
    EXPECT_EQ(SystemErrorText(EACCES), QStringLiteral("permission refusée"));
    EXPECT_EQ(SystemErrorText(EROFS), QStringLiteral("système de fichiers en lecture seule"));
    EXPECT_EQ(SystemErrorText(ENOSPC), QStringLiteral("plus de place sur le disque"));
}

}  // namespace
