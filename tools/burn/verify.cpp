// Verifying a written image.
#include "tools/burn/verify.h"

#include <algorithm>
#include <vector>

#include "tools/common/stopflag.h"
#include "tools/common/toolconsole.h"

namespace {

constexpr size_t kChunk = 4 << 20;

TBeforeVerifyHook BeforeVerifyHook;

bool DifferenceFound(const udf::TUdfImage &image, const std::string &where, uint64_t at, TConsole &console)
{
    uint64_t fileOffset = 0;
    if (const udf::TUdfNode *file = image.FileAt(at, &fileOffset))
        console.Error("Verifying: \"" + file->SourcePath + "\" differs from its copy on " + where + " (byte "
                      + std::to_string(fileOffset) + " of the file).");
    else
        console.Error("Verifying: the file system structures on " + where
                      + " differ from those that were built (byte " + std::to_string(at) + " of the image).");
    return false;
}

}  // namespace

bool VerifyWritten(const udf::TUdfImage &image, const std::string &where, const TReadWritten &readWritten,
                   TConsole &console)
{
    udf::TUdfImageReader expected(image);
    std::vector<uint8_t> wanted(kChunk), written(kChunk);
    uint64_t at = 0;
    for (;;) {
        // The sources are read again: a file changed since it was written
        // is named by the reader.
        ssize_t got = expected.Read(wanted.data(), wanted.size());
        if (got < 0) {
            console.Error("Verifying: " + expected.Error());
            return false;
        }
        if (got == 0)
            break;
        if (StopRequested()) {
            console.Error("Stopped on request while verifying.");
            return false;
        }
        const auto size = static_cast<size_t>(got);
        if (!readWritten(at, written.data(), size)) {
            console.Error("Verifying: reading " + where + " back failed near byte " + std::to_string(at)
                          + ".");
            return false;
        }
        auto differ = std::mismatch(wanted.begin(), wanted.begin() + got, written.begin());
        if (differ.first != wanted.begin() + got)
            return DifferenceFound(image, where, at + static_cast<uint64_t>(differ.first - wanted.begin()),
                                   console);
        at += size;
        console.Progress("Verifying", at, image.Size());
    }
    console.EndProgress();
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
