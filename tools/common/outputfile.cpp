#include "tools/common/outputfile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 4 << 20;

std::string FolderOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string HiddenPath(const std::string &path, const std::string &suffix)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + suffix;
}

std::string HiddenTempPath(const std::string &path)
{
    return HiddenPath(path, ".XXXXXX");
}

// The hidden names in use, where a signal handler can read them: fixed
// buffers, each published by its flag once written.
struct THiddenName
{
    std::atomic<bool> Used {false};
    char Path[4096];
};
THiddenName gHiddenNames[8];

void ForgetHiddenName(const std::string &path)
{
    for (THiddenName &slot : gHiddenNames)
        if (slot.Used.load() && path == slot.Path)
            slot.Used.store(false);
}

void RememberHiddenName(const std::string &path)
{
    if (path.size() >= sizeof gHiddenNames[0].Path)
        return;
    for (THiddenName &slot : gHiddenNames)
        if (!slot.Used.load()) {
            std::memcpy(slot.Path, path.c_str(), path.size() + 1);
            slot.Used.store(true);
            return;
        }
}

// The program's own way to stop, when it has one, and whether a signal
// already asked it to.
void (*gRequestStop)() = nullptr;
std::atomic<bool> gStopRequested {false};

extern "C" void RemoveHiddenNamesAndStop(int signal)
{
    if (gRequestStop && !gStopRequested.exchange(true)) {
        gRequestStop();
        return;
    }
    for (THiddenName &slot : gHiddenNames)
        if (slot.Used.load())
            unlink(slot.Path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The mode open(2) gives a new file, where mkostemp makes it private.
mode_t ModeForUmask()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Renames `from` to `to` when `from` names a regular file; true when done.
bool MoveAsideIfFile(const std::string &from, const std::string &to)
{
    struct stat st
    { };
    return lstat(from.c_str(), &st) == 0 && S_ISREG(st.st_mode) && rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

void InstallInterruptCleanup(void (*requestStop)())
{
    gRequestStop = requestStop;
    struct sigaction action
    { };
    action.sa_handler = RemoveHiddenNamesAndStop;
    // A program asked to stop goes on to report it: its reads and writes
    // must not fail for having been interrupted.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT})
        sigaction(signal, &action, nullptr);
}

void TOutputFile::SetTempPath(const std::string &path)
{
    if (!FTempPath.empty())
        ForgetHiddenName(FTempPath);
    FTempPath = path;
    if (!path.empty())
        RememberHiddenName(path);
}

TOutputFile::~TOutputFile()
{
    Discard();
}

bool TOutputFile::Open(const std::string &path)
{
    Discard();
    FPath = path;
    FError.clear();
    FErrorNumber = 0;
    FBytes = 0;
    FUsed = 0;
    FSkipped = false;
    FFd = open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (FFd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string temp = HiddenTempPath(path);
        FFd = mkostemp(temp.data(), O_CLOEXEC);
        if (FFd >= 0) {
            SetTempPath(temp);
            fchmod(FFd, ModeForUmask());
        }
    }
    if (FFd < 0) {
        int err = errno;
        return Fail("cannot create a file in the folder " + FolderOf(path), err);
    }
    FBuffer.resize(kBufferSize);
    return true;
}

bool TOutputFile::Write(const uint8_t *data, size_t size)
{
    if (FFd < 0)
        return false;
    if (FUsed + size > FBuffer.size() && !Flush())
        return false;
    // A block as large as the buffer goes straight to the file, uncopied.
    if (size >= FBuffer.size()) {
        if (!WriteAll(data, size))
            return false;
    } else {
        std::memcpy(FBuffer.data() + FUsed, data, size);
        FUsed += size;
    }
    FBytes += size;
    return true;
}

void TOutputFile::FlushForReserve()
{
    Flush();
    // Before Open or after a failure there may be no buffer yet: the room
    // handed out is then only dropped.
    if (FBuffer.size() < kBufferSize)
        FBuffer.resize(kBufferSize);
}

bool TOutputFile::Skip(uint64_t size)
{
    if (FFd < 0 || !Flush())
        return false;
    if (lseek(FFd, static_cast<off_t>(size), SEEK_CUR) < 0)
        return Fail("cannot write " + FPath, errno);
    FBytes += size;
    FSkipped = true;
    return true;
}

bool TOutputFile::ReadBack(uint64_t offset, uint8_t *data, size_t size)
{
    if (FFd < 0 || !WriteOut())
        return false;
    while (size > 0) {
        ssize_t got = pread(FFd, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Fail("cannot read " + FPath + " back", errno);
        if (got == 0)
            return Fail("cannot read " + FPath + " back", EIO);
        data += got;
        size -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

bool TOutputFile::Sync()
{
    if (FFd < 0 || !WriteOut())
        return false;
    return fsync(FFd) == 0 || Fail("cannot write " + FPath, errno);
}

bool TOutputFile::WriteAll(const uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t done = write(FFd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            int err = done < 0 ? errno : ENOSPC;
            return Fail("cannot write " + FPath, err);
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool TOutputFile::Flush()
{
    bool ok = FFd >= 0 && WriteAll(FBuffer.data(), FUsed);
    FUsed = 0;
    return ok;
}

// Everything so far on the file, a hole at the end included: a seek past
// the end does not lengthen a file, a new length does.
bool TOutputFile::WriteOut()
{
    if (!Flush())
        return false;
    if (FSkipped && ftruncate(FFd, static_cast<off_t>(FBytes)) != 0)
        return Fail("cannot write " + FPath, errno);
    FSkipped = false;
    return true;
}

bool TOutputFile::Finish()
{
    if (FFd < 0 || !WriteOut())
        return false;
    if (FTempPath.empty()) {
        // An unnamed file gets a hidden name first: linkat cannot replace an
        // existing file, rename can.
        std::string temp = HiddenTempPath(FPath);
        std::string proc = "/proc/self/fd/" + std::to_string(FFd);
        for (int attempt = 0; attempt < 100 && FTempPath.empty(); ++attempt) {
            std::string name =
                temp.substr(0, temp.size() - 6) + std::to_string(getpid()) + "-" + std::to_string(attempt);
            if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                SetTempPath(name);
            else if (int err = errno; err != EEXIST)
                return Fail("cannot name " + FPath, err);
        }
        if (FTempPath.empty())
            return Fail("cannot name " + FPath, EEXIST);
    }
    if (close(FFd) != 0) {
        int err = errno;
        FFd = -1;
        return Fail("cannot write " + FPath, err);
    }
    FFd = -1;
    return true;
}

bool TOutputFile::PublishTogether(const std::vector<TOutputFile *> &files)
{
    for (TOutputFile *file : files)
        if (file->FFd >= 0 || file->FTempPath.empty())
            return false;  // not finished
    // The files of an earlier run step aside under hidden names, to come back
    // if any new file cannot take its name.
    const std::string aside = ".old-" + std::to_string(getpid());
    std::vector<bool> movedAside(files.size(), false);
    size_t named = 0;
    int err = 0;
    for (size_t i = 0; i < files.size(); ++i)
        movedAside[i] = MoveAsideIfFile(files[i]->FPath, HiddenPath(files[i]->FPath, aside));
    for (; named < files.size(); ++named)
        if (rename(files[named]->FTempPath.c_str(), files[named]->FPath.c_str()) != 0) {
            err = errno;
            break;
        }
    const bool ok = named == files.size();
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string oldPath = HiddenPath(files[i]->FPath, aside);
        if (ok) {
            files[i]->SetTempPath("");
            if (movedAside[i])
                unlink(oldPath.c_str());
            continue;
        }
        if (i < named)
            rename(files[i]->FPath.c_str(), files[i]->FTempPath.c_str());
        if (movedAside[i])
            rename(oldPath.c_str(), files[i]->FPath.c_str());
    }
    if (!ok)
        files[named]->Fail("cannot name " + files[named]->FPath, err);
    return ok;
}

void TOutputFile::Discard()
{
    if (FFd >= 0)
        close(FFd);
    FFd = -1;
    if (!FTempPath.empty())
        unlink(FTempPath.c_str());
    SetTempPath("");
    FUsed = 0;
}

bool TOutputFile::Fail(const std::string &what, int err)
{
    if (FError.empty()) {
        FError = what + ": " + std::strerror(err);
        FErrorNumber = err;
    }
    Discard();
    return false;
}
