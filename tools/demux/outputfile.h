// A stream file written so that nothing half-written is ever left under its
// name: the data goes to an unnamed file in the target folder (O_TMPFILE),
// or to a hidden temporary name where the file system lacks that, and only
// Publish() gives it its final name. Destroying an unpublished file
// discards it; a killed process leaves nothing behind in the O_TMPFILE case.
// Finish() does everything that can fail for lack of room first, so that
// several files can be finished and then published together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace demux {

class TOutputFile {
public:
  TOutputFile() = default;
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Starts the file that Publish() will name `path`. False with Error() set
  // when the folder cannot be written.
  bool Open(const std::string& path);
  // Buffers and writes; false (and Error() set) from the first failure on.
  bool Write(const uint8_t* data, size_t size);
  // Writes out what is buffered and closes the file under a hidden name.
  bool Finish();
  // Gives a finished file its final name, replacing an older file there.
  bool Publish();
  void Discard();

  const std::string& Path() const { return FPath; }
  const std::string& Error() const { return FError; }
  uint64_t BytesWritten() const { return FBytes; }

private:
  bool Flush();
  bool WriteAll(const uint8_t* data, size_t size);
  bool Fail(const std::string& what, int err);

  std::string FPath;
  std::string FTempPath;  // named temporary file, when O_TMPFILE is not available
  std::string FError;
  std::vector<uint8_t> FBuffer;
  size_t FUsed = 0;
  uint64_t FBytes = 0;
  int FFd = -1;
};

}  // namespace demux
