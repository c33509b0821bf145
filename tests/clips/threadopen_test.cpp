// The opening worker against a list that records what it is told: the
// searches and their mask rules, list files, stop requests, the end call.
#include "src/clips/threadopen.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <mutex>
#include <stdexcept>

namespace {

// A list that accepts ".m2ts" names (any letter case) unless told to
// accept everything, and keeps what the worker hands it. The worker calls
// it from its own thread; the test reads it after the worker has ended.
class TFakeList : public TOpenList
{
public:
    bool AcceptAll = false;
    int StopAfterFiles = -1;  // asks the worker to stop once this many files came
    bool ThrowOnFolder = false;
    TThreadOpen *Worker = nullptr;

    QStringList Events;
    QStringList Folders;
    QStringList Paths;
    QStringList Extensions;
    std::vector<std::unique_ptr<TSRFichier>> Records;
    int EndCount = -1;
    // Whether the worker counted as running at its start and end calls.
    QList<bool> RunningAtCalls;

    bool OpenTestExtension(const QString &fileName) override
    {
        return AcceptAll || fileName.endsWith(QLatin1String(".m2ts"), Qt::CaseInsensitive);
    }
    TlfCLass OpenRecordClass(const QString &ext) override
    {
        Extensions.append(ext);
        return {};  // none: the worker falls back to plain records
    }
    void SyncOpenStart() override
    {
        Events.append("start");
        RunningAtCalls.append(Worker->Running());
    }
    void SyncFolderFound(const QString &folder) override
    {
        if (ThrowOnFolder)
            throw std::runtime_error("folder handler failed");
        Events.append("folder");
        Folders.append(folder);
    }
    void SyncFileFound(const QString &, std::unique_ptr<TSRFichier> record) override
    {
        Events.append("file");
        Paths.append(record->FullPath());
        Records.push_back(std::move(record));
        if (int(Records.size()) == StopAfterFiles)
            Worker->RequestStop();
    }
    void SyncOpenEnd(int nb) override
    {
        Events.append("end");
        EndCount = nb;
        RunningAtCalls.append(Worker->Running());
    }
};

class ThreadOpenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        Root = FDir.path() + "/";
    }

    void Touch(const QString &relative, const QByteArray &content = {})
    {
        const QString path = Root + relative;
        QDir().mkpath(path.left(path.lastIndexOf('/')));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // The standard tree: 3 clips at the top, 2 in a subfolder, other files
    // and a subfolder without clips.
    void MakeTree()
    {
        for (const char *name : {"a.m2ts", "b.M2TS", "c.m2ts", "notes.txt", "image.jpg", "sub/d.m2ts",
                                 "sub/e.m2ts", "sub/f.mts", "empty/readme"})
            Touch(name);
    }

    void Run(TOpenKind kind, const QStringList &paths)
    {
        TThreadOpen worker(kind, FList, paths);
        FList.Worker = &worker;
        worker.Start();
        worker.Wait();
        EXPECT_FALSE(worker.StopRequested());
        EXPECT_FALSE(worker.Running());
        FList.Worker = nullptr;
    }

    QSet<QString> PathSet() const { return QSet<QString>(FList.Paths.begin(), FList.Paths.end()); }
    QSet<QString> Under(const QStringList &names) const
    {
        QSet<QString> set;
        for (const QString &name : names)
            set.insert(Root + name);
        return set;
    }

    QTemporaryDir FDir;
    QString Root;
    TFakeList FList;
};

TEST_F(ThreadOpenTest, FolderOpensItsClipsAndThoseOfEverySubfolder)
{
    MakeTree();
    Run(okFolder, {FDir.path()});
    EXPECT_EQ(FList.EndCount, 5);
    EXPECT_EQ(PathSet(), Under({"a.m2ts", "b.M2TS", "c.m2ts", "sub/d.m2ts", "sub/e.m2ts"}));
    // The folder itself, then each subfolder, with or without clips.
    ASSERT_EQ(FList.Folders.size(), 3);
    EXPECT_EQ(FList.Folders.first(), Root);
    EXPECT_EQ(QSet<QString>(FList.Folders.begin() + 1, FList.Folders.end()), Under({"sub/", "empty/"}));
    EXPECT_EQ(FList.Events.first(), "start");
    EXPECT_EQ(FList.Events.last(), "end");
    EXPECT_EQ(FList.RunningAtCalls, (QList<bool> {true, false}));
    EXPECT_TRUE(FList.Extensions.contains(".M2TS"));
}

TEST_F(ThreadOpenTest, HiddenFilesAndFoldersAreFound)
{
    Touch(".hidden.m2ts");
    Touch(".private/g.m2ts");
    Run(okFolder, {Root});
    EXPECT_EQ(PathSet(), Under({".hidden.m2ts", ".private/g.m2ts"}));
}

