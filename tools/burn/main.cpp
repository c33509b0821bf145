// imgburn: builds a UDF 2.50 file system of folders and writes it to a
// disc, a stdio: file or an image file.
#include <iostream>

#include "tools/burn/burnjob.h"
#include "tools/burn/burnsettings.h"
#include "tools/common/stopflag.h"
#include "tools/common/toolconsole.h"

int main(int argc, char **argv)
{
    TConsole console("imgburn", std::cout, std::cerr);
    // The first SIGTERM or SIGINT stops the writing: a drive is released, an
    // image file leaves nothing behind. A second one stops it at once.
    SetUpSignals(RequestStop);
    const auto line = ReadBurnLine(console.TakeArguments(argc, argv), console);
    if (line)
        RunBurn(*line, BurnSettingsPath(), console);
    return console.Status();
}
