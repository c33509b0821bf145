#include "tools/demux/demuxargs.h"

#include <strings.h>

#include "tools/common/toolconsole.h"
#include "tools/demux/cliplist.h"

namespace demux {

TCommandLine ParseCommandLine(const std::vector<std::string> &args)
{
    TCommandLine line;
    bool demux = false;
    for (size_t i = 0; i < args.size() && line.Ok(); ++i) {
        const std::string &arg = args[i];
        if (strcasecmp(arg.c_str(), "-demux") == 0) {
            demux = true;
        } else if (!arg.empty() && arg[0] == '-') {
            line.Error = "unknown option " + arg;
        } else {
            TClipList list = ResolveClipList(arg);
            if (!list.Ok()) {
                line.Unresolved = list.Unresolved;
                line.Error = "no such clip file";
            }
            line.Clips.insert(line.Clips.end(), list.Paths.begin(), list.Paths.end());
        }
    }
    if (line.Ok() && !demux)
        line.Error = "the -demux option is missing";
    if (line.Ok() && line.Clips.empty())
        line.Error = "no clip given";
    return line;
}

std::optional<TCommandLine> ReadCommandLine(const std::vector<std::string> &args, TConsole &console)
{
    TCommandLine line = ParseCommandLine(args);
    if (line.Ok())
        return line;
    console.Error(line.Unresolved, line.Error);
    console.Usage(kUsage);
    return std::nullopt;
}

}  // namespace demux
