// Helpers of the burner tests: a temporary folder, file making, and
// running a program with its output captured (no shell involved).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace burntest {

class TTempDir
{
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes `size` bytes of a pattern seeded by `seed`, making folders above.
void MakeFile(const std::string &path, uint64_t size, uint32_t seed);
std::string ReadWhole(const std::string &path);

struct TRun
{
    int exitCode = -1;
    std::string out, err;
};
// Runs `argv` (argv[0] a path) and waits for it.
TRun RunProgram(const std::vector<std::string> &argv);

// The burner built beside the application.
std::string ImgBurnPath();

}  // namespace burntest

namespace burntest {

// Every entry below the given source folders, keyed by its path on the
// disc ("BDMV/STREAM/00000.m2ts"); folders have the size -1.
using TListing = std::map<std::string, int64_t>;
TListing ListSources(const std::vector<std::string> &sources);

// The same listing read from a UDF image by libudfread; empty with
// `error` set when the image cannot be opened.
TListing ListImage(const std::string &image, std::string &error);

// Reads every file of `listing` from the image with libudfread and compares
// it with its source; returns the first difference, empty when none.
std::string CompareImageFiles(const std::string &image, const TListing &listing,
                              const std::vector<std::string> &sources);

// The sector where each file of `listing` with content starts, as
// libudfread finds it.
std::map<std::string, uint32_t> ImageFileStarts(const std::string &image, const TListing &listing);

// The volume identifier libudfread reports.
std::string ImageVolumeId(const std::string &image);

}  // namespace burntest
