// Starts a program directly (no shell) and collects its output, for the
// tests that drive the built tools and the ffmpeg command line.
#pragma once

#include <string>
#include <vector>

struct TRunOptions
{
    std::string Folder;  // current folder of the program
    bool RemoveFolderFirst = false;  // enter Folder, then delete it
    long FileSizeLimit = 0;  // bytes; writes past it fail (EFBIG)
    int TimeoutSeconds = 60;  // killed after that: a hang
    std::string KillWhenOutputHas;  // killed once stdout holds this
    int KillSignal = 9;  // SIGKILL
    std::vector<std::string> Environment;  // NAME=VALUE added for the program
    bool Unprivileged = false;  // as root, run as "nobody" instead
};

struct TRunResult
{
    int ExitStatus = -1;  // -1 when it did not end by itself
    bool KilledOnOutput = false;
    std::string Out;
    std::string Err;
};

TRunResult RunProgram(const std::vector<std::string> &argv, const TRunOptions &options = {});
