// Writing an image file.
#include "tools/burn/imagefilewriter.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <vector>

#include "tools/common/outputfile.h"
#include "tools/common/stopflag.h"
#include "tools/burn/progress.h"
#include "tools/burn/verify.h"

namespace {

constexpr size_t kChunk = 4 << 20;

bool AllZero(const uint8_t *data, size_t size)
{
    return size == 0 || (data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0);
}

bool HasRoom(const std::string &path, uint64_t bytes, std::ostream &err)
{
    std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
    struct statvfs fs
    { };
    if (statvfs(folder.c_str(), &fs) != 0)
        return true;  // the open reports a missing folder
    uint64_t room = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (room < bytes) {
        err << "The image needs " << bytes << " bytes but " << folder << " has only " << room
            << " bytes free; nothing was written.\n";
        return false;
    }
    return true;
}

// Asked to stop (SIGTERM, SIGINT): the unfinished image is dropped.
TBurnExit Stopped(std::ostream &err)
{
    err << "Stopped on request; the image was not written.\n";
    return BurnFailed;
}

void ReportWritingFailure(const TOutputFile &file, std::ostream &err)
{
    err << "Writing \"" << file.Path() << "\" failed: " << std::strerror(file.ErrorNumber()) << ".\n";
}

bool CopyImage(const udf::TUdfImage &image, TOutputFile &file, std::ostream &out, std::ostream &err)
{
    udf::TUdfImageReader reader(image);
    std::vector<uint8_t> buffer(kChunk);
    TProgress progress(out, "Writing", image.Size());
    for (;;) {
        ssize_t got = reader.Read(buffer.data(), buffer.size());
        if (got < 0) {
            progress.End();
            err << reader.Error() << "\n";
            return false;
        }
        if (got == 0 || StopRequested())
            break;
        // Runs of zeros (gaps, sparse sources) are skipped, leaving holes.
        const size_t size = static_cast<size_t>(got);
        if (!(AllZero(buffer.data(), size) ? file.Skip(size) : file.Write(buffer.data(), size))) {
            progress.End();
            ReportWritingFailure(file, err);
            return false;
        }
        progress.Show(reader.Position());
    }
    progress.End();
    return true;
}

// The image replaces only a regular file: renaming over a device node, a
// folder or a link would destroy what the name stood for.
bool IsFileOrAbsent(const std::string &path, std::ostream &err)
{
    struct stat st
    { };
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        err << "The destination \"" << path << "\" cannot be examined: " << std::strerror(errno)
            << "; nothing was written.\n";
        return false;
    }
    if (S_ISREG(st.st_mode))
        return true;
    err << "The destination \"" << path << "\" exists and is not a regular file"
        << (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)
                ? " (it is a device; write to a drive with /BUILDOUTPUTMODE DEVICE)"
                : "")
        << "; nothing was written.\n";
    return false;
}

}  // namespace

TBurnExit WriteImageFile(const udf::TUdfImage &image, const std::string &path, bool verify, std::ostream &out,
                         std::ostream &err)
{
    if (StopRequested())
        return Stopped(err);
    if (!IsFileOrAbsent(path, err))
        return BurnFailed;
    if (!HasRoom(path, image.Size(), err))
        return BurnNoRoom;
    TOutputFile file;
    if (!file.Open(path)) {
        err << "The destination \"" << path << "\" cannot be opened: " << std::strerror(file.ErrorNumber())
            << ".\n";
        return BurnFailed;
    }
    if (!CopyImage(image, file, out, err))
        return BurnFailed;
    if (StopRequested())
        return Stopped(err);
    if (!file.Sync()) {
        ReportWritingFailure(file, err);
        return BurnFailed;
    }
    if (verify) {
        RunBeforeVerifyHook(file.Descriptor());
        const TReadWritten readBack = [&file](uint64_t offset, uint8_t *data, size_t size) {
            return file.ReadBack(offset, data, size);
        };
        if (!VerifyWritten(image, "the image file", readBack, out, err))
            return BurnFailed;
    }
    if (StopRequested())
        return Stopped(err);
    if (!file.Finish()) {
        ReportWritingFailure(file, err);
        return BurnFailed;
    }
    if (!file.Publish()) {
        err << "The image cannot be renamed to \"" << path << "\": " << std::strerror(file.ErrorNumber())
            << ".\n";
        return BurnFailed;
    }
    return BurnDone;
}
