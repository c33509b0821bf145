// imgburn: builds a UDF 2.50 file system of folders and writes it to a
// disc, a stdio: file or an image file.
#include <iostream>

#include "burn/burnjob.h"
#include "burn/burnsettings.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunBurn(args, BurnSettingsPath(), std::cout, std::cerr);
}
