// The program-wide request to stop the running processing. Set by
// "Interrompre" and by closing the main window, cleared when a processing
// action starts; the output handlers copy it into the runner's abort flag
// and the disc steps read it once their program has ended.
#pragma once

#include <atomic>

extern std::atomic<bool> AbortRequested;
