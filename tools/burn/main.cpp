// imgburn: builds a UDF 2.50 file system of folders and writes it to a
// disc, a stdio: file or an image file.
#include <csignal>
#include <iostream>

#include "tools/burn/burnjob.h"
#include "tools/burn/burnsettings.h"
#include "tools/common/outputfile.h"
#include "tools/common/stopflag.h"

int main(int argc, char **argv)
{
    // Whoever reads our output may go away (the application closed during a
    // burn): the writes then fail, the output stream stops printing, and the
    // disc is still finished instead of ruined.
    std::signal(SIGPIPE, SIG_IGN);
    // SIGTERM or SIGINT stops the writing: a drive is released, an image
    // file leaves nothing behind. A second signal stops the program at once.
    InstallInterruptCleanup(RequestStop);
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunBurn(args, BurnSettingsPath(), std::cout, std::cerr);
}
