// eac3to stand-in: `eac3to -demux "a.m2ts"+"b.m2ts"+...` joins the clips
// into {first clip name less .m2ts or .mts}.h264 and .ac3 in the current folder.
#include <iostream>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/common/toolconsole.h"
#include "tools/demux/demuxargs.h"
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
    TConsole console("eac3to", std::cout, std::cerr);
    // SIGTERM or SIGINT ends it at once, its unfinished streams removed.
    SetUpSignals();
    av_log_set_level(AV_LOG_QUIET);  // problems are reported once, by us, with the file concerned
    const auto line = demux::ReadCommandLine(console.TakeArguments(argc, argv), console);
    if (line)
        demux::TDemuxer(console).Run(line->Clips, CurrentFolder());
    return console.Status();
}
