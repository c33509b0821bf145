// Fuzzes the clip probe's timing: any bytes, read whole or through the
// file reader (which also looks for where the packets end), give times
// that are never negative; and its recording date, which is a real date
// whenever one is found.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "tests/fuzz/fuzzfiles.h"
#include "media/recordingdate.h"
#include "src/preview/tstimes.h"

namespace {

void Check(const TClipTimes &times)
{
    if (times.VideoDuration < 0 || times.AudioDuration < 0 || times.PictureDuration < 0)
        std::abort();
    if (!times.TransportStream && (times.HasVideo || times.HasAudio))
        std::abort();
}

void Check(const std::optional<TRecordingDate> &date)
{
    if (date
        && (date->Month < 1 || date->Month > 12 || date->Day < 1 || date->Day > 31 || date->Hour > 23
            || date->Minute > 59 || date->Second > 59))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Check(ClipTimesOf(bytes, bytes));
    Check(ClipTimesOf(bytes.left(bytes.size() / 2), bytes.mid(bytes.size() / 3)));
    const std::string file = WriteFuzzFile("clip.m2ts", data, size);
    Check(ReadClipTimes(QString::fromStdString(file)));
    Check(ReadRecordingDateOf({data, size}).Date);
    Check(ScanRecordingDate({data, size}).Date);
    Check(RecordingDateOfSei({data, size}));
    Check(ReadRecordingDateOfFile(file));
    return 0;
}
