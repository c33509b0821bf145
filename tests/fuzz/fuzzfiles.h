// What the fuzz targets of the tools share: a folder in memory for the
// files the code under test reads and writes, and a cap on what it may
// write. A write past the cap fails with EFBIG ("File too large"), which
// the targets turn into a crash: a small input asking for that much
// output is a finding, not a slow run.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

constexpr uint64_t kFuzzOutputCap = 64 << 20;

// Made once per process, under /dev/shm when there is one, and removed
// when the process ends normally.
inline const std::string &FuzzFolder()
{
    static const std::string folder = [] {
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/tavrel-fuzz-XXXXXX" : "/tmp/tavrel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          std::filesystem::remove_all(FuzzFolder(), ignored);
                                      })
                                      == 0;
    (void)removedAtExit;
    return folder;
}

inline void CapOutputFiles()
{
    rlimit limit {kFuzzOutputCap, kFuzzOutputCap};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
}

inline std::string WriteFuzzFile(const std::string &name, const uint8_t *data, size_t size)
{
    const std::string path = FuzzFolder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), std::streamsize(size));
    return path;
}

// Aborts when `message` says a write hit the cap.
inline void AbortIfCapped(const std::string &message)
{
    if (message.find(std::strerror(EFBIG)) == std::string::npos)
        return;
    std::fprintf(stderr, "output above the cap of %llu bytes: %s\n",
                 static_cast<unsigned long long>(kFuzzOutputCap), message.c_str());
    std::abort();
}
