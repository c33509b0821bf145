// Builds an AVCHD (or Blu-ray) disc folder from a meta file: BDMV with the
// index, movie object, playlist, clip info and M2TS stream plus their
// backups, and CERTIFICATE. Everything is written into a hidden folder
// beside the output folder and moved into place only when complete.
#pragma once

#include <iosfwd>
#include <string>

class TDiscBuilder {
public:
  TDiscBuilder(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  // Exit status: 0 done, 1 done with warnings, 2 failed (nothing changed
  // in the output folder).
  int run(const std::string& metaPath, const std::string& outputFolder);

  // Asks a running build to stop (from a signal handler): it fails and
  // removes what it wrote.
  static void requestStop();

private:
  void warn(const std::string& text);

  std::ostream& out_;
  std::ostream& err_;
  bool warned_ = false;
};

// The output folder argument with trailing path delimiters removed (the
// application passes a folder ending with a delimiter).
std::string normaliseOutputFolder(std::string folder);
