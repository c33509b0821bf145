// Verifying a written image.
#include "tools/burn/verify.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "tools/common/stopflag.h"
#include "tools/burn/progress.h"

namespace {

constexpr size_t kChunk = 4 << 20;

TBeforeVerifyHook BeforeVerifyHook;

void ReportDifference(const udf::TUdfImage &image, const std::string &where, uint64_t at, std::ostream &err)
{
    uint64_t fileOffset = 0;
    if (const udf::TUdfNode *file = image.FileAt(at, &fileOffset))
        err << "Verifying: \"" << file->SourcePath << "\" differs from its copy on " << where << " (byte "
            << fileOffset << " of the file).\n";
    else
        err << "Verifying: the file system structures on " << where
            << " differ from those that were built (byte " << at << " of the image).\n";
}

}  // namespace

bool VerifyWritten(const udf::TUdfImage &image, const std::string &where, const TReadWritten &readWritten,
                   std::ostream &out, std::ostream &err)
{
    udf::TUdfImageReader expected(image);
    std::vector<uint8_t> wanted(kChunk), written(kChunk);
    TProgress progress(out, "Verifying", image.Size());
    uint64_t at = 0;
    for (;;) {
        // The sources are read again: a file changed since it was written
        // is named by the reader.
        ssize_t got = expected.Read(wanted.data(), wanted.size());
        if (got < 0) {
            progress.End();
            err << "Verifying: " << expected.Error() << "\n";
            return false;
        }
        if (got == 0)
            break;
        if (StopRequested()) {
            progress.End();
            err << "Stopped on request while verifying.\n";
            return false;
        }
        const auto size = static_cast<size_t>(got);
        if (!readWritten(at, written.data(), size)) {
            progress.End();
            err << "Verifying: reading " << where << " back failed near byte " << at << ".\n";
            return false;
        }
        auto differ = std::mismatch(wanted.begin(), wanted.begin() + got, written.begin());
        if (differ.first != wanted.begin() + got) {
            progress.End();
            ReportDifference(image, where, at + static_cast<uint64_t>(differ.first - wanted.begin()), err);
            return false;
        }
        at += size;
        progress.Show(at);
    }
    progress.End();
    return true;
}

void SetBeforeVerifyHook(TBeforeVerifyHook hook)
{
    BeforeVerifyHook = std::move(hook);
}

void RunBeforeVerifyHook(int fd)
{
    if (BeforeVerifyHook)
        BeforeVerifyHook(fd);
}
