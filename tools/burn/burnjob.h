// One run of the burner: build the UDF 2.50 image of the sources, write it
// to the drive or image file, verify and eject.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/burn/burnswitches.h"

class TConsole;

// The switches of `args`, the arguments after the program's name; a line
// that cannot be used is reported on the console, with the usage text, and
// gives none.
std::optional<TBurnSwitches> ReadBurnLine(const std::vector<std::string> &args, TConsole &console);

// Carries the switches out. `settingsPath` is the burner's settings file
// (see burnsettings.h). The console's status then says how it went: a
// volume label that had to be changed is a warning; an image larger than
// the medium, or than the free space for an image file, gives esNoRoom
// before anything is written.
void RunBurn(const TBurnSwitches &s, const std::string &settingsPath, TConsole &console);
