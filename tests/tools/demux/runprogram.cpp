#include "tests/tools/demux/runprogram.h"

#include "tests/support/unprivileged.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void StartChild(const std::vector<std::string> &argv, const TRunOptions &options, int out,
                             int err)
{
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (options.Unprivileged && !DropRootPrivileges())
        _exit(126);
    if (!options.Folder.empty()) {
        if (chdir(options.Folder.c_str()) != 0)
            _exit(126);
        if (options.RemoveFolderFirst && rmdir(options.Folder.c_str()) != 0)
            _exit(126);
    }
    if (options.FileSizeLimit > 0) {
        rlimit limit {static_cast<rlim_t>(options.FileSizeLimit), static_cast<rlim_t>(options.FileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);  // the write then fails like on a full disk
    }
    for (const std::string &variable : options.Environment)
        putenv(const_cast<char *>(variable.c_str()));
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

}  // namespace

TRunResult RunProgram(const std::vector<std::string> &argv, const TRunOptions &options)
{
    TRunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0)
        StartChild(argv, options, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    const time_t deadline = time(nullptr) + options.TimeoutSeconds;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&result.Out, &result.Err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        if (!killed && time(nullptr) > deadline) {
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, 200) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[65536];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
                if (i == 0 && !killed && !options.KillWhenOutputHas.empty()
                    && result.Out.find(options.KillWhenOutputHas) != std::string::npos) {
                    kill(pid, options.KillSignal);
                    killed = result.KilledOnOutput = true;
                }
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status))
        result.ExitStatus = WEXITSTATUS(status);
    return result;
}
