#include "tools/demux/console.h"

#include <algorithm>

namespace demux {

void TConsole::Progress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == FShownPercent && FProgressOpen)
        return;
    FShownPercent = percent;
    FProgressOpen = true;
    FOut << "\rDemuxing... " << percent << '%' << std::flush;
}

void TConsole::EndProgressLine()
{
    if (!FProgressOpen)
        return;
    FOut << '\n' << std::flush;
    FProgressOpen = false;
}

void TConsole::Note(const std::string &text)
{
    EndProgressLine();
    FOut << text << '\n' << std::flush;
}

void TConsole::Report(const char *kind, const std::string &file, const std::string &text)
{
    EndProgressLine();
    FErr << "eac3to: " << kind << ": ";
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
    FStatus = esError;
}

}  // namespace demux
