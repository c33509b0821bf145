// Cost of supervising an outside program with RunTool.
//  1. CPU this process spends while the program sleeps 5 s, against a
//     reference: the CPU of one core kept busy for 1 s in the same run.
//  2. Handler calls per second while the program prints without pause,
//     against the rate while it sleeps, and the bytes received.
// Usage: bench_runner [fake tool path]
#include "platform/runtool.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Run {
    double wall = 0, cpu = 0;
    long calls = 0;
    long long bytes = 0;
};

Run Measure(const QString &tool, const char *actions)
{
    setenv("FAKETOOL_ACTIONS", actions, 1);
    Run run;
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    RunTool(tool, QString(), [&run](const QByteArray &out, const QByteArray &err, bool &) {
        ++run.calls;
        run.bytes += out.size() + err.size();
    });
    run.wall = Since(start);
    run.cpu = CpuSeconds() - cpu;
    return run;
}

double BusyCore(double seconds)
{
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    volatile unsigned long spin = 0;
    while (Since(start) < seconds)
        spin = spin + 1;
    return CpuSeconds() - cpu;
}

} // namespace

int main(int argc, char **argv)
{
    const QString tool = QString::fromLocal8Bit(argc > 1 ? argv[1] : FAKETOOL_PATH);

    const double busy = BusyCore(1.0);
    const Run idle = Measure(tool, "sleep:5");
    std::printf("reference: one busy core for 1 s used %.3f s of CPU\n", busy);
    std::printf("child sleeping: wall %.2f s, RunTool CPU %.3f s (%.2f %% of one core, aim < 5 %%), "
                "%ld handler calls (%.0f/s)\n",
                idle.wall, idle.cpu, 100 * idle.cpu / idle.wall, idle.calls, idle.calls / idle.wall);
    std::printf("ratio CPU per second, RunTool / busy core: %.4f\n",
                (idle.cpu / idle.wall) / busy);

    const Run chatty = Measure(tool, "chatter:3");
    std::printf("child printing: wall %.2f s, %ld handler calls (%.0f/s), %.1f MB received (%.1f MB/s), "
                "RunTool CPU %.2f s\n",
                chatty.wall, chatty.calls, chatty.calls / chatty.wall, chatty.bytes / 1e6,
                chatty.bytes / 1e6 / chatty.wall, chatty.cpu);
    std::printf("ratio handler rate, printing / sleeping: %.3f\n",
                (chatty.calls / chatty.wall) / (idle.calls / idle.wall));
    return 0;
}
