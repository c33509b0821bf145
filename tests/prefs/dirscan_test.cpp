#include "prefs/dirscan.h"

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
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path() + QStringLiteral("/a/");
        scan.Setdirectory(tmp.path() + QStringLiteral("/a"));
        scan.Masque = QStringLiteral("f.exe");
        scan.recursive = true;
        scan.OnStartScan = [this](TDirscan *, const QString &d, const QString &m, bool r) {
            Log("StartScan", d);
            EXPECT_EQ(m, scan.Masque);
            EXPECT_EQ(r, scan.recursive);
            EXPECT_TRUE(scan.Active());
        };
        scan.OnEndScan = [this](TDirscan *, const QString &d, const QString &, bool) { Log("EndScan", d); };
        scan.OnStartFolder = [this](TDirscan *, const QString &d) { Log("StartFolder", d); };
        scan.OnFileFound = [this](TDirscan *, const QString &f) { Log("FileFound", f); };
        scan.OnDirWithFiles = [this](TDirscan *, const QString &d) { Log("DirWithFiles", d); };
        scan.OnDirWithSubDirs = [this](TDirscan *, const QString &d) { Log("DirWithSubDirs", d); };
        scan.OnEndFolder = [this](TDirscan *, const QString &d) { Log("EndFolder", d); };
    }

    void Put(const QString &relative)
    {
        const QString path = tmp.path() + QStringLiteral("/a/") + relative;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // Events with the root folder written "a/".
    void Log(const char *event, const QString &path)
    {
        QString shown = path;
        shown.replace(tmp.path() + u'/', QString());
        events << QString::fromLatin1(event) + u' ' + shown;
    }

    QStringList Found() const { return events.filter(QStringLiteral("FileFound")); }

    QTemporaryDir tmp;
    QString root;
    TDirscan scan;
    QStringList events;
};

TEST_F(DirscanTest, TwoLevelTreeInOrder)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    scan.Scan();
    const QStringList expected = {
        "StartScan a/",      "StartFolder a/",  "FileFound a/f.exe",  "StartFolder a/b/",
        "FileFound a/b/f.exe", "DirWithFiles a/b/", "EndFolder a/b/",  "DirWithFiles a/",
        "DirWithSubDirs a/", "EndFolder a/",    "EndScan a/"};
    EXPECT_EQ(events, expected);
    EXPECT_FALSE(scan.Active());
}

TEST_F(DirscanTest, DirectoryGetsItsDelimiter)
{
    EXPECT_EQ(scan.directory(), root);
    scan.Setdirectory(root);
    EXPECT_EQ(scan.directory(), root);
}

TEST_F(DirscanTest, StopFromFileFoundEndsTheScan)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    Put(QStringLiteral("b/c/f.exe"));
    scan.Setdirectory(root + QStringLiteral("b"));
    scan.OnFileFound = [this](TDirscan *sender, const QString &f) {
        Log("FileFound", f);
        sender->Stop();
    };
    scan.Scan();
    const QStringList expected = {"StartScan a/b/", "StartFolder a/b/", "FileFound a/b/f.exe", "EndScan a/b/"};
    EXPECT_EQ(events, expected);
    EXPECT_FALSE(scan.Active());
}

TEST_F(DirscanTest, NotRecursiveReportsTopFilesOnly)
{
    Put(QStringLiteral("f.exe"));
    Put(QStringLiteral("b/f.exe"));
    scan.recursive = false;
    scan.Scan();
    EXPECT_EQ(Found(), QStringList{QStringLiteral("FileFound a/f.exe")});
    EXPECT_TRUE(events.filter(QStringLiteral("DirWithSubDirs")).isEmpty());
}

TEST_F(DirscanTest, WhatMatchesAndWhatIsSkipped)
{
    Put(QStringLiteral("EAC3TO"));                // letter case ignored
    Put(QStringLiteral(".eac3to"));               // a hidden file is reported
    Put(QStringLiteral(".cache/eac3to"));         // not inside a hidden folder
    QDir().mkpath(root + QStringLiteral("eac3to.d/eac3to"));  // a folder is never a file
    scan.Masque = QStringLiteral("*eac3to");
    scan.Scan();
    QStringList found = Found();
    found.sort();
    EXPECT_EQ(found, (QStringList{"FileFound a/.eac3to", "FileFound a/EAC3TO"}));
}

TEST_F(DirscanTest, MissingFolderDoesNothing)
{
    scan.Setdirectory(root + QStringLiteral("absent"));
    scan.Scan();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(scan.Active());
    scan.Stop();  // idle: nothing changes
    EXPECT_FALSE(scan.Active());
}

TEST_F(DirscanTest, LinkBackToAnEnclosingFolderIsNotFollowed)
{
    Put(QStringLiteral("b/f.exe"));
    ASSERT_TRUE(QFile::link(root, root + QStringLiteral("b/up")));
    scan.Scan();
    EXPECT_EQ(Found(), QStringList{QStringLiteral("FileFound a/b/f.exe")});
}

}  // namespace
