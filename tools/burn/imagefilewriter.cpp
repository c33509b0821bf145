// Writing an image file.
#include "tools/burn/imagefilewriter.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/burn/verify.h"
#include "tools/common/outputfile.h"
#include "tools/common/stopflag.h"
#include "tools/common/toolconsole.h"

namespace {

constexpr size_t kChunk = 4 << 20;

bool AllZero(const uint8_t *data, size_t size)
{
    return size == 0 || (data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0);
}

bool HasRoom(const std::string &path, uint64_t bytes, TConsole &console)
{
    std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
    struct statvfs fs
    { };
    if (statvfs(folder.c_str(), &fs) != 0)
        return true;  // the open reports a missing folder
    uint64_t room = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (room < bytes) {
        console.NoRoom("The image needs " + std::to_string(bytes) + " bytes but " + folder + " has only "
                       + std::to_string(room) + " bytes free; nothing was written.");
        return false;
    }
    return true;
}

// Asked to stop (SIGTERM, SIGINT): the unfinished image is dropped.
bool Stopped(TConsole &console)
{
    console.Error("Stopped on request; the image was not written.");
    return false;
}

bool WritingFailed(const TOutputFile &file, TConsole &console)
{
    console.Error("Writing \"" + file.Path() + "\" failed: " + std::strerror(file.ErrorNumber()) + ".");
    return false;
}

bool CopyImage(const udf::TUdfImage &image, TOutputFile &file, TConsole &console)
{
    udf::TUdfImageReader reader(image);
    std::vector<uint8_t> buffer(kChunk);
    for (;;) {
        ssize_t got = reader.Read(buffer.data(), buffer.size());
        if (got < 0) {
            console.Error(reader.Error());
            return false;
        }
        if (got == 0 || StopRequested())
            break;
        // Runs of zeros (gaps, sparse sources) are skipped, leaving holes.
        const size_t size = static_cast<size_t>(got);
        if (!(AllZero(buffer.data(), size) ? file.Skip(size) : file.Write(buffer.data(), size)))
            return WritingFailed(file, console);
        console.Progress("Writing", reader.Position(), image.Size());
    }
    console.EndProgress();
    return true;
}

// The image replaces only a regular file: renaming over a device node, a
// folder or a link would destroy what the name stood for.
bool IsFileOrAbsent(const std::string &path, TConsole &console)
{
    struct stat st
    { };
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        console.Error("The destination \"" + path + "\" cannot be examined: " + std::strerror(errno)
                      + "; nothing was written.");
        return false;
    }
    if (S_ISREG(st.st_mode))
        return true;
    console.Error("The destination \"" + path + "\" exists and is not a regular file"
                  + (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)
                         ? " (it is a device; write to a drive with /BUILDOUTPUTMODE DEVICE)"
                         : "")
                  + "; nothing was written.");
    return false;
}

}  // namespace

bool WriteImageFile(const udf::TUdfImage &image, const std::string &path, bool verify, TConsole &console)
{
    if (StopRequested())
        return Stopped(console);
    if (!IsFileOrAbsent(path, console) || !HasRoom(path, image.Size(), console))
        return false;
    TOutputFile file;
    if (!file.Open(path)) {
        console.Error("The destination \"" + path
                      + "\" cannot be opened: " + std::strerror(file.ErrorNumber()) + ".");
        return false;
    }
    if (!CopyImage(image, file, console))
        return false;
    if (StopRequested())
        return Stopped(console);
    if (!file.Sync())
        return WritingFailed(file, console);
    if (verify) {
        RunBeforeVerifyHook(file.Descriptor());
        const TReadWritten readBack = [&file](uint64_t offset, uint8_t *data, size_t size) {
            return file.ReadBack(offset, data, size);
        };
        if (!VerifyWritten(image, "the image file", readBack, console))
            return false;
    }
    if (StopRequested())
        return Stopped(console);
    if (!file.Finish())
        return WritingFailed(file, console);
    if (!file.Publish()) {
        console.Error("The image cannot be renamed to \"" + path + "\": " + std::strerror(file.ErrorNumber())
                      + ".");
        return false;
    }
    return true;
}
