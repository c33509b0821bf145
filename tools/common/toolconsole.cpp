#include "tools/common/toolconsole.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "tools/common/outputfile.h"

namespace {

constexpr char kDebugSwitch[] = "--debug";

bool DebugInEnvironment()
{
    const char *value = std::getenv("TAVREL_DEBUG");
    return value && *value && std::string(value) != "0";
}

}  // namespace

std::vector<std::string> TConsole::TakeArguments(int argc, const char *const *argv)
{
    std::vector<std::string> args;
    FDebugging = DebugInEnvironment();
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == kDebugSwitch)
            FDebugging = true;
        else
            args.emplace_back(argv[i]);
    }
    return args;
}

void TConsole::Progress(const char *stage, int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (FProgressOpen && percent == FShownPercent && FStage == stage)
        return;
    if (FProgressOpen && FStage != stage)
        EndProgress();
    FStage = stage;
    FShownPercent = percent;
    FProgressOpen = true;
    FOut << '\r' << stage << ": " << percent << '%' << std::flush;
}

void TConsole::Progress(const char *stage, uint64_t done, uint64_t total)
{
    Progress(stage, total ? static_cast<int>(std::min(done, total) * 100 / total) : 100);
}

void TConsole::EndProgress()
{
    if (!FProgressOpen)
        return;
    FOut << '\n' << std::flush;
    FProgressOpen = false;
}

void TConsole::Note(const std::string &text)
{
    EndProgress();
    FOut << text << '\n' << std::flush;
}

void TConsole::Report(const char *kind, const std::string &file, const std::string &text)
{
    EndProgress();
    FErr << FProgram << ": " << kind << ": ";
    if (!file.empty())
        FErr << file << ": ";
    FErr << text << '\n' << std::flush;
}

void TConsole::Warning(const std::string &file, const std::string &text)
{
    Report("warning", file, text);
    FStatus = std::max(FStatus, esWarnings);
}

void TConsole::Error(const std::string &file, const std::string &text)
{
    Report("error", file, text);
    FStatus = std::max(FStatus, esError);
}

void TConsole::NoRoom(const std::string &text)
{
    Report("error", {}, text);
    FStatus = esNoRoom;
}

void TConsole::Usage(const std::string &usage)
{
    FErr << usage << std::flush;
}

void TConsole::Debug(const std::string &text)
{
    if (FDebugging)
        Report("debug", {}, text);
}

void SetUpSignals(void (*requestStop)())
{
    std::signal(SIGPIPE, SIG_IGN);
    InstallInterruptCleanup(requestStop);
}
