// Whole runs of the burner: writing to stdio: pseudo-drives, the settings
// file's destination, and bad input refused with a clear message.
#include "tools/burn/burnjob.h"
#include "tools/burn/verify.h"
#include "tools/common/toolconsole.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libburn/libburn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/tools/burn/burntesthelpers.h"

extern char **environ;

namespace {

using namespace burntest;

// Starts argv (argv[0] a path) as posix_spawn does; its process id, or 0.
pid_t Spawn(const std::vector<std::string> &argv, const posix_spawn_file_actions_t *actions,
            const posix_spawnattr_t *attributes = nullptr)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawn(&pid, args[0], actions, attributes, args.data(), environ) == 0 ? pid : 0;
}

// A run of the burner in this process, its output in out and err.
TExitStatus BurnHere(const std::vector<std::string> &args, const std::string &settingsPath, std::ostream &out,
                     std::ostream &err)
{
    TConsole console("imgburn", out, err);
    if (const auto line = ReadBurnLine(args, console))
        RunBurn(*line, settingsPath, console);
    return console.Status();
}

class BurnJobTest : public testing::Test
{
protected:
    void SetUp() override
    {
        MakeFile(FDir / "disc/BDMV/STREAM/00000.m2ts", 300000, 1);
        MakeFile(FDir / "disc/BDMV/index.bdmv", 100, 2);
        MakeFile(FDir / "disc/CERTIFICATE/id.bdmv", 0, 0);
        FSources = {FDir / "disc/BDMV", FDir / "disc/CERTIFICATE"};
    }

    // The authoring core's line, with a destination.
    std::vector<std::string> CoreLine(const std::string &label, const std::string &dest) const
    {
        return {ImgBurnPath(),
                "/MODE",
                "BUILD",
                "/BUILDOUTPUTMODE",
                "DEVICE",
                "/SRC",
                FSources[0] + "|" + FSources[1],
                "/FILESYSTEM",
                "UDF",
                "/UDFREVISION",
                "2.50",
                "/VERIFY",
                "NO",
                "/VOLUMELABEL",
                label,
                "/EJECT",
                "/CLOSESUCCESS",
                "/NOIMAGEDETAILS",
                "/WAITFORMEDIA",
                "/START",
                "/DEST",
                dest};
    }

    // The build line that writes an image file.
    std::vector<std::string> ImageFileLine(const std::string &image) const
    {
        return {ImgBurnPath(),
                "/MODE",
                "BUILD",
                "/BUILDOUTPUTMODE",
                "IMAGEFILE",
                "/SRC",
                FSources[0] + "|" + FSources[1],
                "/DEST",
                image};
    }

    void ExpectReadable(const std::string &image)
    {
        std::string error;
        TListing listing = ListImage(image, error);
        ASSERT_TRUE(error.empty()) << error;
        EXPECT_EQ(listing, ListSources(FSources));
        EXPECT_EQ(CompareImageFiles(image, listing, FSources), "");
    }

    TTempDir FDir;
    std::vector<std::string> FSources;
};

TEST_F(BurnJobTest, WritesTheCoreLineToAStdioDrive)
{
    std::string image = FDir / "out.img";
    TRun run = RunProgram(CoreLine("Projet - Disque 1", "stdio:" + image));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Writing: 100%"), std::string::npos) << run.out;
    ExpectReadable(image);
    EXPECT_EQ(ImageVolumeId(image), "Projet - Disque 1");
}

// libburn writes over a stdio file without shortening it; a longer file
// left from an earlier run must not trail behind the new image.
TEST_F(BurnJobTest, ShortensALongerExistingStdioFile)
{
    std::string image = FDir / "out.img";
    MakeFile(image, 8 << 20, 3);
    TRun run = RunProgram(CoreLine("Disque", "stdio:" + image));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_LT(std::filesystem::file_size(image), uint64_t(8) << 20);
    EXPECT_EQ(std::filesystem::file_size(image) % (16 * 2048), 0u);
    ExpectReadable(image);
}

TEST_F(BurnJobTest, VerifiesWhatWasWrittenToTheDrive)
{
    std::string image = FDir / "out.img";
    std::vector<std::string> line = CoreLine("Disque", "stdio:" + image);
    line[12] = "YES";
    TRun run = RunProgram(line);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Verifying: 100%"), std::string::npos) << run.out;
}

