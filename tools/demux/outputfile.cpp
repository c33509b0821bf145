#include "outputfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace demux {

namespace {

constexpr size_t kBufferSize = 4 << 20;

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string HiddenTempPath(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".XXXXXX";
}

}  // namespace

TOutputFile::~TOutputFile() { Discard(); }

bool TOutputFile::Open(const std::string& path) {
  Discard();
  FPath = path;
  FError.clear();
  FBytes = 0;
  FUsed = 0;
  FFd = open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (FFd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    std::string temp = HiddenTempPath(path);
    FFd = mkostemp(temp.data(), O_CLOEXEC);
    if (FFd >= 0) {
      FTempPath = temp;
      fchmod(FFd, 0644);
    }
  }
  if (FFd < 0) {
    int err = errno;
    return Fail("cannot create a file in the folder " + FolderOf(path), err);
  }
  FBuffer.resize(kBufferSize);
  return true;
}

bool TOutputFile::Write(const uint8_t* data, size_t size) {
  if (FFd < 0) return false;
  if (FUsed + size > FBuffer.size()) {
    if (!Flush()) return false;
    if (size >= FBuffer.size()) {
      if (!WriteAll(data, size)) return false;
      FBytes += size;
      return true;
    }
  }
  std::memcpy(FBuffer.data() + FUsed, data, size);
  FUsed += size;
  FBytes += size;
  return true;
}

bool TOutputFile::WriteAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t done = write(FFd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      int err = done < 0 ? errno : ENOSPC;
      return Fail("cannot write " + FPath, err);
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool TOutputFile::Flush() {
  bool ok = WriteAll(FBuffer.data(), FUsed);
  FUsed = 0;
  return ok;
}

bool TOutputFile::Finish() {
  if (FFd < 0 || !Flush()) return false;
  if (FTempPath.empty()) {
    // An unnamed file gets a hidden name first: linkat cannot replace an
    // existing file, rename can.
    std::string temp = HiddenTempPath(FPath);
    std::string proc = "/proc/self/fd/" + std::to_string(FFd);
    for (int attempt = 0; attempt < 100 && FTempPath.empty(); ++attempt) {
      std::string name = temp.substr(0, temp.size() - 6) + std::to_string(getpid()) + "-" + std::to_string(attempt);
      if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        FTempPath = name;
      else if (int err = errno; err != EEXIST)
        return Fail("cannot name " + FPath, err);
    }
    if (FTempPath.empty()) return Fail("cannot name " + FPath, EEXIST);
  }
  if (close(FFd) != 0) {
    int err = errno;
    FFd = -1;
    return Fail("cannot write " + FPath, err);
  }
  FFd = -1;
  return true;
}

bool TOutputFile::Publish() {
  if (FFd >= 0 || FTempPath.empty()) return false;  // not finished
  if (rename(FTempPath.c_str(), FPath.c_str()) != 0) {
    int err = errno;
    return Fail("cannot name " + FPath, err);
  }
  FTempPath.clear();
  return true;
}

void TOutputFile::Discard() {
  if (FFd >= 0) close(FFd);
  FFd = -1;
  if (!FTempPath.empty()) unlink(FTempPath.c_str());
  FTempPath.clear();
  FUsed = 0;
}

bool TOutputFile::Fail(const std::string& what, int err) {
  if (FError.empty()) FError = what + ": " + std::strerror(err);
  Discard();
  return false;
}

}  // namespace demux
