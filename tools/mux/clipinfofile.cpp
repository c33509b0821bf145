// BDMV/CLIPINF/00000.clpi: clip info, sequence info (one arrival time and
// one system time sequence), program info and the EP map of the video.
#include "tools/mux/clipsummary.h"

#include "media/bitwriter.h"
#include "tools/mux/structureheader.h"
#include "tools/common/tspacketwriter.h"

namespace {

constexpr uint16_t kStreamCodingInfoLength = 21;
constexpr uint8_t kClipStreamTypeAv = 1;
constexpr uint8_t kApplicationMainMovie = 1;
constexpr uint8_t kEpStreamTypeVideo = 1;
constexpr uint8_t kCpiTypeEpMap = 1;

// How far a player must read from an entry point to hold the whole I
// picture: the class of the bytes on disc from the entry's source packet to
// the one holding the picture's last byte, packets of other streams included.
uint8_t EndPositionClass(const TEpEntry &entry)
{
    uint64_t bytes = uint64_t(entry.LastSpn - entry.Spn + 1) * kSourcePacketSize;
    constexpr uint32_t kLimits[] = {131072, 262144, 393216, 589824, 917504, 1310720};
    uint8_t code = 1;
    for (uint32_t limit : kLimits) {
        if (bytes < limit)
            return code;
        ++code;
    }
    return 7;
}

void PutClipInfo(TBitWriter &w, const TClipSummary &clip)
{
    size_t info = w.BeginLength(32);
    w.PutReserved(16);
    w.Put(kClipStreamTypeAv, 8);
    w.Put(kApplicationMainMovie, 8);
    w.PutReserved(31);
    w.Put(0, 1);  // no ATC delta
    w.Put(clip.RecordingRate, 32);
    w.Put(clip.SourcePackets, 32);
    w.PutZeros(128);  // reserved
    size_t typeInfo = w.BeginLength(16);
    w.Put(0x80, 8);  // validity flags
    w.PutBytes("HDMV");
    w.PutZeros(25);
    w.EndLength(typeInfo);
    w.EndLength(info);
}

void PutSequenceInfo(TBitWriter &w, const TClipSummary &clip)
{
    size_t info = w.BeginLength(32);
    w.PutReserved(8);
    w.Put(1, 8);  // ATC sequences
    w.Put(0, 32);  // first source packet of the ATC sequence
    w.Put(1, 8);  // STC sequences
    w.Put(0, 8);  // offset of the STC id
    w.Put(clip.PcrPid, 16);
    w.Put(0, 32);  // first source packet of the STC sequence
    w.Put(clip.InTime45, 32);
    w.Put(clip.OutTime45, 32);
    w.EndLength(info);
}

void PutProgramInfo(TBitWriter &w, const TClipSummary &clip)
{
    size_t info = w.BeginLength(32);
    w.PutReserved(8);
    w.Put(1, 8);  // programs
    w.Put(0, 32);  // first source packet of the program sequence
    w.Put(kPmtPid, 16);
    w.Put(clip.Audio ? 2 : 1, 8);
    w.Put(0, 8);  // stream groups

    w.Put(kVideoPid, 16);
    size_t video = w.BeginLength(8);
    w.Put(kStreamTypeH264, 8);
    w.Put(uint8_t(clip.Video.Format), 4);
    w.Put(uint8_t(clip.Video.Rate), 4);
    w.Put(uint8_t(clip.Video.Aspect), 4);
    w.PutReserved(2);
    w.Put(0, 1);  // no closed captions flag
    w.PutReserved(1);
    w.PutZeros(kStreamCodingInfoLength - 3);  // reserved
    w.EndLength(video);

    if (clip.Audio) {
        w.Put(kAudioPid, 16);
        size_t audio = w.BeginLength(8);
        w.Put(kStreamTypeAc3, 8);
        w.Put(uint8_t(clip.Audio->Format), 4);
        w.Put(uint8_t(clip.Audio->Rate), 4);
        w.PutBytes("und");
        w.PutZeros(kStreamCodingInfoLength - 5);  // reserved
        w.EndLength(audio);
    }
    w.EndLength(info);
}

// Coarse entries hold the high bits of time and packet number; a new one
// starts whenever those change.
void PutEpMap(TBitWriter &w, const TClipSummary &clip)
{
    struct TCoarse
    {
        uint32_t FineId, Pts, Spn;
    };
    std::vector<TCoarse> coarse;
    for (size_t i = 0; i < clip.EntryPoints.size(); ++i) {
        const TEpEntry &e = clip.EntryPoints[i];
        uint32_t ptsHigh = uint32_t(e.Pts90 >> 19) & 0x3FFF;
        if (coarse.empty() || coarse.back().Pts != ptsHigh || (coarse.back().Spn >> 17) != (e.Spn >> 17))
            coarse.push_back({uint32_t(i), ptsHigh, e.Spn});
    }

    size_t epMapStart = w.BytePos();
    w.PutReserved(8);
    w.Put(1, 8);  // one stream
    w.Put(kVideoPid, 16);
    w.PutReserved(10);
    w.Put(kEpStreamTypeVideo, 4);
    w.Put(coarse.size(), 16);
    w.Put(clip.EntryPoints.size(), 18);
    size_t streamAddress = w.BytePos();
    w.Put(0, 32);  // filled in below

    size_t streamStart = w.BytePos();
    w.Patch(streamAddress, streamStart - epMapStart, 32);
    size_t fineAddress = w.BytePos();
    w.Put(0, 32);  // filled in below
    for (const TCoarse &c : coarse) {
        w.Put(c.FineId, 18);
        w.Put(c.Pts, 14);
        w.Put(c.Spn, 32);
    }
    w.Patch(fineAddress, w.BytePos() - streamStart, 32);
    for (const TEpEntry &e : clip.EntryPoints) {
        w.Put(0, 1);  // not an angle change point
        w.Put(EndPositionClass(e), 3);
        w.Put(uint32_t(e.Pts90 >> 9) & 0x7FF, 11);
        w.Put(e.Spn & 0x1FFFF, 17);
    }
}

void PutCpi(TBitWriter &w, const TClipSummary &clip)
{
    size_t cpi = w.BeginLength(32);
    w.PutReserved(12);
    w.Put(kCpiTypeEpMap, 4);
    PutEpMap(w, clip);
    w.EndLength(cpi);
}

}  // namespace

std::vector<uint8_t> BuildClipInfoFile(const TClipSummary &clip)
{
    TBitWriter w;
    // Parts: sequence, program, CPI, clip marks; no extension data.
    TStructureHeader header(w, "HDMV", clip.Version);
    PutClipInfo(w, clip);
    header.PartStartsHere(0);
    PutSequenceInfo(w, clip);
    header.PartStartsHere(1);
    PutProgramInfo(w, clip);
    header.PartStartsHere(2);
    PutCpi(w, clip);
    header.PartStartsHere(3);
    w.Put(0, 32);  // no clip marks
    return w.Bytes();
}
