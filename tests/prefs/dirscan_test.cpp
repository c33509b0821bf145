#include "src/prefs/dirscan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class DirscanTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        FRoot = FTmp.path() + QStringLiteral("/a/");
        FScan.Setdirectory(FTmp.path() + QStringLiteral("/a"));
        FScan.Masque = QStringLiteral("f.exe");
        FScan.recursive = true;
        FScan.OnStartScan = [this](TDirscan *, const QString &d, const QString &m, bool r) {
            Log("StartScan", d);
            EXPECT_EQ(m, FScan.Masque);
            EXPECT_EQ(r, FScan.recursive);
            EXPECT_TRUE(FScan.Active());
        };
        FScan.OnEndScan = [this](TDirscan *, const QString &d, const QString &, bool) { Log("EndScan", d); };
        FScan.OnStartFolder = [this](TDirscan *, const QString &d) { Log("StartFolder", d); };
        FScan.OnFileFound = [this](TDirscan *, const QString &f) { Log("FileFound", f); };
        FScan.OnDirWithFiles = [this](TDirscan *, const QString &d) { Log("DirWithFiles", d); };
        FScan.OnDirWithSubDirs = [this](TDirscan *, const QString &d) { Log("DirWithSubDirs", d); };
        FScan.OnEndFolder = [this](TDirscan *, const QString &d) { Log("EndFolder", d); };
    }

    void Put(const QString &relative)
    {
        const QString path = FTmp.path() + QStringLiteral("/a/") + relative;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // Events with the root folder written "a/".
    void Log(const char *event, const QString &path)
    {
        QString shown = path;
        shown.replace(FTmp.path() + u'/', QString());
        FEvents << QString::fromLatin1(event) + u' ' + shown;
    }

    QStringList Found() const { return FEvents.filter(QStringLiteral("FileFound")); }

    QTemporaryDir FTmp;
    QString FRoot;
    TDirscan FScan;
    QStringList FEvents;
};

TEST_F(DirscanTest, TwoLevelTreeInOrder)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    FScan.Scan();
    const QStringList expected = {"StartScan a/",     "StartFolder a/",      "FileFound a/f.exe",
                                  "StartFolder a/b/", "FileFound a/b/f.exe", "DirWithFiles a/b/",
                                  "EndFolder a/b/",   "DirWithFiles a/",     "DirWithSubDirs a/",
                                  "EndFolder a/",     "EndScan a/"};
    EXPECT_EQ(FEvents, expected);
    EXPECT_FALSE(FScan.Active());
}

TEST_F(DirscanTest, DirectoryGetsItsDelimiter)
{
    EXPECT_EQ(FScan.directory(), FRoot);
    FScan.Setdirectory(FRoot);
    EXPECT_EQ(FScan.directory(), FRoot);
}

TEST_F(DirscanTest, StopFromFileFoundEndsTheScan)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    Put(QStringLiteral("b/c/f.exe"));
    FScan.Setdirectory(FRoot + QStringLiteral("b"));
    FScan.OnFileFound = [this](TDirscan *sender, const QString &f) {
        Log("FileFound", f);
        sender->Stop();
    };
    FScan.Scan();
    const QStringList expected = {"StartScan a/b/", "StartFolder a/b/", "FileFound a/b/f.exe",
                                  "EndScan a/b/"};
    EXPECT_EQ(FEvents, expected);
    EXPECT_FALSE(FScan.Active());
}

TEST_F(DirscanTest, NotRecursiveReportsTopFilesOnly)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    FScan.recursive = false;
    FScan.Scan();
    EXPECT_EQ(Found(), QStringList {QStringLiteral("FileFound a/f.exe")});
    EXPECT_TRUE(FEvents.filter(QStringLiteral("DirWithSubDirs")).isEmpty());
}

TEST_F(DirscanTest, WhatMatchesAndWhatIsSkipped)
{
    Put(QStringLiteral("EAC3TO"));  // letter case ignored
    Put(QStringLiteral(".eac3to"));  // a hidden file is reported
    Put(QStringLiteral(".cache/eac3to"));  // not inside a hidden folder
    QDir().mkpath(FRoot + QStringLiteral("eac3to.d/eac3to"));  // a folder is never a file
    FScan.Masque = QStringLiteral("*eac3to");
    FScan.Scan();
    QStringList found = Found();
    found.sort();
    EXPECT_EQ(found, (QStringList {"FileFound a/.eac3to", "FileFound a/EAC3TO"}));
}

TEST_F(DirscanTest, MissingFolderDoesNothing)
{
    FScan.Setdirectory(FRoot + QStringLiteral("absent"));
    FScan.Scan();
    EXPECT_TRUE(FEvents.isEmpty());
    EXPECT_FALSE(FScan.Active());
    FScan.Stop();  // idle: nothing changes
    EXPECT_FALSE(FScan.Active());
}

TEST_F(DirscanTest, LinkBackToAnEnclosingFolderIsNotFollowed)
{
    Put(QStringLiteral("b/f.exe"));
    ASSERT_TRUE(QFile::link(FRoot, FRoot + QStringLiteral("b/up")));
    FScan.Scan();
    EXPECT_EQ(Found(), QStringList {QStringLiteral("FileFound a/b/f.exe")});
}

}  // namespace
