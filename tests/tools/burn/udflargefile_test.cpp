// A file over 4 GiB on the disc, read back whole by libudfread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/tools/burn/burntesthelpers.h"

namespace {

using namespace burntest;

// A file over 4 GiB needs several allocation descriptors and 64-bit
// lengths. The source is sparse and so is the image, so this costs reading
// time but little disk.
TEST(UdfLargeFileTest, FileOverFourGibIsReadBackWhole)
{
    TTempDir dir;
    std::string folder = dir / "BDMV";
    std::filesystem::create_directories(folder);
    const uint64_t size = (uint64_t(1) << 32) + (uint64_t(1) << 26) + 777;  // 4 GiB and a bit
    {
        int fd = open((folder + "/big.m2ts").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        for (uint64_t at : {uint64_t(0), (uint64_t(1) << 30) - 1, uint64_t(1) << 32, size - 5}) {
            ASSERT_EQ(pwrite(fd, "MARK!", 5, static_cast<off_t>(at)), 5);
        }
        close(fd);
    }
    MakeFile(folder + "/after.bin", 5000, 9);
    std::string image = dir / "big.img";
    TRun run = RunProgram(
        {ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC", folder, "/DEST", image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::string error;
    TListing listing = ListImage(image, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(listing, ListSources({folder}));
    EXPECT_EQ(CompareImageFiles(image, listing, {folder}), "");
}

}  // namespace
