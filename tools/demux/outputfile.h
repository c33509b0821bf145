// A stream file written so that nothing half-written is ever left under its
// name: the data goes to an unnamed file in the target folder (O_TMPFILE),
// or to a hidden temporary name where the file system lacks that, and only
// Publish() gives it its final name. Destroying an unpublished file
// discards it; a killed process leaves nothing behind in the O_TMPFILE case.
// Finish() does everything that can fail for lack of room first, so that
// several files can be finished and then published together. Hidden names
// are removed on SIGTERM and SIGINT once InstallInterruptCleanup() ran.
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
  // Gives finished files their final names, replacing older files there:
  // either every file takes its name, or none does and the files already
  // under those names stay. False with Error() set on the file at fault.
  static bool PublishTogether(const std::vector<TOutputFile*>& files);
  bool Publish() { return PublishTogether({this}); }
  void Discard();

  const std::string& Path() const { return FPath; }
  const std::string& Error() const { return FError; }
  uint64_t BytesWritten() const { return FBytes; }

private:
  bool Flush();
  void SetTempPath(const std::string& path);
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

// Removes the hidden files of unfinished output files when the program is
// stopped by SIGTERM or SIGINT, then stops it as the signal would.
void InstallInterruptCleanup();

}  // namespace demux
