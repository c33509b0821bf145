// eac3to stand-in: `eac3to -demux "a.m2ts"+"b.m2ts"+...` joins the clips
// into {first clip name less .m2ts or .mts}.h264 and .ac3 in the current folder.
#include <csignal>
#include <iostream>
#include <string>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/demux/demuxargs.h"
#include "tools/common/outputfile.h"
#include "tools/demux/console.h"
#include "tools/demux/demuxer.h"

// The current folder by its full name, so that messages say where the
// streams went; "." when it has none any more (deleted while we run).
static std::string CurrentFolder()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

int main(int argc, char **argv)
{
    // A reader of our output that goes away only stops the output.
    std::signal(SIGPIPE, SIG_IGN);
    // Problems are reported once, by us, with the file concerned.
    av_log_set_level(AV_LOG_QUIET);
    InstallInterruptCleanup();
    demux::TConsole console(std::cout, std::cerr);
    demux::TCommandLine line = demux::ParseCommandLine(argc, argv);
    if (!line.Ok()) {
        console.Error(line.Unresolved.empty() ? "" : line.Unresolved, line.Error);
        std::cerr << demux::kUsage;
        return demux::esError;
    }
    return demux::TDemuxer(console).Run(line.Clips, CurrentFolder());
}