TEST_F(ThreadOpenTest, ChosenFilesAreOpenedWithoutDescendingAndWithoutFolderEvents)
{
    MakeTree();
    Run(okFiles, {Root + "a.m2ts", Root + "sub", Root + "missing.m2ts", Root + "notes.txt", Root + "c.m2ts"});
    EXPECT_EQ(FList.EndCount, 2);
    EXPECT_EQ(FList.Paths, (QStringList {Root + "a.m2ts", Root + "c.m2ts"}));
    EXPECT_TRUE(FList.Folders.isEmpty());
}

TEST_F(ThreadOpenTest, DroppedFolderOpensEverythingBelowIt)
{
    MakeTree();
    Touch("sub/deeper/g.m2ts");
    Run(okDroppedFiles, {Root + "sub", Root + "a.m2ts"});
    EXPECT_EQ(FList.EndCount, 4);
    EXPECT_EQ(PathSet(), Under({"sub/d.m2ts", "sub/e.m2ts", "sub/deeper/g.m2ts", "a.m2ts"}));
}

TEST_F(ThreadOpenTest, PastedFolderWithItsDelimiterAtTheEndIsOpened)
{
    MakeTree();
    Run(okPaste, {Root + "sub/"});
    EXPECT_EQ(PathSet(), Under({"sub/d.m2ts", "sub/e.m2ts"}));
}

TEST_F(ThreadOpenTest, ListFileOpensTheClipsItsMaskMatchesWithoutDescending)
{
    MakeTree();
    Touch("sub/deeper/g.m2ts");
    Touch("sub/other.m2t");
    Touch("list.txt", ("# the clips of the subfolder\r\n\r\n   \r\n  " + Root + "sub/*.m2ts  \r\n").toUtf8());
    Run(okDroppedFiles, {Root + "list.txt"});
    EXPECT_EQ(FList.EndCount, 2);
    EXPECT_EQ(PathSet(), Under({"sub/d.m2ts", "sub/e.m2ts"}));
    EXPECT_TRUE(FList.Folders.isEmpty());
}

TEST_F(ThreadOpenTest, ListFileInUtf16WithRelativeEntries)
{
    MakeTree();
    const QString text = "sub/d.m2ts\r\n" + Root + "a.m2ts\r\n";
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    Touch("list.txt", bytes);
    Run(okDroppedFiles, {Root + "list.txt"});
    EXPECT_EQ(FList.Paths, (QStringList {Root + "sub/d.m2ts", Root + "a.m2ts"}));
}

TEST_F(ThreadOpenTest, ListFileWithCapitalExtensionIsNotRead)
{
    MakeTree();
    Touch("list.TXT", (Root + "a.m2ts\n").toUtf8());
    FList.AcceptAll = true;
    Run(okDroppedFiles, {Root + "list.TXT"});
    EXPECT_EQ(FList.Paths, (QStringList {Root + "list.TXT"}));
}

TEST_F(ThreadOpenTest, UnreadableListFileOpensNothing)
{
    Run(okDroppedFiles, {Root + "missing.txt"});
    EXPECT_EQ(FList.EndCount, 0);
    EXPECT_EQ(FList.Events, (QStringList {"start", "end"}));
}

TEST_F(ThreadOpenTest, EmptyPasteGivesStartThenEndWithNothing)
{
    Run(okPaste, {});
    EXPECT_EQ(FList.Events, (QStringList {"start", "end"}));
    EXPECT_EQ(FList.EndCount, 0);
}

TEST_F(ThreadOpenTest, OverlongListedPathIsSkipped)
{
    MakeTree();
    Run(okDroppedFiles, {Root + QString(TThreadOpen::kMaxListedPath, 'x'), Root + "a.m2ts"});
    EXPECT_EQ(FList.Paths, (QStringList {Root + "a.m2ts"}));
}

TEST_F(ThreadOpenTest, StopKeepsTheFilesFoundSoFar)
{
    for (int i = 0; i < 20; ++i)
        Touch(QString("clip%1.m2ts").arg(i));
    FList.StopAfterFiles = 3;
    Run(okFolder, {Root});
    EXPECT_EQ(FList.Records.size(), 3u);
    EXPECT_EQ(FList.EndCount, 3);
    EXPECT_EQ(FList.Events.last(), "end");
}

TEST_F(ThreadOpenTest, FailureWhileOpeningStillEndsTheRun)
{
    MakeTree();
    FList.ThrowOnFolder = true;
    Run(okFolder, {Root});
    EXPECT_EQ(FList.Events, (QStringList {"start", "end"}));
    EXPECT_EQ(FList.EndCount, 0);
    EXPECT_EQ(FList.RunningAtCalls, (QList<bool> {true, false}));
}

TEST_F(ThreadOpenTest, LinkToAnEnclosingFolderDoesNotLoop)
{
    MakeTree();
    ASSERT_TRUE(QFile::link(Root, Root + "sub/back"));
    Run(okFolder, {Root});
    EXPECT_EQ(FList.EndCount, 5);
}

TEST_F(ThreadOpenTest, EmptyFolderPathOpensNothing)
{
    Run(okFolder, {QString()});
    EXPECT_EQ(FList.Events, (QStringList {"start", "end"}));
}

}  // namespace
