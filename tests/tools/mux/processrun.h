// Runs a program with an explicit argument list (no shell) and collects
// its standard output and error output.
#pragma once

#include <string>
#include <vector>

struct TProcessResult {
  int exitCode = -1;  // -1 when it could not start or was killed
  std::string out;
  std::string err;
};

// `folder`, when given, is the program's current folder.
TProcessResult runProcess(const std::vector<std::string>& argv, const std::string& folder = {});
