// The build command line the burner accepts: ImgBurn-style switches, names
// and YES/NO values in any letter case.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TOutputMode { Device, ImageFile };

struct TBurnSwitches
{
    std::string Mode;  // only "BUILD" is done
    TOutputMode Output = TOutputMode::Device;
    std::vector<std::string> Sources;  // /SRC "a"|"b", possibly given more than once
    std::string FileSystem = "UDF";
    std::string UdfRevision = "2.50";
    bool Verify = false;
    std::optional<std::string> VolumeLabel;
    bool Eject = false;
    bool CloseSuccess = false;
    bool NoImageDetails = false;
    bool WaitForMedia = false;
    bool Start = false;
    std::string Dest;  // device, stdio:/path, or the image file path
    bool ListDrives = false;  // only list the drives found; nothing is built
};

// Parses the arguments (program name excluded). Every problem found is
// added to `errors` as one line: unknown switches, missing or bad values,
// stray arguments, and requests this burner cannot carry out. /LISTDRIVES
// needs neither /MODE nor /SRC.
TBurnSwitches ParseBurnSwitches(const std::vector<std::string> &args, std::vector<std::string> &errors);

// The usage text printed with errors.
std::string BurnUsage();
