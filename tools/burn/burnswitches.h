// The build command line the burner accepts: ImgBurn-style switches, names
// and YES/NO values in any letter case.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TOutputMode { Device, ImageFile };

struct TBurnSwitches {
  std::string mode;                  // only "BUILD" is done
  TOutputMode output = TOutputMode::Device;
  std::vector<std::string> sources;  // /SRC "a"|"b", possibly given more than once
  std::string fileSystem = "UDF";
  std::string udfRevision = "2.50";
  bool verify = false;
  std::optional<std::string> volumeLabel;
  bool eject = false;
  bool closeSuccess = false;
  bool noImageDetails = false;
  bool waitForMedia = false;
  bool start = false;
  std::string dest;  // device, stdio:/path, or the image file path
};

// Parses the arguments (program name excluded). Every problem found is
// added to `errors` as one line: unknown switches, missing or bad values,
// stray arguments, and requests this burner cannot carry out.
TBurnSwitches ParseBurnSwitches(const std::vector<std::string>& args, std::vector<std::string>& errors);

// The usage text printed with errors.
std::string BurnUsage();
