// How a disc step ended. Each result keeps the number of the step code it
// has always been.
#pragma once

#include <cstdint>

enum class TStepResult : uint8_t {
    Done = 0,
    Warnings = 1,  // done, and the program warned (see the log)
    NoClip = 2,  // demux: no clip, or the command line cannot carry a clip
    DemuxFailed = 3,  // demux: the demultiplexer could not start or failed
    MetaNotWritten = 4,  // mux: meta file not written, muxer not started
    BurnNotStarted = 5,  // burn: folder or label cannot be passed, burner not started
    Interrupted = 6,
    MuxFailed = 7,  // mux: the muxer could not start or failed
    BurnFailed = 8,  // burn: the burner could not start or failed
    BurnNoRoom = 9,  // burn: the disc does not fit the medium or the image folder; nothing written
};

// Done, with or without warnings.
inline bool StepSucceeded(TStepResult result)
{
    return result == TStepResult::Done || result == TStepResult::Warnings;
}
