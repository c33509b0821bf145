// Writing an image file.
#include "imagefilewriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <vector>

namespace {

constexpr size_t Chunk = 4 << 20;

class TProgress {
 public:
  TProgress(std::ostream& out, const char* what, uint64_t total) : out_(out), what_(what), total_(total) {}
  void Show(uint64_t done) {
    int percent = total_ ? static_cast<int>(100 * done / total_) : 100;
    if (percent == shown_) return;
    out_ << "\r" << what_ << ": " << percent << "%" << std::flush;
    shown_ = percent;
  }
  void End() { out_ << "\n"; }

 private:
  std::ostream& out_;
  const char* what_;
  uint64_t total_;
  int shown_ = -1;
};

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool AllZero(const uint8_t* data, size_t size) {
  return size == 0 || (data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0);
}

bool HasRoom(const std::string& path, uint64_t bytes, std::ostream& err) {
  std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
  struct statvfs fs {};
  if (statvfs(folder.c_str(), &fs) != 0) return true;  // the open reports a missing folder
  uint64_t room = uint64_t(fs.f_bavail) * fs.f_frsize;
  if (room < bytes) {
    err << "The image needs " << bytes << " bytes but " << folder << " has only " << room
        << " bytes free; nothing was written.\n";
    return false;
  }
  return true;
}

bool CopyImage(const udf::TUdfImage& image, int fd, const std::string& path, std::ostream& out, std::ostream& err) {
  udf::TUdfImageReader reader(image);
  std::vector<uint8_t> buffer(Chunk);
  TProgress progress(out, "Writing", image.Size());
  for (;;) {
    ssize_t got = reader.Read(buffer.data(), buffer.size());
    if (got < 0) {
      progress.End();
      err << reader.Error() << "\n";
      return false;
    }
    if (got == 0) break;
    // Runs of zeros (gaps, sparse sources) are skipped, leaving holes.
    bool skipped = AllZero(buffer.data(), static_cast<size_t>(got)) && lseek(fd, got, SEEK_CUR) >= 0;
    if (!skipped && !WriteAll(fd, buffer.data(), static_cast<size_t>(got))) {
      progress.End();
      err << "Writing \"" << path << "\" failed: " << std::strerror(errno) << ".\n";
      return false;
    }
    progress.Show(reader.Position());
  }
  progress.End();
  if (ftruncate(fd, static_cast<off_t>(image.Size())) != 0) {
    err << "Writing \"" << path << "\" failed: " << std::strerror(errno) << ".\n";
    return false;
  }
  return true;
}

bool CompareImage(const udf::TUdfImage& image, int fd, std::ostream& out, std::ostream& err) {
  udf::TUdfImageReader reader(image);
  std::vector<uint8_t> expected(Chunk), written(Chunk);
  TProgress progress(out, "Verifying", image.Size());
  uint64_t at = 0;
  for (;;) {
    ssize_t want = reader.Read(expected.data(), expected.size());
    if (want < 0) {
      progress.End();
      err << "Verifying: " << reader.Error() << "\n";
      return false;
    }
    if (want == 0) break;
    ssize_t got = pread(fd, written.data(), static_cast<size_t>(want), static_cast<off_t>(at));
    if (got != want || std::memcmp(expected.data(), written.data(), static_cast<size_t>(want)) != 0) {
      progress.End();
      err << "Verifying: the image differs from the sources near byte " << at << ".\n";
      return false;
    }
    at += static_cast<uint64_t>(want);
    progress.Show(at);
  }
  progress.End();
  return true;
}

// The image and its ".part" file replace only regular files: renaming over
// a device node, a folder or a link would destroy what the name stood for.
bool IsFileOrAbsent(const std::string& path, std::ostream& err) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    err << "The destination \"" << path << "\" cannot be examined: " << std::strerror(errno)
        << "; nothing was written.\n";
    return false;
  }
  if (S_ISREG(st.st_mode)) return true;
  err << "The destination \"" << path << "\" exists and is not a regular file"
      << (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? " (it is a device; write to a drive with /BUILDOUTPUTMODE DEVICE)"
                                                      : "")
      << "; nothing was written.\n";
  return false;
}

}  // namespace

bool WriteImageFile(const udf::TUdfImage& image, const std::string& path, bool verify, std::ostream& out,
                    std::ostream& err) {
  std::string partial = path + ".part";
  if (!IsFileOrAbsent(path, err) || !IsFileOrAbsent(partial, err) || !HasRoom(path, image.Size(), err))
    return false;
  int fd = open(partial.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    err << "The destination \"" << path << "\" cannot be opened: " << std::strerror(errno) << ".\n";
    return false;
  }
  bool ok = CopyImage(image, fd, path, out, err) && (!verify || CompareImage(image, fd, out, err));
  if (ok && fsync(fd) != 0) {
    err << "Writing \"" << path << "\" failed: " << std::strerror(errno) << ".\n";
    ok = false;
  }
  close(fd);
  if (ok && std::rename(partial.c_str(), path.c_str()) != 0) {
    err << "The image cannot be renamed to \"" << path << "\": " << std::strerror(errno) << ".\n";
    ok = false;
  }
  if (!ok) unlink(partial.c_str());
  return ok;
}
