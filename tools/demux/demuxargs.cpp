#include "tools/demux/demuxargs.h"

#include <strings.h>

#include "tools/demux/cliplist.h"

namespace demux {

TCommandLine ParseCommandLine(int argc, const char *const *argv)
{
    TCommandLine line;
    bool demux = false;
    for (int i = 1; i < argc && line.Ok(); ++i) {
        std::string arg = argv[i];
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

}  // namespace demux
