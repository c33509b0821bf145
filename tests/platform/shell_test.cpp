#include "src/platform/shell.h"
#include "src/platform/wholefile.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs the body with the TZ variable set, restoring it afterwards.
class TimeZoneScope
{
public:
    explicit TimeZoneScope(const char *zone)
    {
        if (const char *old = std::getenv("TZ"))
            FSaved = old, FHadZone = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneScope()
    {
        if (FHadZone)
            setenv("TZ", FSaved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string FSaved;
    bool FHadZone = false;
};

TEST(FileSize64, MissingEmptyAndFilledFiles)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty");
    const QString filled = dir.filePath("filled");
    WriteBytes(empty, {});
    WriteBytes(filled, QByteArray(12345, 'x'));
    EXPECT_EQ(FileSize64(dir.filePath("missing")), -1);
    EXPECT_EQ(FileSize64(QString()), -1);
    EXPECT_EQ(FileSize64(empty), 0);
    EXPECT_EQ(FileSize64(filled), 12345);
    EXPECT_EQ(FileSize64(dir.path()), 0);
}

TEST(FileSize64, SizesBeyondFourGigabytes)
{
    QTemporaryDir dir;
    const QString sparse = dir.filePath("sparse");
    WriteBytes(sparse, {});
    ASSERT_EQ(truncate(QFile::encodeName(sparse).constData(), 5'000'000'123LL), 0);
    EXPECT_EQ(FileSize64(sparse), 5'000'000'123LL);
}

TEST(FileDate, LastWriteTimeInLocalTimeWithMilliseconds)
{
    // A POSIX rule, so that no time-zone database is needed.
    TimeZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.m2ts");
    WriteBytes(path, "x");
    // 2021-07-14 10:20:30.456 UTC is 12:20:30.456 in Paris (summer time).
    const timespec times[2] = {{1626258030, 456'000'000}, {1626258030, 456'000'000}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    const TDateTime expected = EncodeDateTime({2021, 7, 14, 12, 20, 30, 456});
    EXPECT_NEAR(FileDate(path), expected, 0.5 / 86'400'000);
    // A folder made a moment ago has a date too.
    EXPECT_NEAR(FileDate(dir.path()), Now(), 60.0 / 86'400);
}

TEST(FileDate, MissingPathIsMinusOne)
{
    QTemporaryDir dir;
    EXPECT_EQ(FileDate(dir.filePath("missing")), -1.0);
    EXPECT_EQ(FileDate(QString()), -1.0);
}

TEST(CurrentFolder, SetThenGetAndFailureIgnored)
{
    const QString before = GetCurrentFolder();
    QTemporaryDir dir;
    const QString target = QFileInfo(dir.path()).canonicalFilePath();
    SetCurrentFolder(target);
    EXPECT_EQ(GetCurrentFolder(), target);
    EXPECT_FALSE(GetCurrentFolder().endsWith('/'));
    SetCurrentFolder(target + "/does-not-exist");
    EXPECT_EQ(GetCurrentFolder(), target);
    SetCurrentFolder(before);
    EXPECT_EQ(GetCurrentFolder(), before);
}

TEST(DeleteFileForced, ReadOnlyFileIsDeleted)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("readonly.txt");
    WriteBytes(path, "data");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    EXPECT_TRUE(DeleteFileForced(path));
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(DeleteFileForced, MissingFileAndFolderAreNotDeleted)
{
    QTemporaryDir dir;
    EXPECT_FALSE(DeleteFileForced(dir.filePath("missing")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_FALSE(DeleteFileForced(dir.filePath("sub")));
    EXPECT_TRUE(QFileInfo(dir.filePath("sub")).isDir());
}

TEST(WellKnownFolders, FollowTheXdgUserFolders)
{
    QTemporaryDir config;
    const QString home = QDir::homePath();
    WriteBytes(config.filePath("user-dirs.dirs"),
               "XDG_DOCUMENTS_DIR=\"$HOME/Mes Documents\"\nXDG_VIDEOS_DIR=\"$HOME/Mes Vid\xC3\xA9os\"\n");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString documents = DocumentsFolder();
    const QString videos = VideosFolder();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(documents, home + "/Mes Documents");
    EXPECT_EQ(videos, home + QString::fromUtf8("/Mes Vidéos"));
}

TEST(ProgramFilesFolder, IsTheFolderOfTheExecutable)
{
    // Test programs live in build/tests/ (the application in build/bin/).
    const QString own = QFileInfo("/proc/self/exe").canonicalPath() + "/";
    EXPECT_EQ(ProgramFilesFolder(), own);
    EXPECT_EQ(ExecutablePath(), QFileInfo("/proc/self/exe").canonicalFilePath());
}

TEST(WriteFileAtomically, ReplacesTheTargetOfASymbolicLink)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("real.ini");
    const QString link = dir.filePath("Tavrel.ini");
    WriteBytes(target, "old");
    ASSERT_TRUE(QFile::link(target, link));
    QString error;
    ASSERT_TRUE(WriteFileAtomically(link, "new", &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadBytes(target), "new");
}

TEST(WriteFileAtomically, CreatesAndReplacesKeepingTheMode)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.txt");
    QString error;
    const mode_t mask = umask(022);
    ASSERT_TRUE(WriteFileAtomically(path, "first", &error)) << error.toStdString();
    umask(mask);
    EXPECT_EQ(ReadBytes(path), "first");
    struct stat created
    { };
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &created), 0);
    EXPECT_EQ(created.st_mode & 07777, 0644u) << "a new file follows the umask";
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "second, longer", &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(path), "second, longer");
    struct stat st
    { };
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"settings.txt"});
}

struct UnwritableCase
{
    const char *name;
    mode_t folderMode;
    mode_t fileMode;
};

class WriteFileAtomicallyRefused : public testing::TestWithParam<UnwritableCase>
{ };

TEST_P(WriteFileAtomicallyRefused, FailsWithTheSystemTextAndKeepsTheOldFile)
{
    const UnwritableCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.txt");
    WriteBytes(path, "old content");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), c.fileMode), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), c.folderMode), 0);
    const int result = RunUnprivileged([&] {
        QString error;
        return !WriteFileAtomically(path, "new content", &error)
               && error == path + ": " + QString::fromLocal8Bit(std::strerror(EACCES));
    });
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), "old content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"settings.txt"});
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteFileAtomicallyRefused,
                         testing::Values(UnwritableCase {"ReadOnlyFolder", 0555, 0666},
                                         UnwritableCase {"ReadOnlyFile", 0777, 0444}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ReadWholeFile, MissingAndUnreadable)
{
    QTemporaryDir dir;
    QByteArray data;
    QString error;
    bool missing = false;
    EXPECT_FALSE(ReadWholeFile(dir.filePath("none"), &data, &error, &missing));
    EXPECT_TRUE(missing);
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
    EXPECT_FALSE(ReadWholeFile(dir.path(), &data, &error, &missing));
    EXPECT_FALSE(missing);
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(EISDIR)))) << error.toStdString();
}

}  // namespace
