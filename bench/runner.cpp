// Cost of supervising an outside program with RunTool.
//  1. CPU this process spends while the program sleeps 5 s, against a
//     reference: the CPU of one core kept busy for 1 s in the same run.
//  2. Handler calls per second while the program prints without pause,
//     against the rate while it sleeps, and the bytes received.
// Usage: bench_runner [fake tool path]
#include "src/platform/runtool.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Run
{
    double Wall = 0, Cpu = 0;
    long Calls = 0;
    long long Bytes = 0;
};

Run Measure(const QString &tool, const char *actions)
{
    setenv("FAKETOOL_ACTIONS", actions, 1);
    Run run;
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    RunTool(tool, QString(), [&run](const QByteArray &out, const QByteArray &err, bool &) {
        ++run.Calls;
        run.Bytes += out.size() + err.size();
    });
    run.Wall = Since(start);
    run.Cpu = CpuSeconds() - cpu;
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

}  // namespace

int main(int argc, char **argv)
{
    const QString tool = QString::fromLocal8Bit(argc > 1 ? argv[1] : FAKETOOL_PATH);

    const double busy = BusyCore(1.0);
    const Run idle = Measure(tool, "sleep:5");
    std::printf("reference: one busy core for 1 s used %.3f s of CPU\n", busy);
    std::printf("child sleeping: wall %.2f s, RunTool CPU %.3f s (%.2f %% of one core, aim < 5 %%), "
                "%ld handler calls (%.0f/s)\n",
                idle.Wall, idle.Cpu, 100 * idle.Cpu / idle.Wall, idle.Calls, idle.Calls / idle.Wall);
    std::printf("ratio CPU per second, RunTool / busy core: %.4f\n", (idle.Cpu / idle.Wall) / busy);

    const Run chatty = Measure(tool, "chatter:3");
    std::printf("child printing: wall %.2f s, %ld handler calls (%.0f/s), %.1f MB received (%.1f MB/s), "
                "RunTool CPU %.2f s\n",
                chatty.Wall, chatty.Calls, chatty.Calls / chatty.Wall, chatty.Bytes / 1e6,
                chatty.Bytes / 1e6 / chatty.Wall, chatty.Cpu);
    std::printf("ratio handler rate, printing / sleeping: %.3f\n",
                (chatty.Calls / chatty.Wall) / (idle.Calls / idle.Wall));
    return 0;
}
