// BDMV/PLAYLIST/00000.mpls: one play item over the whole clip and one
// entry mark per chapter.
#include "tools/mux/clipsummary.h"

#include <string>

#include "media/bitwriter.h"
#include "tools/mux/structureheader.h"

namespace {

constexpr size_t kLanguageLength = 3;

void PutStreamEntry(TBitWriter &w, uint16_t pid)
{
    size_t entry = w.BeginLength(8);
    w.Put(1, 8);  // stream of the play item's own clip
    w.Put(pid, 16);
    w.PutZeros(6);
    w.EndLength(entry);
}

// Coding type, format and rate of a stream, then its language (audio) or
// reserved bytes (video).
void PutAttributes(TBitWriter &w, uint8_t streamType, uint8_t format, uint8_t rate,
                   const std::string &language)
{
    size_t attributes = w.BeginLength(8);
    w.Put(streamType, 8);
    w.Put(format, 4);
    w.Put(rate, 4);
    w.PutBytes(language);
    w.PutZeros(kLanguageLength - language.size());
    w.EndLength(attributes);
}

void PutStreamTable(TBitWriter &w, const TClipSummary &clip)
{
    size_t table = w.BeginLength(16);
    w.Put(0, 16);
    w.Put(1, 8);  // primary video streams
    w.Put(clip.Audio ? 1 : 0, 8);
    w.Put(0, 8);  // presentation graphics
    w.Put(0, 8);  // interactive graphics
    w.Put(0, 8);  // secondary audio
    w.Put(0, 8);  // secondary video
    w.Put(0, 8);  // picture-in-picture graphics
    w.PutZeros(5);
    PutStreamEntry(w, kVideoPid);
    PutAttributes(w, kStreamTypeH264, uint8_t(clip.Video.Format), clip.Video.Rate, "");
    if (clip.Audio) {
        PutStreamEntry(w, kAudioPid);
        PutAttributes(w, kStreamTypeAc3, clip.Audio->Format, clip.Audio->Rate, "und");
    }
    w.EndLength(table);
}

void PutPlayItem(TBitWriter &w, const TClipSummary &clip)
{
    size_t item = w.BeginLength(16);
    w.PutBytes("00000");
    w.PutBytes("M2TS");
    w.Put(0, 11);
    w.Put(0, 1);  // not multi-angle
    w.Put(1, 4);  // connection condition: not seamless
    w.Put(0, 8);  // STC sequence
    w.Put(clip.InTime45, 32);
    w.Put(clip.OutTime45, 32);
    w.Put(0, 64);  // user operations allowed
    w.Put(0, 1);  // random access allowed
    w.Put(0, 7);
    w.Put(0, 8);  // no still
    w.Put(0, 16);
    PutStreamTable(w, clip);
    w.EndLength(item);
}

}  // namespace

std::vector<uint8_t> BuildPlaylistFile(const TClipSummary &clip)
{
    TBitWriter w;
    // Parts: playlist, marks; no extension data.
    TStructureHeader header(w, "MPLS", clip.Version);

    size_t appInfo = w.BeginLength(32);
    w.Put(0, 8);
    w.Put(1, 8);  // sequential playback
    w.Put(0, 16);
    w.Put(0, 64);  // user operations allowed
    w.Put(0, 1);  // random access
    w.Put(0, 1);  // audio mix
    w.Put(0, 1);  // lossless bypass
    w.Put(0, 13);
    w.EndLength(appInfo);

    header.PartStartsHere(0);
    size_t playlist = w.BeginLength(32);
    w.Put(0, 16);
    w.Put(1, 16);  // play items
    w.Put(0, 16);  // sub-paths
    PutPlayItem(w, clip);
    w.EndLength(playlist);

    header.PartStartsHere(1);
    size_t marks = w.BeginLength(32);
    w.Put(clip.ChapterTimes45.size(), 16);
    for (uint32_t time : clip.ChapterTimes45) {
        w.Put(0, 8);
        w.Put(1, 8);  // entry mark
        w.Put(0, 16);  // play item
        w.Put(time, 32);
        w.Put(kVideoPid, 16);
        w.Put(0, 32);  // duration
    }
    w.EndLength(marks);
    return w.Bytes();
}
