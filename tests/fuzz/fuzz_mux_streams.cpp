// Fuzzes the muxer's reading of its two streams and the muxing itself:
// the first two bytes say where the H.264 stream ends and the AC-3
// stream begins. Either stream may be refused with a message; the M2TS
// file written is bounded by the output cap.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "tests/fuzz/fuzzfiles.h"
#include "tools/mux/audiostream.h"
#include "tools/mux/m2tsmuxer.h"
#include "tools/mux/videostream.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    CapOutputFiles();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t split = std::min(size - 2, size_t(data[0] << 8 | data[1]));
    const std::string h264 = WriteFuzzFile("stream.h264", data + 2, split);
    const std::string ac3 = WriteFuzzFile("stream.ac3", data + 2 + split, size - 2 - split);
    const std::string m2ts = FuzzFolder() + "/stream.m2ts";
    try {
        TMuxSettings settings;
        const TFrameRate rate = ParseFrameRate("25");
        TVideoStream video(h264, rate, true, TM2tsMuxer::FirstPresentationTime27(settings, rate));
        std::unique_ptr<TAc3Stream> audio;
        try {
            audio = std::make_unique<TAc3Stream>(ac3);
        } catch (const std::runtime_error &) {
            // Muxed without audio.
        }
        TM2tsMuxer(video, audio.get(), settings).Run(m2ts, [](double) {});
    } catch (const std::runtime_error &e) {
        AbortIfCapped(e.what());
    }
    unlink(m2ts.c_str());
    return 0;
}