TEST_F(BurnJobTest, TakesTheDestinationOfTheSettingsFile)
{
    std::string image = FDir / "from settings.img";
    std::ofstream(FDir / "imgburn.ini")
        << "; written by hand\n[imgburn]\ndestination = stdio:" << image << "\n";
    std::ostringstream out, err;
    std::vector<std::string> args = CoreLine("Disque", "");
    args.erase(args.end() - 2, args.end());  // no /DEST
    args.erase(args.begin());  // no program name
    EXPECT_EQ(BurnHere(args, FDir / "imgburn.ini", out, err), esOk) << err.str();
    ExpectReadable(image);
}

TEST_F(BurnJobTest, CutsALabelTooLongAndSaysSo)
{
    std::string image = FDir / "out.img";
    std::string label(140, 'L');
    TRun run = RunProgram(CoreLine(label, "stdio:" + image));
    EXPECT_EQ(run.exitCode, esWarnings) << run.err;
    EXPECT_NE(run.err.find("imgburn: warning: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("too long for UDF"), std::string::npos) << run.err;
    TRun info = RunProgram({"udfinfo", image});
    EXPECT_NE(info.out.find("\nlabel=" + std::string(126, 'L') + "\n"), std::string::npos) << info.out;
}

TEST_F(BurnJobTest, ReplacesCharactersUdfCannotHoldAndSaysSo)
{
    std::string image = FDir / "out.img";
    TRun run = RunProgram(CoreLine("Plage \xF0\x9F\x8C\xB4 été", "stdio:" + image));
    EXPECT_EQ(run.exitCode, esWarnings) << run.err;
    EXPECT_NE(run.err.find("cannot store"), std::string::npos) << run.err;
    EXPECT_EQ(ImageVolumeId(image), "Plage _ été");
}

// The drive scan is limited to an address no drive has, so that a machine
// with a drive gives the same answer (and no disc is waited for).
TEST_F(BurnJobTest, WithoutDestinationLooksForTheFirstOpticalDrive)
{
    std::ostringstream out, err;
    std::vector<std::string> args = CoreLine("Disque", "");
    args.erase(args.end() - 2, args.end());
    args.erase(args.begin());
    std::string nowhere = FDir / "no drive";
    ASSERT_EQ(burn::burn_drive_add_whitelist(nowhere.data()), 1);
    int code = BurnHere(args, FDir / "no settings.ini", out, err);
    burn::burn_drive_clear_whitelist();
    EXPECT_EQ(code, esError);
    EXPECT_NE(err.str().find("No optical drive found."), std::string::npos) << err.str();
}

TEST_F(BurnJobTest, RefusesAFileTooLargeForOneFileEntry)
{
    std::string huge = FDir / "disc/BDMV/STREAM/huge.m2ts";
    std::ofstream {huge};
    if (truncate(huge.c_str(), static_cast<off_t>(uint64_t(200) << 30)) != 0)
        GTEST_SKIP() << "the file system cannot hold a sparse file of 200 GiB";
    TRun run = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                           FSources[0], "/DEST", FDir / "out.img"});
    EXPECT_EQ(run.exitCode, esError);
    EXPECT_NE(run.err.find("huge.m2ts\" is too large"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(FDir / "out.img"));
}

// The drive scan is limited to an address no drive has: a machine with
// drives lists none either, and the run still succeeds.
TEST_F(BurnJobTest, ListDrivesWithoutDrivesPrintsNothing)
{
    std::string nowhere = FDir / "no drive";
    ASSERT_EQ(burn::burn_drive_add_whitelist(nowhere.data()), 1);
    std::ostringstream out, err;
    int code = BurnHere({"/LISTDRIVES"}, FDir / "no settings.ini", out, err);
    burn::burn_drive_clear_whitelist();
    EXPECT_EQ(code, esOk) << err.str();
    EXPECT_EQ(out.str(), "");
}

// Whatever drives the machine has: one line each, address, model and
// medium separated by tabs.
TEST_F(BurnJobTest, ListDrivesPrintsOneLineOfThreeFieldsPerDrive)
{
    TRun run = RunProgram({ImgBurnPath(), "/LISTDRIVES"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::regex line("[^\t\n]+\t[^\t\n]*\t(blank|written|empty|unusable|unknown)\n");
    std::string rest = run.out;
    std::smatch found;
    while (std::regex_search(rest, found, line, std::regex_constants::match_continuous))
        rest = found.suffix();
    EXPECT_EQ(rest, "") << run.out;
}

struct TFlipCase
{
    const char *Title;
    bool ImageFile;  // else a stdio: drive
    bool InStreamFile;  // else in the file system's structures
};

class BurnVerifyTest : public BurnJobTest, public testing::WithParamInterface<TFlipCase>
{
protected:
    // Changes one byte of what fd holds: the 1001st byte of the stream
    // file, found by its first bytes, or a byte of the volume recognition
    // sequence.
    static void FlipOneByte(int fd, const std::string &streamFile, bool inStreamFile)
    {
        struct stat st
        { };
        ASSERT_EQ(fstat(fd, &st), 0);
        std::string written(static_cast<size_t>(st.st_size), '\0');
        ASSERT_EQ(pread(fd, written.data(), written.size(), 0), st.st_size);
        off_t at = 16 * 2048 + 1;
        if (inStreamFile) {
            const std::string start = ReadWhole(streamFile).substr(0, 4096);
            const size_t found = written.find(start);
            ASSERT_NE(found, std::string::npos) << "the stream file is not in the image";
            at = static_cast<off_t>(found + 1000);
        }
        const char flipped = static_cast<char>(~written[static_cast<size_t>(at)]);
        ASSERT_EQ(pwrite(fd, &flipped, 1, at), 1);
    }
};

// A byte changed between writing and reading back fails the burn with the
// file named; an image file then leaves the earlier image of the disc as it
// was and nothing beside it.
TEST_P(BurnVerifyTest, AChangedByteFailsTheBurnNamingTheFile)
{
    const TFlipCase &c = GetParam();
    const std::string stream = FSources[0] + "/STREAM/00000.m2ts";
    const std::string image = FDir / "out.iso";
    MakeFile(image, 1000, 5);
    const std::string earlier = ReadWhole(image);
    bool flipped = false;
    SetBeforeVerifyHook([&](int fd) {
        FlipOneByte(fd, stream, c.InStreamFile);
        flipped = true;
    });
    std::vector<std::string> args = CoreLine("Disque", "stdio:" + image);
    args.erase(args.begin());
    args[11] = "YES";  // /VERIFY
    if (c.ImageFile) {
        args[3] = "IMAGEFILE";
        args.back() = image;
    }
    std::ostringstream out, err;
    const int code = BurnHere(args, FDir / "no settings.ini", out, err);
    SetBeforeVerifyHook({});
    ASSERT_TRUE(flipped) << err.str();
    EXPECT_EQ(code, esError);
    const std::string expected = c.InStreamFile ? "Verifying: \"" + stream + "\" differs from its copy on "
                                                : "Verifying: the file system structures on ";
    EXPECT_NE(err.str().find(expected), std::string::npos) << err.str();
    if (c.InStreamFile) {
        EXPECT_NE(err.str().find("(byte 1000 of the file)"), std::string::npos) << err.str();
    }
    if (!c.ImageFile)
        return;
    EXPECT_EQ(ReadWhole(image), earlier);
    for (const auto &entry : std::filesystem::directory_iterator(FDir.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    // Without an earlier image, nothing is left under the name.
    std::filesystem::remove(image);
    SetBeforeVerifyHook([&](int fd) { FlipOneByte(fd, stream, c.InStreamFile); });
    std::ostringstream again;
    EXPECT_EQ(BurnHere(args, FDir / "no settings.ini", again, again), esError);
    SetBeforeVerifyHook({});
    EXPECT_FALSE(std::filesystem::exists(image));
}

INSTANTIATE_TEST_SUITE_P(Cases, BurnVerifyTest,
                         testing::Values(TFlipCase {"ImageFileStream", true, true},
                                         TFlipCase {"ImageFileStructures", true, false},
                                         TFlipCase {"StdioDriveStream", false, true},
                                         TFlipCase {"StdioDriveStructures", false, false}),
                         [](const testing::TestParamInfo<TFlipCase> &info) {
                             return std::string(info.param.Title);
                         });

// The descriptors of process pid that lead into folder.
std::vector<std::string> OpenFilesIn(pid_t pid, const std::string &folder)
{
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto &fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
        if (target.rfind(folder, 0) == 0)
            found.push_back(target);
    }
    return found;
}

// SIGTERM while an image file is written: the earlier image of the disc
// stays whole under its name, and nothing else is left in the folder.
TEST_F(BurnJobTest, InterruptedImageFileKeepsTheEarlierImage)
{
    MakeFile(FDir / "disc/BDMV/STREAM/00001.m2ts", uint64_t(256) << 20, 7);
    const std::string folder = FDir / "images/";
    const std::string image = folder + "Vacances - Disque 01.iso";
    MakeFile(image, 1000, 5);
    const std::string earlier = ReadWhole(image);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const pid_t pid = Spawn(ImageFileLine(image), &actions);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_GT(pid, 0);

    // Once the image being written is open in the folder.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<std::string> open;
    while ((open = OpenFilesIn(pid, folder)).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_FALSE(open.empty()) << "the burner never opened its image";
    EXPECT_NE(open.front(), image) << "the image is written under its final name";
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    // Stopped by itself, on request, before the image was finished.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == esError) << "the image was finished first";
    EXPECT_EQ(ReadWhole(image), earlier);
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string> {"Vacances - Disque 01.iso"});
}

struct TBadCase
{
    const char *Title;
    std::vector<std::string> Args;  // after the program path; {dir} is the temporary folder
    const char *Message;
};

class BurnBadInputTest : public testing::TestWithParam<TBadCase>
{ };

TEST_P(BurnBadInputTest, RefusesWithAClearMessage)
{
    TTempDir dir;
    MakeFile(dir / "BDMV/index.bdmv", 10, 1);
    std::vector<std::string> argv = {ImgBurnPath()};
    for (std::string arg : GetParam().Args) {
        size_t at = arg.find("{dir}");
        if (at != std::string::npos)
            arg.replace(at, 5, dir.Path());
        argv.push_back(arg);
    }
    TRun run = RunProgram(argv);
    EXPECT_EQ(run.exitCode, esError);
    EXPECT_NE(run.err.find(GetParam().Message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.img"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BurnBadInputTest,
    testing::Values(TBadCase {"missing_source",
                              {"/MODE", "BUILD", "/SRC", "{dir}/BDMV|{dir}/CERTIFICATE", "/DEST",
                               "stdio:{dir}/out.img"},
                              "The source folder \""},
                    TBadCase {"unknown_switch",
                              {"/MODE", "BUILD", "/SRC", "{dir}/BDMV", "/SPEED", "4x"},
                              "Unknown switch /SPEED."},
                    TBadCase {"image_without_dest",
                              {"/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC", "{dir}/BDMV"},
                              "needs the image file path in /DEST"},
                    TBadCase {"stdio_folder_missing",
                              {"/MODE", "BUILD", "/SRC", "{dir}/BDMV", "/DEST", "stdio:{dir}/no/out.img"},
                              "cannot be opened"},
                    TBadCase {"image_folder_missing",
                              {"/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC", "{dir}/BDMV",
                               "/DEST", "{dir}/no/out.img"},
                              "cannot be opened"},
                    TBadCase {"no_such_drive",
                              {"/MODE", "BUILD", "/SRC", "{dir}/BDMV", "/DEST", "/dev/tavrel-no-drive"},
                              "cannot be opened as a drive"}),
    [](const testing::TestParamInfo<TBadCase> &info) { return std::string(info.param.Title); });

// An image file replaces only a regular file: renaming over a device
// node (a drive's /dev/sr0), a pipe, a folder or a link would destroy what
// the name stood for. Each is refused before anything is written.
TEST_F(BurnJobTest, ImageFileDestinationThatIsNotAFileIsRefused)
{
    const std::string pipe = FDir / "pipe", folder = FDir / "folder", link = FDir / "link";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::filesystem::create_directory(folder);
    MakeFile(FDir / "target.img", 5, 4);
    std::filesystem::create_symlink(FDir / "target.img", link);
    for (const std::string &dest : {pipe, folder, link}) {
        TRun run = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                               FSources[0], "/DEST", dest});
        EXPECT_EQ(run.exitCode, esError) << dest;
        EXPECT_NE(run.err.find("exists and is not a regular file; nothing was written"), std::string::npos)
            << run.err;
    }
    struct stat st
    { };
    EXPECT_TRUE(lstat(pipe.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWhole(FDir / "target.img").size(), 5u);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// A write failure of an image file (here a file size limit the burner
// inherits) is reported with the file and the reason, and the image that
// was there stays whole, with no hidden file beside it.
TEST_F(BurnJobTest, ImageFileWriteFailureKeepsTheOlderImage)
{
    const std::string image = FDir / "out.img";
    MakeFile(image, 1000, 5);
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 128 << 10;  // below the image's size
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    TRun run = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                           FSources[0], "/DEST", image});
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(run.exitCode, esError);
    EXPECT_NE(run.err.find("Writing \"" + image + "\" failed: File too large."), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadWhole(image).size(), 1000u);
    for (const auto &entry : std::filesystem::directory_iterator(FDir.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// The command line run as an unprivileged user when the tests run as root,
// whom file modes do not stop.
std::vector<std::string> AsUnprivilegedUser(std::vector<std::string> line)
{
    if (geteuid() == 0)
        line.insert(line.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return line;
}

// A source file that cannot be opened is found before the drive is
// written: a disc would otherwise be lost halfway through.
TEST_F(BurnJobTest, UnreadableSourceLeavesTheDriveUntouched)
{
    const std::string image = FDir / "out.img";
    MakeFile(image, 1343488, 7);
    const std::string before = ReadWhole(image);
    const std::string unreadable = FDir / "disc/BDMV/index.bdmv";
    namespace fs = std::filesystem;
    for (const auto &entry : fs::recursive_directory_iterator(FDir.Path()))
        fs::permissions(entry.path(), entry.is_directory() ? fs::perms(0755) : fs::perms(0666));
    fs::permissions(FDir.Path(), fs::perms(0777));
    fs::permissions(unreadable, fs::perms::none);

    TRun run = RunProgram(AsUnprivilegedUser(CoreLine("Disque", "stdio:" + image)));
    EXPECT_EQ(run.exitCode, esError);
    EXPECT_NE(run.err.find("Cannot open \"" + unreadable + "\": Permission denied. Nothing was written."),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(ReadWhole(image) == before) << "the drive was written";

    // The same user, once the file is readable, writes the drive.
    fs::permissions(unreadable, fs::perms(0644));
    TRun readable = RunProgram(AsUnprivilegedUser(CoreLine("Disque", "stdio:" + image)));
    EXPECT_EQ(readable.exitCode, esOk) << readable.err;
    ExpectReadable(image);
}

// A file larger than the medium is refused before anything is written. The
// medium of a stdio: drive is its file system, so the source is a sparse
// file larger than the free space.
TEST_F(BurnJobTest, RefusesAFileLargerThanTheMediumBeforeWriting)
{
    const uint64_t size = uint64_t(100) << 30;  // 100 GiB, within what one file entry holds
    struct statvfs fs
    { };
    ASSERT_EQ(statvfs(FDir.Path().c_str(), &fs), 0);
    if (uint64_t(fs.f_bavail) * fs.f_frsize > size)
        GTEST_SKIP() << "more free space than the test file";
    {
        std::ofstream make(FDir / "disc/BDMV/STREAM/huge.m2ts");
    }
    if (truncate((FDir / "disc/BDMV/STREAM/huge.m2ts").c_str(), static_cast<off_t>(size)) != 0)
        GTEST_SKIP() << "the file system cannot hold a sparse file of 100 GiB";
    // What the destination held before stays as it was.
    std::string image = FDir / "out.img";
    MakeFile(image, 1000, 5);
    TRun run = RunProgram(CoreLine("Disque", "stdio:" + image));
    EXPECT_EQ(run.exitCode, esNoRoom);
    EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::file_size(image), 1000u);

    TRun imageRun = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                                FSources[0], "/DEST", image});
    EXPECT_EQ(imageRun.exitCode, esNoRoom);
    EXPECT_NE(imageRun.err.find("nothing was written"), std::string::npos) << imageRun.err;
    EXPECT_EQ(std::filesystem::file_size(image), 1000u);
}

}  // namespace

namespace {

// Starts the burner with its output in files; returns its process id.
pid_t StartBurner(const std::vector<std::string> &args, const std::string &out, const std::string &err)
{
    const pid_t pid = fork();
    if (pid == 0) {
        freopen(out.c_str(), "w", stdout);
        freopen(err.c_str(), "w", stderr);
        std::vector<char *> argv;
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Waits up to timeoutMs for the process to end; its exit code, or -1.
int WaitForExit(pid_t pid, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// SIGTERM while an image file is being written: the burner stops within a
// moment, says so, and leaves nothing under the image's name or beside it.
TEST_F(BurnJobTest, SigtermStopsTheImageFileAndLeavesNothing)
{
    struct statvfs fs
    { };
    ASSERT_EQ(statvfs(FDir.Path().c_str(), &fs), 0);
    // Sparse, so that it costs no room, but as long to read as the free
    // space allows (the image must fit in it).
    const uint64_t size = std::min<uint64_t>(uint64_t(8) << 30, uint64_t(fs.f_bavail) * fs.f_frsize / 2);
    if (size < (uint64_t(256) << 20))
        GTEST_SKIP() << "too little free space";
    {
        std::ofstream make(FDir / "disc/BDMV/STREAM/long.m2ts");
    }
    ASSERT_EQ(truncate((FDir / "disc/BDMV/STREAM/long.m2ts").c_str(), static_cast<off_t>(size)), 0);
    const std::string image = FDir / "out.img", out = FDir / "out.txt", err = FDir / "err.txt";
    const pid_t pid = StartBurner(ImageFileLine(image), out, err);
    ASSERT_GT(pid, 0);
    bool writing = false;
    for (int waited = 0; waited < 60'000 && !writing; waited += 5) {
        writing = ReadWhole(out).find("Writing: ") != std::string::npos;
        ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "ended before writing: " << ReadWhole(err);
        usleep(5'000);
    }
    ASSERT_TRUE(writing);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitForExit(pid, 5'000), esError);
    EXPECT_NE(ReadWhole(err).find("Stopped on request"), std::string::npos) << ReadWhole(err);
    EXPECT_EQ(ReadWhole(out).find("Writing: 100%"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(image));
    for (const auto &entry : std::filesystem::directory_iterator(FDir.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

}  // namespace

namespace {

// Reads the pipe until its text holds `wanted`; false when it ends first.
bool ReadUntil(int fd, const std::string &wanted, std::string &text)
{
    char buffer[4096];
    while (text.find(wanted) == std::string::npos) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        text.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

// The reader of the burner's output goes away while it writes (the
// application closed during a burn): the burn still ends well, and the
// image is complete. The burner is held still while the pipe closes, so
// that it surely has output left to write into the closed pipe.
TEST_F(BurnJobTest, ClosedOutputPipeDoesNotStopTheBurn)
{
    MakeFile(FDir / "disc/BDMV/STREAM/00001.m2ts", uint64_t(256) << 20, 9);
    const std::string image = FDir / "out.iso", errors = FDir / "err.txt";
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // A SIGPIPE ignored here would stay ignored in the burner: it starts
    // with the default action, whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> line = ImageFileLine(image);
    line.insert(line.end() - 2, {"/VERIFY", "YES"});
    const pid_t pid = Spawn(line, &actions, &attributes);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[1]);
    ASSERT_GT(pid, 0);

    std::string shown;
    const bool writing = ReadUntil(pipeEnds[0], "Writing: ", shown);
    kill(pid, SIGSTOP);
    // What it wrote before it was stopped: the end must still be to come.
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    ReadUntil(pipeEnds[0], "Done.", shown);
    close(pipeEnds[0]);
    kill(pid, SIGCONT);
    const int status = WaitForExit(pid, 120'000);
    ASSERT_TRUE(writing) << shown << ReadWhole(errors);
    ASSERT_EQ(shown.find("Done."), std::string::npos) << "the burn ended before the pipe closed";
    EXPECT_EQ(status, esOk) << "killed, or failed: " << ReadWhole(errors);
    EXPECT_EQ(ReadWhole(errors), "");
    ExpectReadable(image);
    const TRun info = RunProgram({"udfinfo", image});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\nlabel=BDMV\n"), std::string::npos) << info.out;
}

}  // namespace
