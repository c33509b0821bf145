#include "tests/tools/mux/processrun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

extern char **environ;

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string &path, const std::string &data)
{
    std::ofstream(path, std::ios::binary) << data;
}

void ffmpeg(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});
    TProcessResult r = runProcess(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

TProcessResult runProcess(const std::vector<std::string> &argv, const std::string &folder, int limitSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    TProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0)
        return result;
    if (pipe(errPipe) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    // Under a time limit, a process group of its own, which the kill ends whole.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (limitSeconds > 0) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (spawned == 0 && open > 0) {
        int wait = -1;
        if (limitSeconds > 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                kill(-pid, SIGKILL);
                result.timedOut = true;
                break;
            }
            wait = int(left.count());
        }
        if (poll(fds, 2, wait) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[65536];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                sinks[i]->append(buffer, size_t(n));
            }
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    if (spawned != 0)
        return result;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}
