// tsmuxer: builds an AVCHD disc folder from a meta file.
// Usage: tsmuxer META_FILE OUTPUT_FOLDER
#include <csignal>
#include <iostream>

#include "mux/discbuilder.h"

namespace {

void onSignal(int) { TDiscBuilder::requestStop(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tsmuxer META_FILE OUTPUT_FOLDER\n";
    return 2;
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  // A reader of our output that goes away only stops the output.
  std::signal(SIGPIPE, SIG_IGN);
  TDiscBuilder builder(std::cout, std::cerr);
  return builder.run(argv[1], argv[2]);
}
