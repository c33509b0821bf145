// How the three programs talk to their user and how they end. Standard
// output carries the notes and one percentage rewritten in place after a
// carriage return ("\rMuxing: 43%"); standard error carries the warnings
// and errors, "{program}: warning: {file}: {text}", and with the debug
// switch the detail lines, "{program}: debug: {text}". What was reported
// adds up to the exit status.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The exit status: 0 done, 1 done but a warning was issued, 2 failed; 3 is
// the burner's refusal of an image larger than its destination, before
// anything was written.
enum TExitStatus { esOk = 0, esWarnings = 1, esError = 2, esNoRoom = 3 };

class TConsole
{
public:
    // `program` begins every line on standard error ("eac3to").
    TConsole(const char *program, std::ostream &out, std::ostream &err)
        : FProgram(program), FOut(out), FErr(err)
    { }

    // The arguments after the program's name, less "--debug". That switch,
    // or TAVREL_DEBUG set to anything but "" or "0", turns the detail on.
    std::vector<std::string> TakeArguments(int argc, const char *const *argv);

    // "\r{stage}: {percent}%", printed only when it changes.
    void Progress(const char *stage, int percent);
    void Progress(const char *stage, uint64_t done, uint64_t total);
    // Ends the line of the percentage, if one is shown.
    void EndProgress();

    void Note(const std::string &text);
    // `file`, when not empty, is the file concerned.
    void Warning(const std::string &file, const std::string &text);
    void Warning(const std::string &text) { Warning({}, text); }
    void Error(const std::string &file, const std::string &text);
    void Error(const std::string &text) { Error({}, text); }
    // An error that ends the run with esNoRoom.
    void NoRoom(const std::string &text);
    // The usage text, after the errors of a command line that cannot be used.
    void Usage(const std::string &usage);

    bool Debugging() const { return FDebugging; }
    // A detail line, when debugging.
    void Debug(const std::string &text);

    TExitStatus Status() const { return FStatus; }

private:
    void Report(const char *kind, const std::string &file, const std::string &text);

    const char *FProgram;
    std::ostream &FOut;
    std::ostream &FErr;
    std::string FStage;  // of the percentage shown
    int FShownPercent = -1;
    bool FProgressOpen = false;
    bool FDebugging = false;
    TExitStatus FStatus = esOk;
};

// The signal set-up the three programs share. SIGPIPE is ignored: a reader
// of the output that goes away (the application closed) only stops the
// output, the work goes on. Then SIGTERM and SIGINT remove the hidden files
// of unfinished output files (see outputfile.h); with `requestStop` the
// first one only asks the program to stop by itself.
void SetUpSignals(void (*requestStop)() = nullptr);
