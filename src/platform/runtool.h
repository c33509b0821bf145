// Running an outside program hidden, with its output fed to a handler while
// it runs and a way for that handler to stop it.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Called about every millisecond while the program runs, and once more after
// it has ended, with the text that arrived on its standard output and error
// output since the last call (often empty). Setting abort to true stops the
// program: SIGTERM first, so that it can clean up after itself, then SIGKILL
// if it has not ended kRunToolGraceMs (3 s) later.
using ToolOutputHandler =
    std::function<void(const QByteArray &output, const QByteArray &errorOutput, bool &abort)>;

inline constexpr int kRunToolGraceMs = 3000;

// How a program started by RunTool ended.
struct TToolOutcome
{
    enum TEnd { NotStarted, Exited, Signalled };
    TEnd End = NotStarted;
    // The exit status (Exited), the signal's number (Signalled), or the
    // errno value of the failed start (NotStarted).
    int Code = 0;
    // The handler asked for the program to stop and it was sent a signal.
    bool Stopped = false;

    bool Started() const { return End != NotStarted; }
};

// The command line the runner splits: "{program}" {arguments}.
QString ToolCommandLine(const QString &program, const QString &arguments);

// Starts the program with ToolCommandLine, split into argv by the Windows
// rules (CommandLineToArgv), in workingFolder (the caller's current folder
// when empty; the process's own current folder is never changed) with the
// caller's environment, its standard input, output and error on pipes and
// no other descriptor of ours. Returns once the program has ended, or at
// once when it could not be started.
TToolOutcome RunTool(const QString &program, const QString &arguments, const ToolOutputHandler &handler = {},
                     const QString &workingFolder = {});
