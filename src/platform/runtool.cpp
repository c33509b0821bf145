#include "src/platform/runtool.h"

#include "src/platform/commandline.h"
#include "src/platform/logging.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char **environ;

namespace {

// Handler calls are paced at this interval.
constexpr int64_t kHandlerIntervalNs = 1'000'000;
// Bytes read from one pipe before the handler gets its turn again.
constexpr size_t kMaxReadPerRound = size_t(1) << 20;
// Upper bound for the last read after the program ended, in case something
// it left behind keeps writing into the pipe.
constexpr size_t kMaxFinalRead = size_t(64) << 20;

class Fd
{
public:
    Fd() = default;
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return FFd; }
    void reset(int fd = -1)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

private:
    int FFd = -1;
};

struct Pipe
{
    Fd read, write;
};

// A close-on-exec descriptor of at least 3, so that placing the child's
// ends on 0, 1 and 2 can never overwrite another of them.
int AboveStandardFds(int fd)
{
    if (fd >= 3)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool MakePipe(Pipe &p)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    p.read.reset(AboveStandardFds(fds[0]));
    p.write.reset(AboveStandardFds(fds[1]));
    return p.read.get() >= 0 && p.write.get() >= 0;
}

int64_t MonotonicNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Reads what waits in a non-blocking pipe, up to limit bytes, into text.
// Returns false once the pipe has reached its end (or failed).
bool ReadAvailable(int fd, QByteArray &text, size_t limit)
{
    char buffer[65536];
    size_t total = 0;
    while (total < limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, got);
            total += size_t(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return got < 0 && errno == EAGAIN;
        }
    }
    return true;
}

class SpawnSetup
{
public:
    // folder: where the program starts; empty for our current folder.
    SpawnSetup(int in, int out, int err, const QByteArray &folder)
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, 0);
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, err, 2);
        // In the child only: other threads keep their current folder.
        if (!folder.isEmpty())
            posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
        // Whatever another part of the program opened without close-on-exec
        // stays ours.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);

        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

// A failing handler must not leave the program running unwatched: the
// failure is logged (once per run) and the program watched on.
void CallHandler(const ToolOutputHandler &handler, const QByteArray &output, const QByteArray &errorOutput,
                 bool &abort, bool &failureLogged)
{
    if (!handler)
        return;
    try {
        handler(output, errorOutput, abort);
    } catch (const std::exception &e) {
        if (!std::exchange(failureLogged, true))
            qCWarning(lcPlatform) << "tool output handler failed:" << e.what();
    } catch (...) {
        if (!std::exchange(failureLogged, true))
            qCWarning(lcPlatform) << "tool output handler failed with an unknown exception";
    }
}

TToolOutcome Ended(int status, bool stopped)
{
    TToolOutcome outcome;
    outcome.Stopped = stopped;
    if (WIFSIGNALED(status)) {
        outcome.End = TToolOutcome::Signalled;
        outcome.Code = WTERMSIG(status);
    } else {
        outcome.End = TToolOutcome::Exited;
        outcome.Code = WEXITSTATUS(status);
    }
    return outcome;
}

// Stops the program on the handler's request: SIGTERM at once, so that it
// can remove what it has half written, SIGKILL if it lingers.
class TStopper
{
public:
    explicit TStopper(pid_t pid) : FPid(pid) { }
    bool Stopped() const { return FTermAt != 0; }
    void Request()
    {
        const int64_t now = MonotonicNs();
        if (FTermAt == 0) {
            kill(FPid, SIGTERM);
            FTermAt = now;
        } else if (!FKilled && now - FTermAt >= int64_t(kRunToolGraceMs) * 1'000'000) {
            kill(FPid, SIGKILL);
            FKilled = true;
        }
    }

private:
    pid_t FPid;
    int64_t FTermAt = 0;
    bool FKilled = false;
};

