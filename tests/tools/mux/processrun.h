// Runs a program with an explicit argument list (no shell) and collects
// its standard output and error output; whole-file reads and writes and
// the ffmpeg command line for the muxer's tests.
#pragma once

#include <string>
#include <vector>

struct TProcessResult
{
    int exitCode = -1;  // -1 when it could not start or was killed
    bool timedOut = false;  // killed at the end of its time limit
    std::string out;
    std::string err;
};

// `folder`, when given, is the program's current folder. `limitSeconds`,
// when above 0, bounds the run: a program still running then is killed,
// with the helpers it started, so that a hang fails the test at once
// instead of at the test's own timeout.
TProcessResult runProcess(const std::vector<std::string> &argv, const std::string &folder = {},
                          int limitSeconds = 0);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &data);
// Runs the ffmpeg command line with these arguments; a failure fails the test.
void ffmpeg(std::vector<std::string> args);
