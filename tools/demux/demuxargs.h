// The demultiplexer's command line: "-demux" and the clip paths, given
// joined by "+" in one argument or in several arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

class TConsole;

namespace demux {

inline constexpr const char *kUsage =
    "usage: eac3to -demux CLIP[+CLIP...]\n"
    "Joins the H.264 video and AC-3 audio of MPEG transport stream clips into\n"
    "NAME.h264 and NAME.ac3 in the current folder, NAME being the first clip's\n"
    "file name less its extension (\".m2ts\" or \".mts\").\n";

struct TCommandLine
{
    std::vector<std::string> Clips;
    std::string Error;  // empty when the line is usable
    std::string Unresolved;  // the clip that names no file, if that is the error
    bool Ok() const { return Error.empty(); }
};

// `args` are the arguments after the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string> &args);
// The same, with a line that cannot be used reported on the console, with
// the usage text; empty then.
std::optional<TCommandLine> ReadCommandLine(const std::vector<std::string> &args, TConsole &console);

}  // namespace demux
