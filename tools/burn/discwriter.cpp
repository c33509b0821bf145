// Writing an image through libburn.
#include "discwriter.h"

#include <fcntl.h>
#include <libburn/libburn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

// libburn declares its C interface in this namespace for C++.
using namespace burn;

namespace {

const char StdioPrefix[] = "stdio:";
// 32 MB of read-ahead between the sources and the drive: several seconds
// of the fastest DVD writing speed, so that a slow source read never
// empties the drive's buffer.
constexpr int FifoChunks = 16384;
constexpr int VerifyChunk = 1 << 20;

// Why reading the sources failed, set on libburn's reading thread.
struct TSourceError {
  std::mutex lock;
  std::string text;
};

// The source's own data, freed by libburn with the source.
struct TSourceState {
  udf::TUdfImageReader reader;
  off_t size;
  std::shared_ptr<TSourceError> error;
  TSourceState(const udf::TUdfImage& image, std::shared_ptr<TSourceError> e)
      : reader(image), size(static_cast<off_t>(image.Size())), error(std::move(e)) {}
};

int SourceRead(burn_source* source, unsigned char* buffer, int size) {
  auto* state = static_cast<TSourceState*>(source->data);
  ssize_t got = state->reader.Read(buffer, static_cast<size_t>(size));
  if (got < 0) {
    std::lock_guard<std::mutex> guard(state->error->lock);
    state->error->text = state->reader.Error();
    return -1;
  }
  return static_cast<int>(got);
}

off_t SourceSize(burn_source* source) { return static_cast<TSourceState*>(source->data)->size; }

int SourceSetSize(burn_source* source, off_t size) {
  static_cast<TSourceState*>(source->data)->size = size;
  return 1;
}

void SourceFree(burn_source* source) { delete static_cast<TSourceState*>(source->data); }

// A libburn data source that streams the image; libburn frees the struct.
burn_source* NewImageSource(TSourceState* state) {
  auto* source = static_cast<burn_source*>(std::calloc(1, sizeof(burn_source)));
  source->refcount = 1;
  source->get_size = SourceSize;
  source->set_size = SourceSetSize;
  source->free_data = SourceFree;
  source->data = state;
  source->version = 1;
  source->read_xt = SourceRead;
  return source;
}

const char* StatusText(burn_disc_status status) {
  switch (status) {
    case BURN_DISC_EMPTY: return "no disc";
    case BURN_DISC_APPENDABLE: return "a disc that is not blank";
    case BURN_DISC_FULL: return "a full disc";
    case BURN_DISC_UNSUITABLE: return "a disc that cannot be written";
    default: return "a disc in an unknown state";
  }
}

}  // namespace

TDiscWriter::TDiscWriter(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

TDiscWriter::~TDiscWriter() {
  Release(false);
  if (initialized_) burn_finish();
}

bool TDiscWriter::CheckStdioFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return true;  // a device is written in place
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    err_ << "The destination \"" << path << "\" cannot be opened: " << std::strerror(errno) << ".\n";
    return false;
  }
  close(fd);
  stdioFile_ = path;
  return true;
}

bool TDiscWriter::EmptyStdioFile() {
  if (stdioFile_.empty() || truncate(stdioFile_.c_str(), 0) == 0) return true;
  err_ << "The destination \"" << stdioFile_ << "\" cannot be emptied: " << std::strerror(errno) << ".\n";
  return false;
}

bool TDiscWriter::Grab(const std::string& address) {
  std::vector<char> adr(address.begin(), address.end());
  adr.push_back('\0');
  if (burn_drive_scan_and_grab(&infos_, adr.data(), 1) <= 0) {
    err_ << "The destination \"" << address << "\" cannot be opened as a drive.\n";
    infos_ = nullptr;
    return false;
  }
  drive_ = infos_[0].drive;
  address_ = address;
  return true;
}

