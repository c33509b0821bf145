// Fuzzes the demultiplexer on one clip: any bytes are read as a transport
// stream and joined, or refused with a message; written streams are
// bounded by the output cap.
#include <cstdint>
#include <sstream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/demux/demuxer.h"
#include "tests/fuzz/fuzzfiles.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    av_log_set_level(AV_LOG_QUIET);
    CapOutputFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string clip = WriteFuzzFile("clip.m2ts", data, size);
    std::ostringstream out, err;
    TConsole console("eac3to", out, err);
    demux::TDemuxer(console).Run({clip}, FuzzFolder());
    AbortIfCapped(err.str());
    for (const char *written : {"/clip.h264", "/clip.ac3"})
        unlink((FuzzFolder() + written).c_str());
    return 0;
}
