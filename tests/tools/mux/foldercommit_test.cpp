// The swap of a finished disc folder into the output folder, made to fail
// at each of its moves: the user's previous folders come back byte for
// byte, and the new tree stays in the temporary folder to be removed.
#include "tools/mux/foldercommit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path &path, const std::string &data)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

// Every entry below `root`: files with their bytes, folders as "<dir>",
// links as "-> target".
std::map<std::string, std::string> Snapshot(const fs::path &root)
{
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            entries[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            entries[name] = "<dir>";
        else {
            std::ifstream in(it->path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            entries[name] = bytes.str();
        }
    }
    return entries;
}

// Moves folders for real, but fails the move numbered `failAt` (from 1), and
// with `failUndo` every move after it as well.
struct TFaultyMove
{
    int FailAt = 0;
    bool FailUndo = false;
    int Calls = 0;

    void operator()(const fs::path &from, const fs::path &to)
    {
        ++Calls;
        if (Calls == FailAt || (FailUndo && Calls > FailAt))
            throw std::runtime_error("injected failure moving \"" + from.string() + "\"");
        MoveFolder(from, to);
    }
};

class FolderCommit : public testing::Test
{
protected:
    void SetUp() override
    {
        FRoot = fs::temp_directory_path() / ("tavrel-commit-" + std::to_string(::getpid()));
        fs::remove_all(FRoot);
        FOutput = FRoot / "disque";
        FTemp = FRoot / ".disque.tsmuxer-test";
        Write(FOutput / "BDMV/index.bdmv", "old index");
        Write(FOutput / "BDMV/STREAM/00000.m2ts", std::string(5000, '\x47'));
        Write(FOutput / "CERTIFICATE/BACKUP/id.bdmv", "old id");
        Write(FOutput / "notes.txt", "mine");
        Write(FTemp / "BDMV/index.bdmv", "new index");
        Write(FTemp / "BDMV/STREAM/00000.m2ts", std::string(7000, '\x48'));
        fs::create_directories(FTemp / "CERTIFICATE/BACKUP");
    }
    void TearDown() override { fs::remove_all(FRoot); }

    fs::path FRoot, FOutput, FTemp;
};

// Four moves: the two previous folders aside, the two new ones in.
TEST_F(FolderCommit, FailureAtEachMoveLeavesThePreviousTreeAsItWas)
{
    for (int failAt = 1; failAt <= 4; ++failAt) {
        SCOPED_TRACE("failing move " + std::to_string(failAt));
        TearDown();
        SetUp();
        const auto before = Snapshot(FOutput);
        const auto built = Snapshot(FTemp);
        TFaultyMove move {failAt};
        try {
            CommitFolders(FTemp, FOutput, std::ref(move));
            ADD_FAILURE() << "the commit did not fail";
        } catch (const TCommitUndoFailed &e) {
            ADD_FAILURE() << e.what();
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::string(e.what()).find("injected failure moving"), std::string::npos) << e.what();
        }
        EXPECT_EQ(Snapshot(FOutput), before);
        EXPECT_EQ(Snapshot(FTemp), built);
    }
}

TEST_F(FolderCommit, SucceedsWithTheNewTreeAndRemovesThePreviousOne)
{
    const auto built = Snapshot(FTemp);
    EXPECT_EQ(CommitFolders(FTemp, FOutput), "");
    auto after = Snapshot(FOutput);
    EXPECT_EQ(after["notes.txt"], "mine");
    after.erase("notes.txt");
    EXPECT_EQ(after, built);
    EXPECT_FALSE(fs::exists(FTemp));
}

// A CERTIFICATE that is a link pointing nowhere is replaced like a folder.
TEST_F(FolderCommit, DanglingLinkInTheWayIsReplaced)
{
    fs::remove_all(FOutput / "CERTIFICATE");
    fs::create_symlink(FRoot / "nowhere", FOutput / "CERTIFICATE");
    EXPECT_EQ(CommitFolders(FTemp, FOutput), "");
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(FOutput / "CERTIFICATE")));
    EXPECT_EQ(Snapshot(FOutput)["BDMV/index.bdmv"], "new index");
}

// When the previous folders cannot be put back either, they are kept in the
// temporary folder and the error says where: nothing the user had is lost.
TEST_F(FolderCommit, FailedUndoKeepsThePreviousFoldersAndSaysWhere)
{
    const auto before = Snapshot(FOutput);
    TFaultyMove move {3, true};
    try {
        CommitFolders(FTemp, FOutput, std::ref(move));
        ADD_FAILURE() << "the commit did not fail";
    } catch (const TCommitUndoFailed &e) {
        EXPECT_NE(std::string(e.what()).find(FTemp.string()), std::string::npos) << e.what();
    }
    auto kept = Snapshot(FTemp);
    for (const auto &[name, bytes] : before) {
        if (name == "notes.txt")
            continue;
        const std::string aside =
            name.starts_with("BDMV") ? "BDMV.old" + name.substr(4) : "CERTIFICATE.old" + name.substr(11);
        EXPECT_EQ(kept[aside], bytes) << name;
    }
}

}  // namespace
