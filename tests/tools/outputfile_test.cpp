// The output file of the three programs: nothing under the name before it
// is complete, in-place filling, holes, reading back, failures kept to the
// end, the interrupt cleanup.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/common/outputfile.h"
#include "tests/support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const uint8_t *Bytes(const std::string &text)
{
    return reinterpret_cast<const uint8_t *>(text.data());
}

}  // namespace

TEST(OutputFile, NothingVisibleUntilPublished)
{
    TTempFolder folder;
    const std::string path = (folder.Path() / "s.h264").string();
    {
        TOutputFile file;
        ASSERT_TRUE(file.Open(path)) << file.Error();
        std::vector<uint8_t> big(6 << 20, 0xab);  // larger than the buffer
        ASSERT_TRUE(file.Write(big.data(), 10));
        ASSERT_TRUE(file.Write(big.data(), big.size()));
        EXPECT_TRUE(folder.Entries().empty());
        ASSERT_TRUE(file.Finish()) << file.Error();
        EXPECT_TRUE(folder.Entries().size() <= 1);  // at most a hidden name
        ASSERT_TRUE(file.Publish()) << file.Error();
        EXPECT_EQ(file.BytesWritten(), big.size() + 10);
    }
    EXPECT_EQ(folder.Entries(), std::vector<std::string> {"s.h264"});
    EXPECT_EQ(fs::file_size(path), (6u << 20) + 10);
}

TEST(OutputFile, DiscardKeepsTheOlderFile)
{
    TTempFolder folder;
    const std::string path = folder.Touch("s.ac3", "older");
    {
        TOutputFile file;
        ASSERT_TRUE(file.Open(path));
        const uint8_t data[] = {1, 2, 3};
        ASSERT_TRUE(file.Write(data, sizeof data));
        ASSERT_TRUE(file.Finish());
    }  // dropped without Publish
    EXPECT_EQ(folder.Entries(), std::vector<std::string> {"s.ac3"});
    EXPECT_EQ(ReadAll(path), "older");
}

TEST(OutputFile, PublishReplacesTheOlderFile)
{
    TTempFolder folder;
    const std::string path = folder.Touch("s.ac3", "older");
    TOutputFile file;
    ASSERT_TRUE(file.Open(path));
    const uint8_t data[] = {'n', 'e', 'w'};
    ASSERT_TRUE(file.Write(data, sizeof data));
    ASSERT_TRUE(file.Finish());
    EXPECT_EQ(ReadAll(path), "older");
    ASSERT_TRUE(file.Publish());
    EXPECT_EQ(ReadAll(path), "new");
    EXPECT_EQ(folder.Entries(), std::vector<std::string> {"s.ac3"});
}

TEST(OutputFile, MissingFolderIsReported)
{
    TTempFolder folder;
    TOutputFile file;
    EXPECT_FALSE(file.Open((folder.Path() / "nope" / "s.h264").string()));
    EXPECT_NE(file.Error().find("nope"), std::string::npos) << file.Error();
    EXPECT_EQ(file.ErrorNumber(), ENOENT);
    const uint8_t data[] = {1};
    EXPECT_FALSE(file.Write(data, 1));
    EXPECT_FALSE(file.Finish());
    EXPECT_FALSE(file.Publish());
}

// A pair is published whole or not at all: when the second file cannot
// take its name, the first one's older file comes back.
TEST(OutputFile, PairPublishedTogetherOrNotAtAll)
{
    TTempFolder folder;
    const std::string video = folder.Touch("s.h264", "older video");
    fs::create_directories(folder.Path() / "s.ac3" / "inside");  // a folder cannot be replaced by a file
    TOutputFile first, second;
    ASSERT_TRUE(first.Open(video));
    ASSERT_TRUE(second.Open((folder.Path() / "s.ac3").string()));
    ASSERT_TRUE(first.Write(Bytes("new video"), 9) && second.Write(Bytes("new audio"), 9));
    ASSERT_TRUE(first.Finish() && second.Finish());
    EXPECT_FALSE(TOutputFile::PublishTogether({&first, &second}));
    EXPECT_NE(second.Error().find("cannot name"), std::string::npos) << second.Error();
    EXPECT_TRUE(first.Error().empty()) << first.Error();
    EXPECT_EQ(ReadAll(video), "older video");
    EXPECT_TRUE(fs::is_directory(folder.Path() / "s.ac3" / "inside"));
}

// The muxer fills 192-byte packets in place; packets that straddle the
// buffer's end must come out whole and in order, between plain writes.
TEST(OutputFile, ReservedRoomComesOutInOrder)
{
    TTempFolder folder;
    const std::string path = (folder.Path() / "s.m2ts").string();
    constexpr uint32_t kPackets = 30000;  // 5.8 MB: the 4 MiB buffer fills once
    std::string expected;
    TOutputFile file;
    ASSERT_TRUE(file.Open(path));
    for (uint32_t i = 0; i < kPackets; ++i) {
        uint8_t *packet = file.Reserve(192);
        std::fill(packet, packet + 192, uint8_t(i * 7));
        packet[0] = uint8_t(i >> 16);
        packet[1] = uint8_t(i >> 8);
        packet[2] = uint8_t(i);
        expected.append(reinterpret_cast<const char *>(packet), 192);
        if (i % 10000 == 0) {
            ASSERT_TRUE(file.Write(Bytes("between"), 7));
            expected += "between";
        }
    }
    EXPECT_EQ(file.BytesWritten(), expected.size());
    ASSERT_TRUE(file.Finish() && file.Publish()) << file.Error();
    EXPECT_TRUE(ReadAll(path) == expected);
}