// Watches the started program until it ends, reading both output pipes.
TToolOutcome Supervise(pid_t pid, int outFd, int errFd, const ToolOutputHandler &handler)
{
    fcntl(outFd, F_SETFL, fcntl(outFd, F_GETFL) | O_NONBLOCK);
    fcntl(errFd, F_SETFL, fcntl(errFd, F_GETFL) | O_NONBLOCK);
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    QByteArray texts[2];
    bool abort = false;
    bool handlerFailed = false;
    TStopper stopper(pid);
    int64_t nextCall = MonotonicNs() + kHandlerIntervalNs;

    for (;;) {
        const int64_t wait = std::max<int64_t>(0, nextCall - MonotonicNs());
        const timespec timeout {time_t(wait / 1'000'000'000), long(wait % 1'000'000'000)};
        if (ppoll(fds, 2, &timeout, nullptr) > 0) {
            for (int i = 0; i < 2; ++i) {
                // A closed pipe is left out of the poll, or it would wake
                // it at once for ever.
                if (fds[i].fd >= 0 && fds[i].revents != 0
                    && !ReadAvailable(fds[i].fd, texts[i], kMaxReadPerRound))
                    fds[i].fd = -1;
            }
        }
        // Once output has been read, the rest of the interval is slept
        // through: a program writing small pieces without pause would
        // otherwise wake this loop for every one of them. The pipes hold
        // what it writes meanwhile.
        const timespec due {time_t(nextCall / 1'000'000'000), long(nextCall % 1'000'000'000)};
        while (MonotonicNs() < nextCall
               && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        nextCall = MonotonicNs() + kHandlerIntervalNs;

        int status = 0;
        const pid_t waited = waitpid(pid, &status, WNOHANG);
        if (waited < 0 && errno != EINTR) {
            // Someone else reaped it: how it ended is lost.
            qCWarning(lcPlatform) << "waiting for tool" << pid << "failed:" << strerror(errno);
            TToolOutcome lost;
            lost.End = TToolOutcome::Exited;
            lost.Code = -1;
            lost.Stopped = stopper.Stopped();
            return lost;
        }
        const bool ended = waited == pid;
        if (ended) {
            for (int i = 0; i < 2; ++i)
                if (fds[i].fd >= 0)
                    ReadAvailable(fds[i].fd, texts[i], kMaxFinalRead);
        }
        CallHandler(handler, texts[0], texts[1], abort, handlerFailed);
        texts[0].clear();
        texts[1].clear();
        if (ended)
            return Ended(status, stopper.Stopped());
        if (abort)
            stopper.Request();
    }
}

TToolOutcome NotStarted(int error)
{
    TToolOutcome outcome;
    outcome.Code = error;
    return outcome;
}

}  // namespace

QString ToolCommandLine(const QString &program, const QString &arguments)
{
    return u'"' + program + QStringLiteral("\" ") + arguments;
}

TToolOutcome RunTool(const QString &program, const QString &arguments, const ToolOutputHandler &handler,
                     const QString &workingFolder)
{
    // A quote would end the program name early and start another program.
    if (program.contains(u'"'))
        return NotStarted(EINVAL);
    const QStringList args = CommandLineToArgv(ToolCommandLine(program, arguments));
    std::vector<QByteArray> encoded;
    encoded.reserve(args.size());
    for (const QString &arg : args)
        encoded.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &arg : encoded)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    Pipe in, out, err;
    if (!MakePipe(in) || !MakePipe(out) || !MakePipe(err))
        return NotStarted(errno);

    pid_t pid = -1;
    {
        SpawnSetup setup(in.read.get(), out.write.get(), err.write.get(), QFile::encodeName(workingFolder));
        const int error = posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
        if (error != 0)
            return NotStarted(error);
    }
    // Only the child writes to these now; their end is seen once it ends.
    // The write end of its input stays open until it has ended, so a
    // program reading its input waits instead of meeting an end of file.
    in.read.reset();
    out.write.reset();
    err.write.reset();

    return Supervise(pid, out.read.get(), err.read.get(), handler);
}
