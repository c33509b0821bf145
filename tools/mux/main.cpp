// tsmuxer: builds an AVCHD disc folder from a meta file.
// Usage: tsmuxer META_FILE OUTPUT_FOLDER
#include <csignal>
#include <iostream>

#include "tools/common/outputfile.h"
#include "tools/mux/discbuilder.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: tsmuxer META_FILE OUTPUT_FOLDER\n";
        return 2;
    }
    // SIGTERM and SIGINT stop the build, which then removes what it wrote; a
    // second one stops it at once.
    InstallInterruptCleanup(TDiscBuilder::RequestStop);
    // A reader of our output that goes away only stops the output.
    std::signal(SIGPIPE, SIG_IGN);
    TDiscBuilder builder(std::cout, std::cerr);
    return builder.Run(argv[1], argv[2]);
}
