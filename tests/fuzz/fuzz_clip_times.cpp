// Fuzzes the clip probe's timing: any bytes, read whole or through the
// file reader (which also looks for where the packets end), give times
// that are never negative.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "fuzzfiles.h"
#include "preview/tstimes.h"

namespace {

void Check(const TClipTimes &times)
{
    if (times.VideoDuration < 0 || times.AudioDuration < 0 || times.PictureDuration < 0)
        std::abort();
    if (!times.TransportStream && (times.HasVideo || times.HasAudio))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Check(ClipTimesOf(bytes, bytes));
    Check(ClipTimesOf(bytes.left(bytes.size() / 2), bytes.mid(bytes.size() / 3)));
    Check(ReadClipTimes(QString::fromStdString(WriteFuzzFile("clip.m2ts", data, size))));
    return 0;
}
