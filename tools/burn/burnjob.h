// One run of the burner: parse the switches, build the UDF 2.50 image of
// the sources, write it to the drive or image file, verify and eject.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes: done; done, but something was changed on the way (the
// volume label); failed; failed before writing anything because the image
// is larger than the medium in the drive, or than the free space for an
// image file.
enum TBurnExit { BurnDone = 0, BurnDoneWithNotes = 1, BurnFailed = 2, BurnNoRoom = 3 };

// `settingsPath` is the burner's settings file (see burnsettings.h).
// Progress goes to `out`, errors to `err`.
int RunBurn(const std::vector<std::string> &args, const std::string &settingsPath, std::ostream &out,
            std::ostream &err);
