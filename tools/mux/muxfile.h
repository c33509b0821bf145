// The muxer's output files. The muxer reports every failure by throwing
// std::runtime_error; here a failed call on an output file becomes one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TOutputFile;

// Throws, naming the file and the system's reason, when `ok` is false:
// `failing` says what could not be done ("cannot create", "cannot write").
void ThrowOnFailure(bool ok, const TOutputFile &file, const char *failing = "cannot write");

// Writes a whole small file at once (structure files, backups).
void WriteWholeFile(const std::string &path, const std::vector<uint8_t> &data);
