// Helpers of the burner tests.
#include "tests/tools/burn/burntesthelpers.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace burntest {

TTempDir::TTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-burn-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TTempDir::~TTempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void MakeFile(const std::string &path, uint64_t size, uint32_t seed)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string chunk(1 << 16, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (uint64_t done = 0; done < size;) {
        for (char &c : chunk) {
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>(state >> 24);
        }
        size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        done += n;
    }
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TRun RunProgram(const std::vector<std::string> &argv)
{
    TTempDir capture;
    std::string outPath = capture / "out", errPath = capture / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    TRun run;
    int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        run.err = "cannot start " + argv[0];
        return run;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadWhole(outPath);
    run.err = ReadWhole(errPath);
    return run;
}

std::string ImgBurnPath()
{
    return std::string(TAVREL_BIN_DIR) + "/imgburn";
}

}  // namespace burntest

#include <udfread/blockinput.h>
#include <udfread/udfread.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace burntest {

namespace {

std::string SourceName(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

// Reads `size` bytes at `offset`, filling holes of a sparse file with
// zeros instead of reading them: the large-file test goes through
// gigabytes of holes, which read() would turn into page-cache pages.
bool ReadSkippingHoles(int fd, uint64_t offset, char *buffer, size_t size)
{
    while (size > 0) {
        off_t data = lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
        size_t run;
        if (data < 0 || static_cast<uint64_t>(data) > offset) {
            run = data < 0 ? size : static_cast<size_t>(std::min<uint64_t>(size, data - offset));
            std::memset(buffer, 0, run);
        } else {
            off_t hole = lseek(fd, static_cast<off_t>(offset), SEEK_HOLE);
            run = static_cast<size_t>(std::min<uint64_t>(size, hole - offset));
            if (pread(fd, buffer, run, static_cast<off_t>(offset)) != static_cast<ssize_t>(run))
                return false;
        }
        offset += run;
        buffer += run;
        size -= run;
    }
    return true;
}

// A block input for libudfread over an image file, skipping its holes.
struct TImageInput
{
    udfread_block_input Input;
    int Fd;
    uint32_t Blocks;
};

int ImageInputRead(udfread_block_input *input, uint32_t lba, void *buffer, uint32_t count, int)
{
    auto *image = reinterpret_cast<TImageInput *>(input);
    if (lba >= image->Blocks)
        return 0;
    count = std::min(count, image->Blocks - lba);
    bool ok = ReadSkippingHoles(image->Fd, uint64_t(lba) * UDF_BLOCK_SIZE, static_cast<char *>(buffer),
                                size_t(count) * UDF_BLOCK_SIZE);
    return ok ? static_cast<int>(count) : -1;
}

uint32_t ImageInputSize(udfread_block_input *input)
{
    return reinterpret_cast<TImageInput *>(input)->Blocks;
}

int ImageInputClose(udfread_block_input *input)
{
    auto *image = reinterpret_cast<TImageInput *>(input);
    close(image->Fd);
    delete image;
    return 0;
}

using TUdf = std::unique_ptr<udfread, decltype(&udfread_close)>;

TUdf OpenUdf(const std::string &image)
{
    TUdf udf(udfread_init(), &udfread_close);
    int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (!udf || fd < 0) {
        if (fd >= 0)
            close(fd);
        return TUdf(nullptr, &udfread_close);
    }
    auto *input = new TImageInput {{ImageInputClose, ImageInputRead, ImageInputSize},
                                   fd,
                                   static_cast<uint32_t>(lseek(fd, 0, SEEK_END) / UDF_BLOCK_SIZE)};
    if (udfread_open_input(udf.get(), &input->Input) < 0) {
        ImageInputClose(&input->Input);
        udf.reset();
    }
    return udf;
}

bool ListFolder(udfread *udf, const std::string &path, TListing &listing)
{
    UDFDIR *dir = udfread_opendir(udf, path.empty() ? "/" : ("/" + path).c_str());
    if (!dir)
        return false;
    udfread_dirent entry {};
    bool ok = true;
    while (ok && udfread_readdir(dir, &entry)) {
        std::string name = entry.d_name;
        if (name == "." || name == "..")
            continue;
        std::string child = path.empty() ? name : path + "/" + name;
        if (entry.d_type == UDF_DT_DIR) {
            listing[child] = -1;
            ok = ListFolder(udf, child, listing);
        } else {
            UDFFILE *file = udfread_file_open(udf, ("/" + child).c_str());
            if (!file)
                return false;
            listing[child] = udfread_file_size(file);
            udfread_file_close(file);
        }
    }
    udfread_closedir(dir);
    return ok;
}

std::string SourceOf(const std::string &discPath, const std::vector<std::string> &sources)
{
    std::string top = discPath.substr(0, discPath.find('/'));
    for (const std::string &source : sources)
        if (SourceName(source) == top)
            return source + discPath.substr(top.size());
    return "";
}

}  // namespace

std::map<std::string, uint32_t> ImageFileStarts(const std::string &image, const TListing &listing)
{
    std::map<std::string, uint32_t> starts;
    TUdf udf = OpenUdf(image);
    if (!udf)
        return starts;
    for (const auto &[path, size] : listing) {
        if (size <= 0)
            continue;
        UDFFILE *file = udfread_file_open(udf.get(), ("/" + path).c_str());
        if (!file)
            continue;
        starts[path] = udfread_file_lba(file, 0);
        udfread_file_close(file);
    }
    return starts;
}

TListing ListSources(const std::vector<std::string> &sources)
{
    TListing listing;
    for (const std::string &source : sources) {
        std::string top = SourceName(source);
        listing[top] = -1;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(source)) {
            std::string path = top + "/" + std::filesystem::relative(entry.path(), source).string();
            listing[path] = entry.is_directory() ? -1 : static_cast<int64_t>(entry.file_size());
        }
    }
    return listing;
}

