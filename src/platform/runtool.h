// Running an outside program hidden, with its output fed to a handler while
// it runs and a way for that handler to stop it.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Called about every millisecond while the program runs, and once more after
// it has ended, with the text that arrived on its standard output and error
// output since the last call (often empty). Setting abort to true kills the
// program.
using ToolOutputHandler =
    std::function<void(const QByteArray &output, const QByteArray &errorOutput, bool &abort)>;

// Starts the program with the command line "{program}" {arguments}, split
// into argv by the Windows rules (CommandLineToArgv), in the caller's current
// folder and environment, with its standard input, output and error on pipes
// and no other descriptor of ours. Returns once the program has ended: true,
// or false at once when it could not be started. The exit code is not used.
bool RunTool(const QString &program, const QString &arguments,
             const ToolOutputHandler &handler = {});
