// Interleaves one H.264 stream and an optional AC-3 stream into an M2TS
// file of 192-byte source packets. Packets are sent as early as the
// buffering window (--vbv-len) allows but no faster than the mux rate, and
// each stream's packets are spread so that they never overflow the 512-byte
// transport buffer a decoder model gives the stream; their arrival time
// stamps run on the same 27 MHz clock as the PCR. The file ends on a whole
// aligned unit (32 source packets), filled with null packets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/mux/audiostream.h"
#include "tools/mux/clipsummary.h"
#include "tools/mux/videostream.h"

struct TMuxSettings
{
    bool PcrOnOwnPid = true;  // otherwise the PCR rides on the video PID
    bool BlurayAudioPes = false;  // AC-3 as stream id 0xFD, extension 0x71
    uint32_t VbvLenMs = 500;
    uint64_t MuxRate = 48000000;  // bit/s: no 10 ms of source packets exceed it
    uint64_t VideoLeakRate = 0;  // bit/s leaving the video's transport buffer; 0: no limit
    TVideoAttributes Video;  // for the video registration descriptor
};

struct TMuxResult
{
    uint32_t SourcePackets = 0;  // null packets of the last aligned unit included
    uint16_t PcrPid = kPcrPid;
    std::vector<TEpEntry> EntryPoints;  // with the last packet of each picture
    uint64_t FirstPts27 = 0;
    uint64_t EndPts27 = 0;
    uint32_t LateFrames = 0;  // arrived after their decoding time
    double PeakStreamBitRate = 0;  // bit/s over one second of decoding time
    uint64_t VideoFrames = 0;
    uint64_t AudioFrames = 0;
};

class TM2tsMuxer
{
public:
    TM2tsMuxer(TVideoStream &video, TAc3Stream *audio, const TMuxSettings &settings);

    // Writes the file; `progress` gets the fraction of input read. Throws
    // std::runtime_error on read or write failures.
    TMuxResult Run(const std::string &path, const std::function<void(double)> &progress);

    // The presentation time the video must start at so that every packet
    // time stays positive.
    static uint64_t FirstPresentationTime27(const TMuxSettings &settings, const TFrameRate &rate);

private:
    class TSession;
    TVideoStream &FVideo;
    TAc3Stream *FAudio;
    TMuxSettings FSettings;
};