bool TDiscWriter::Open(const std::string& address) {
  if (!burn_initialize()) {
    err_ << "The disc writing library cannot start.\n";
    return false;
  }
  initialized_ = true;
  burn_msgs_set_severities(const_cast<char*>("NEVER"), const_cast<char*>("SORRY"),
                           const_cast<char*>("imgburn: "));
  if (address.rfind(StdioPrefix, 0) == 0) {
    if (!CheckStdioFile(address.substr(std::strlen(StdioPrefix)))) return false;
    return Grab(address);
  }
  if (!address.empty()) return Grab(address);

  burn_drive_info* found = nullptr;
  unsigned int count = 0;
  while (!burn_drive_scan(&found, &count)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (count == 0) {
    err_ << "No optical drive found.\n";
    burn_drive_info_free(found);
    return false;
  }
  char first[BURN_DRIVE_ADR_LEN];
  int ok = burn_drive_get_adr(&found[0], first);
  burn_drive_info_free(found);
  if (ok <= 0) {
    err_ << "The first optical drive cannot be named.\n";
    return false;
  }
  return Grab(first);
}

bool TDiscWriter::WaitForBlank(bool wait) {
  burn_disc_status last = BURN_DISC_UNREADY;
  for (;;) {
    burn_disc_status status = burn_disc_get_status(drive_);
    if (status == BURN_DISC_BLANK) return true;
    if (!wait) {
      err_ << "The drive " << address_ << " holds " << StatusText(status) << "; a blank writable disc is needed.\n";
      return false;
    }
    if (status != last) {
      out_ << "Waiting for a blank writable disc in " << address_ << " (it holds " << StatusText(status) << ")..."
           << std::endl;
      last = status;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    burn_drive_re_assess(drive_, 0);
  }
}

bool TDiscWriter::CheckRoom(uint64_t bytes) {
  burn_write_opts* opts = burn_write_opts_new(drive_);
  off_t room = burn_disc_available_space(drive_, opts);
  burn_write_opts_free(opts);
  if (room >= 0 && static_cast<uint64_t>(room) < bytes) {
    err_ << "The image needs " << bytes << " bytes but the medium in " << address_ << " holds only " << room
         << " bytes; nothing was written.\n";
    return false;
  }
  return true;
}

bool TDiscWriter::Write(const udf::TUdfImage& image) {
  if (!EmptyStdioFile()) return false;
  auto error = std::make_shared<TSourceError>();
  burn_source* source = NewImageSource(new TSourceState(image, error));
  burn_source* fifo = burn_fifo_source_new(source, 2048, FifoChunks, 1);
  burn_source_free(source);

  burn_disc* disc = burn_disc_create();
  burn_session* session = burn_session_create();
  burn_track* track = burn_track_create();
  burn_disc_add_session(disc, session, BURN_POS_END);
  burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
  bool ok = burn_track_set_source(track, fifo) == BURN_SOURCE_OK;
  burn_session_add_track(session, track, BURN_POS_END);

  burn_write_opts* opts = burn_write_opts_new(drive_);
  burn_write_opts_set_perform_opc(opts, 0);
  burn_write_opts_set_multi(opts, 0);
  burn_write_opts_set_underrun_proof(opts, 1);
  burn_write_opts_set_stdio_fsync(opts, 1);  // a stdio file is synced once, at the end
  char reasons[BURN_REASONS_LEN];
  if (ok && burn_write_opts_auto_write_type(opts, disc, reasons, 0) == BURN_WRITE_NONE) {
    err_ << "The medium in " << address_ << " cannot be written: " << reasons << "\n";
    ok = false;
  }
  if (ok) {
    burn_disc_write(opts, disc);
    burn_progress progress {};
    int shown = -1;
    while (burn_drive_get_status(drive_, &progress) != BURN_DRIVE_IDLE) {
      if (progress.sectors > 0) {
        int percent = static_cast<int>(100.0 * progress.sector / progress.sectors);
        if (percent != shown && percent <= 100) {
          out_ << "\rWriting: " << percent << "%" << std::flush;
          shown = percent;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ok = burn_drive_wrote_well(drive_);
    out_ << (ok ? "\rWriting: 100%\n" : "\n") << std::flush;
    std::lock_guard<std::mutex> guard(error->lock);
    if (!error->text.empty()) err_ << error->text << "\n";
    if (!ok) err_ << "Writing to " << address_ << " failed.\n";
  }
  burn_write_opts_free(opts);
  burn_track_free(track);
  burn_session_free(session);
  burn_disc_free(disc);
  burn_source_free(fifo);
  return ok;
}

bool TDiscWriter::Verify(const udf::TUdfImage& image) {
  udf::TUdfImageReader expected(image);
  std::vector<char> disc(VerifyChunk);
  std::vector<uint8_t> source(VerifyChunk);
  uint64_t total = image.Size();
  int shown = -1;
  for (uint64_t at = 0; at < total; at += VerifyChunk) {
    auto size = static_cast<size_t>(std::min<uint64_t>(VerifyChunk, total - at));
    off_t count = 0;
    if (burn_read_data(drive_, static_cast<off_t>(at), disc.data(), static_cast<off_t>(size), &count, 0) <= 0) {
      err_ << "\nVerifying: reading " << address_ << " failed at byte " << at + count << ".\n";
      return false;
    }
    if (expected.Read(source.data(), size) != static_cast<ssize_t>(size)) {
      err_ << "\nVerifying: " << expected.Error() << "\n";
      return false;
    }
    if (std::memcmp(disc.data(), source.data(), size) != 0) {
      err_ << "\nVerifying: the disc differs from the sources near byte " << at << ".\n";
      return false;
    }
    int percent = static_cast<int>(100 * (at + size) / total);
    if (percent != shown) {
      out_ << "\rVerifying: " << percent << "%" << std::flush;
      shown = percent;
    }
  }
  out_ << "\n";
  return true;
}

void TDiscWriter::Release(bool eject) {
  if (drive_) burn_drive_release(drive_, eject ? 1 : 0);
  drive_ = nullptr;
  if (infos_) burn_drive_info_free(infos_);
  infos_ = nullptr;
}