// Zero runs of an image are skipped as holes; a hole at the end still
// counts in the file's length. The image reads back before it is finished
// (the burner's verification), and its holes stay through the sync.
TEST(OutputFile, SkippedRunsAreHolesOfTheirLength)
{
    TTempFolder folder;
    const std::string path = (folder.Path() / "disc.img").string();
    constexpr uint64_t kHole = 8 << 20;
    TOutputFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Write(Bytes("head"), 4));
    ASSERT_TRUE(file.Skip(kHole));
    ASSERT_TRUE(file.Write(Bytes("tail"), 4));
    ASSERT_TRUE(file.Skip(kHole));
    const std::string expected = "head" + std::string(kHole, '\0') + "tail" + std::string(kHole, '\0');
    EXPECT_EQ(file.BytesWritten(), expected.size());

    std::vector<uint8_t> back(expected.size(), 0xEE);
    ASSERT_TRUE(file.ReadBack(0, back.data(), back.size())) << file.Error();
    EXPECT_TRUE(std::equal(back.begin(), back.end(), Bytes(expected)));
    ASSERT_TRUE(file.Sync() && file.Finish() && file.Publish()) << file.Error();
    struct stat st
    { };
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(uint64_t(st.st_size), expected.size());
    EXPECT_LT(uint64_t(st.st_blocks) * 512, kHole);  // the runs were not written
    EXPECT_TRUE(ReadAll(path) == expected);
}

// Reading back past the end is a failure, and the file is then dropped.
TEST(OutputFile, ReadingBackPastTheEndFails)
{
    TTempFolder folder;
    TOutputFile file;
    ASSERT_TRUE(file.Open((folder.Path() / "disc.img").string()));
    ASSERT_TRUE(file.Write(Bytes("ab"), 2));
    uint8_t back[3];
    EXPECT_FALSE(file.ReadBack(0, back, 3));
    EXPECT_NE(file.Error().find("cannot read"), std::string::npos) << file.Error();
    EXPECT_FALSE(file.Finish());
    EXPECT_TRUE(folder.Entries().empty());
}

// The first write failure stays: the room handed out afterwards is still
// usable, nothing is published, and the reason is the system's.
TEST(OutputFile, WriteFailureIsKeptToTheEnd)
{
    TTempFolder folder;
    const std::string path = (folder.Path() / "s.m2ts").string();
    TOutputFile file;
    ASSERT_TRUE(file.Open(path));
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1 << 20;  // the file system is "full" at 1 MiB
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 50000; ++i)
        std::fill_n(file.Reserve(192), 192, uint8_t(i));  // 9.6 MB
    const bool finished = file.Finish();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(finished);
    EXPECT_EQ(file.ErrorNumber(), EFBIG);
    EXPECT_NE(file.Error().find("cannot write " + path), std::string::npos) << file.Error();
    EXPECT_FALSE(file.Publish());
    EXPECT_TRUE(folder.Entries().empty());
}

namespace {

volatile sig_atomic_t gStopAsked = 0;
void AskToStop()
{
    gStopAsked = 1;
}

// In a child: a finished file under its hidden name, then SIGTERM as many
// times as needed to end the child. With its own stop, the child makes
// `survived` once the first signal only asked it to stop, the hidden name
// still there; exit code 3 when a first signal did not reach that stop, 4
// when the hidden name was gone too early.
[[noreturn]] void RunStoppedChild(const std::string &path, bool ownStop, const std::string &survived)
{
    InstallInterruptCleanup(ownStop ? AskToStop : nullptr);
    TOutputFile file;
    if (!file.Open(path) || !file.Write(Bytes("data"), 4) || !file.Finish())
        _exit(2);
    const fs::path folder = fs::path(path).parent_path();
    raise(SIGTERM);
    if (ownStop) {
        if (!gStopAsked)
            _exit(3);
        if (fs::is_empty(folder))
            _exit(4);
        std::ofstream(survived) << "stopped";
        raise(SIGTERM);
    }
    _exit(5);
}

}  // namespace

class OutputFileInterrupt : public testing::TestWithParam<bool>
{ };

TEST_P(OutputFileInterrupt, HiddenNamesGoWithTheProgram)
{
    TTempFolder folder, elsewhere;
    const std::string path = (folder.Path() / "s.h264").string();
    const std::string survived = (elsewhere.Path() / "survived").string();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        RunStoppedChild(path, GetParam(), survived);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(fs::exists(survived), GetParam());
    EXPECT_TRUE(folder.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Stops, OutputFileInterrupt, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "AfterItsOwnStop" : "AtOnce");
                         });
