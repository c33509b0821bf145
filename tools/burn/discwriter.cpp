// Writing an image through libburn.
#include "tools/burn/discwriter.h"

#include "tools/common/stopflag.h"

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
#include <thread>
#include <vector>

#include "tools/burn/verify.h"
#include "tools/common/toolconsole.h"

// libburn declares its C interface in this namespace for C++.
using namespace burn;

namespace {

const char StdioPrefix[] = "stdio:";
// 32 MB of read-ahead between the sources and the drive: several seconds
// of the fastest DVD writing speed, so that a slow source read never
// empties the drive's buffer.
constexpr int kFifoChunks = 16384;

// Why reading the sources failed, set on libburn's reading thread.
struct TSourceError
{
    std::mutex Lock;
    std::string Text;
};

// The source's own data, freed by libburn with the source.
struct TSourceState
{
    udf::TUdfImageReader Reader;
    off_t Size;
    std::shared_ptr<TSourceError> Error;
    TSourceState(const udf::TUdfImage &image, std::shared_ptr<TSourceError> e)
        : Reader(image), Size(static_cast<off_t>(image.Size())), Error(std::move(e))
    { }
};

int SourceRead(burn_source *source, unsigned char *buffer, int size)
{
    auto *state = static_cast<TSourceState *>(source->data);
    ssize_t got = state->Reader.Read(buffer, static_cast<size_t>(size));
    if (got < 0) {
        std::lock_guard<std::mutex> guard(state->Error->Lock);
        state->Error->Text = state->Reader.Error();
        return -1;
    }
    return static_cast<int>(got);
}

off_t SourceSize(burn_source *source)
{
    return static_cast<TSourceState *>(source->data)->Size;
}

int SourceSetSize(burn_source *source, off_t size)
{
    static_cast<TSourceState *>(source->data)->Size = size;
    return 1;
}

void SourceFree(burn_source *source)
{
    delete static_cast<TSourceState *>(source->data);
}

// A libburn data source that streams the image; libburn frees the struct.
burn_source *NewImageSource(TSourceState *state)
{
    auto *source = static_cast<burn_source *>(std::calloc(1, sizeof(burn_source)));
    source->refcount = 1;
    source->get_size = SourceSize;
    source->set_size = SourceSetSize;
    source->free_data = SourceFree;
    source->data = state;
    source->version = 1;
    source->read_xt = SourceRead;
    return source;
}

const char *StatusText(burn_disc_status status)
{
    switch (status) {
    case BURN_DISC_EMPTY: return "no disc";
    case BURN_DISC_APPENDABLE: return "a disc that is not blank";
    case BURN_DISC_FULL: return "a full disc";
    case BURN_DISC_UNSUITABLE: return "a disc that cannot be written";
    default: return "a disc in an unknown state";
    }
}

}  // namespace

TDiscWriter::TDiscWriter(TConsole &console) : FConsole(console)
{ }

TDiscWriter::~TDiscWriter()
{
    Release(false);
    if (FInitialized)
        burn_finish();
}

bool TDiscWriter::CheckStdioFile(const std::string &path)
{
    struct stat st
    { };
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return true;  // a device is written in place
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        FConsole.Error("The destination \"" + path + "\" cannot be opened: " + std::strerror(errno) + ".");
        return false;
    }
    close(fd);
    FStdioFile = path;
    return true;
}

bool TDiscWriter::EmptyStdioFile()
{
    if (FStdioFile.empty() || truncate(FStdioFile.c_str(), 0) == 0)
        return true;
    FConsole.Error("The destination \"" + FStdioFile + "\" cannot be emptied: " + std::strerror(errno) + ".");
    return false;
}

bool TDiscWriter::Grab(const std::string &address)
{
    std::vector<char> adr(address.begin(), address.end());
    adr.push_back('\0');
    if (burn_drive_scan_and_grab(&FInfos, adr.data(), 1) <= 0) {
        FConsole.Error("The destination \"" + address + "\" cannot be opened as a drive.");
        FInfos = nullptr;
        return false;
    }
    FDrive = FInfos[0].drive;
    FAddress = address;
    return true;
}

bool TDiscWriter::Open(const std::string &address)
{
    if (!burn_initialize()) {
        FConsole.Error("The disc writing library cannot start.");
        return false;
    }
    FInitialized = true;
    burn_msgs_set_severities(const_cast<char *>("NEVER"), const_cast<char *>("SORRY"),
                             const_cast<char *>("imgburn: "));
    if (address.rfind(StdioPrefix, 0) == 0) {
        if (!CheckStdioFile(address.substr(std::strlen(StdioPrefix))))
            return false;
        return Grab(address);
    }
    if (!address.empty())
        return Grab(address);

    burn_drive_info *found = nullptr;
    unsigned int count = 0;
    while (!burn_drive_scan(&found, &count))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (count == 0) {
        FConsole.Error("No optical drive found.");
        burn_drive_info_free(found);
        return false;
    }
    char first[BURN_DRIVE_ADR_LEN];
    int ok = burn_drive_get_adr(&found[0], first);
    burn_drive_info_free(found);
    if (ok <= 0) {
        FConsole.Error("The first optical drive cannot be named.");
        return false;
    }
    return Grab(first);
}

