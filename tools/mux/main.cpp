// tsmuxer: builds an AVCHD disc folder from a meta file.
// Usage: tsmuxer META_FILE OUTPUT_FOLDER
#include <iostream>

#include "tools/common/stopflag.h"
#include "tools/common/toolconsole.h"
#include "tools/mux/discbuilder.h"

int main(int argc, char **argv)
{
    TConsole console("tsmuxer", std::cout, std::cerr);
    // The first SIGTERM or SIGINT stops the build, which then removes what
    // it wrote; a second one stops it at once.
    SetUpSignals(RequestStop);
    const auto line = ReadMuxLine(console.TakeArguments(argc, argv), console);
    if (line)
        TDiscBuilder(console).Run(line->MetaPath, line->OutputFolder);
    return console.Status();
}