TListing ListImage(const std::string &image, std::string &error)
{
    TListing listing;
    TUdf udf = OpenUdf(image);
    if (!udf) {
        error = "libudfread cannot open " + image;
        return {};
    }
    if (!ListFolder(udf.get(), "", listing))
        error = "libudfread cannot list " + image;
    return listing;
}

std::string CompareImageFiles(const std::string &image, const TListing &listing,
                              const std::vector<std::string> &sources)
{
    TUdf udf = OpenUdf(image);
    if (!udf)
        return "libudfread cannot open " + image;
    constexpr size_t kChunk = 4 << 20;
    std::vector<char> fromImage(kChunk), fromSource(kChunk);
    for (const auto &[path, size] : listing) {
        if (size < 0)
            continue;
        UDFFILE *file = udfread_file_open(udf.get(), ("/" + path).c_str());
        if (!file)
            return "cannot open " + path + " in the image";
        int source = open(SourceOf(path, sources).c_str(), O_RDONLY | O_CLOEXEC);
        int64_t done = 0;
        std::string difference;
        // Whole runs of blocks per call: reading a file of gigabytes in
        // small pieces would take minutes.
        const auto blocks = static_cast<uint32_t>(kChunk / UDF_BLOCK_SIZE);
        for (uint32_t block = 0; difference.empty() && done < size; block += blocks) {
            uint32_t want = static_cast<uint32_t>(
                std::min<int64_t>(blocks, (size - done + UDF_BLOCK_SIZE - 1) / UDF_BLOCK_SIZE));
            uint32_t gotBlocks = udfread_read_blocks(file, fromImage.data(), block, want, 0);
            int64_t got = std::min<int64_t>(int64_t(gotBlocks) * UDF_BLOCK_SIZE, size - done);
            if (gotBlocks != want || !ReadSkippingHoles(source, done, fromSource.data(), got))
                difference = path + ": cannot read after " + std::to_string(done) + " bytes";
            else if (std::memcmp(fromImage.data(), fromSource.data(), static_cast<size_t>(got)) != 0)
                difference = path + ": content differs after " + std::to_string(done) + " bytes";
            done += got;
        }
        if (difference.empty() && (udfread_file_size(file) != size || lseek(source, 0, SEEK_END) != size))
            difference = path + ": the size differs from the source";
        udfread_file_close(file);
        if (source >= 0)
            close(source);
        if (!difference.empty())
            return difference;
    }
    return "";
}

std::string ImageVolumeId(const std::string &image)
{
    TUdf udf = OpenUdf(image);
    const char *id = udf ? udfread_get_volume_id(udf.get()) : nullptr;
    return id ? id : "";
}

}  // namespace burntest