bool TDiscWriter::WaitForBlank(bool wait)
{
    burn_disc_status last = BURN_DISC_UNREADY;
    for (;;) {
        burn_disc_status status = burn_disc_get_status(FDrive);
        if (status == BURN_DISC_BLANK)
            return true;
        if (!wait) {
            FConsole.Error("The drive " + FAddress + " holds " + StatusText(status)
                           + "; a blank writable disc is needed.");
            return false;
        }
        if (status != last) {
            FConsole.Note("Waiting for a blank writable disc in " + FAddress + " (it holds "
                          + StatusText(status) + ")...");
            last = status;
        }
        for (int tick = 0; tick < 20 && !StopRequested(); ++tick)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (StopRequested()) {
            FConsole.Error("Stopped on request while waiting for a blank disc.");
            return false;
        }
        burn_drive_re_assess(FDrive, 0);
    }
}

bool TDiscWriter::CheckRoom(uint64_t bytes)
{
    burn_write_opts *opts = burn_write_opts_new(FDrive);
    off_t room = burn_disc_available_space(FDrive, opts);
    burn_write_opts_free(opts);
    if (room >= 0 && static_cast<uint64_t>(room) < bytes) {
        FConsole.NoRoom("The image needs " + std::to_string(bytes) + " bytes but the medium in " + FAddress
                        + " holds only " + std::to_string(room) + " bytes; nothing was written.");
        return false;
    }
    return true;
}

bool TDiscWriter::Write(const udf::TUdfImage &image)
{
    // Stopped before the first byte: the destination stays as it was.
    if (StopRequested()) {
        FConsole.Error("Stopped on request; nothing was written.");
        return false;
    }
    if (!EmptyStdioFile())
        return false;
    auto error = std::make_shared<TSourceError>();
    burn_source *source = NewImageSource(new TSourceState(image, error));
    burn_source *fifo = burn_fifo_source_new(source, 2048, kFifoChunks, 1);
    burn_source_free(source);

    burn_disc *disc = burn_disc_create();
    burn_session *session = burn_session_create();
    burn_track *track = burn_track_create();
    burn_disc_add_session(disc, session, BURN_POS_END);
    burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
    bool ok = burn_track_set_source(track, fifo) == BURN_SOURCE_OK;
    burn_session_add_track(session, track, BURN_POS_END);

    burn_write_opts *opts = burn_write_opts_new(FDrive);
    burn_write_opts_set_perform_opc(opts, 0);
    burn_write_opts_set_multi(opts, 0);
    burn_write_opts_set_underrun_proof(opts, 1);
    burn_write_opts_set_stdio_fsync(opts, 1);  // a stdio file is synced once, at the end
    char reasons[BURN_REASONS_LEN];
    if (ok && burn_write_opts_auto_write_type(opts, disc, reasons, 0) == BURN_WRITE_NONE) {
        FConsole.Error("The medium in " + FAddress + " cannot be written: " + reasons);
        ok = false;
    }
    if (ok) {
        burn_disc_write(opts, disc);
        burn_progress progress {};
        bool cancelled = false;
        while (burn_drive_get_status(FDrive, &progress) != BURN_DRIVE_IDLE) {
            if (StopRequested() && !cancelled) {
                burn_drive_cancel(FDrive);
                cancelled = true;
            }
            if (progress.sectors > 0 && progress.sector >= 0)
                FConsole.Progress("Writing", uint64_t(progress.sector), uint64_t(progress.sectors));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ok = burn_drive_wrote_well(FDrive) && !cancelled;
        if (ok)
            FConsole.Progress("Writing", 100);
        FConsole.EndProgress();
        std::lock_guard<std::mutex> guard(error->Lock);
        if (!error->Text.empty())
            FConsole.Error(error->Text);
        if (cancelled)
            FConsole.Error("Stopped on request; the medium in " + FAddress + " was not finished.");
        else if (!ok)
            FConsole.Error("Writing to " + FAddress + " failed.");
    }
    burn_write_opts_free(opts);
    burn_track_free(track);
    burn_session_free(session);
    burn_disc_free(disc);
    burn_source_free(fifo);
    return ok;
}

bool TDiscWriter::Verify(const udf::TUdfImage &image)
{
    if (!FStdioFile.empty()) {
        int fd = open(FStdioFile.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            RunBeforeVerifyHook(fd);
            close(fd);
        }
    }
    const TReadWritten readDisc = [this](uint64_t offset, uint8_t *data, size_t size) {
        off_t count = 0;
        return burn_read_data(FDrive, static_cast<off_t>(offset), reinterpret_cast<char *>(data),
                              static_cast<off_t>(size), &count, 0)
                   > 0
               && count == static_cast<off_t>(size);
    };
    return VerifyWritten(image, "the disc in " + FAddress, readDisc, FConsole);
}

void TDiscWriter::Release(bool eject)
{
    if (FDrive)
        burn_drive_release(FDrive, eject ? 1 : 0);
    FDrive = nullptr;
    if (FInfos)
        burn_drive_info_free(FInfos);
    FInfos = nullptr;
}
