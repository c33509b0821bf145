// What the demultiplexer tells its user: a percentage updated in place on
// standard output, notes on standard output, warnings and errors on
// standard error naming the file concerned, and the exit status they add
// up to (0 done, 1 done with warnings, 2 failed).
#pragma once

#include <ostream>
#include <string>

namespace demux {

enum TExitStatus { esOk = 0, esWarnings = 1, esError = 2 };

class TConsole
{
public:
    TConsole(std::ostream &out, std::ostream &err) : FOut(out), FErr(err) { }

    void Progress(int percent);
    void Note(const std::string &text);
    void Warning(const std::string &file, const std::string &text);
    void Error(const std::string &file, const std::string &text);

    TExitStatus Status() const { return FStatus; }

private:
    void EndProgressLine();
    void Report(const char *kind, const std::string &file, const std::string &text);

    std::ostream &FOut;
    std::ostream &FErr;
    int FShownPercent = -1;
    bool FProgressOpen = false;
    TExitStatus FStatus = esOk;
};

}  // namespace demux
