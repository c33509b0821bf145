// BDMV/PLAYLIST/00000.mpls: one play item over the whole clip and one
// entry mark per chapter.
#include "tools/mux/clipsummary.h"

#include <string>

#include "media/bitwriter.h"
#include "tools/mux/structureheader.h"

namespace {

constexpr size_t kLanguageLength = 3;
constexpr uint8_t kStreamOfPlayItemClip = 1;
constexpr uint8_t kConnectionNotSeamless = 1;
constexpr uint8_t kPlaybackSequential = 1;
constexpr uint8_t kEntryMark = 1;

void PutStreamEntry(TBitWriter &w, uint16_t pid)
{
    size_t entry = w.BeginLength(8);
    w.Put(kStreamOfPlayItemClip, 8);
    w.Put(pid, 16);
    w.PutZeros(6);  // reserved
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
    w.PutReserved(16);
    w.Put(1, 8);  // primary video streams
    w.Put(clip.Audio ? 1 : 0, 8);
    w.Put(0, 8);  // presentation graphics
    w.Put(0, 8);  // interactive graphics
    w.Put(0, 8);  // secondary audio
    w.Put(0, 8);  // secondary video
    w.Put(0, 8);  // picture-in-picture graphics
    w.PutZeros(5);  // reserved
    PutStreamEntry(w, kVideoPid);
    PutAttributes(w, kStreamTypeH264, uint8_t(clip.Video.Format), uint8_t(clip.Video.Rate), "");
    if (clip.Audio) {
        PutStreamEntry(w, kAudioPid);
        PutAttributes(w, kStreamTypeAc3, uint8_t(clip.Audio->Format), uint8_t(clip.Audio->Rate), "und");
    }
    w.EndLength(table);
}

void PutPlayItem(TBitWriter &w, const TClipSummary &clip)
{
    size_t item = w.BeginLength(16);
    w.PutBytes("00000");
    w.PutBytes("M2TS");
    w.PutReserved(11);
    w.Put(0, 1);  // not multi-angle
    w.Put(kConnectionNotSeamless, 4);
    w.Put(0, 8);  // STC sequence
    w.Put(clip.InTime45, 32);
    w.Put(clip.OutTime45, 32);
    w.Put(0, 64);  // user operations allowed
    w.Put(0, 1);  // random access allowed
    w.PutReserved(7);
    w.Put(0, 8);  // no still
    w.PutReserved(16);  // the still time, with a still only
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
    w.PutReserved(8);
    w.Put(kPlaybackSequential, 8);
    w.PutReserved(16);  // the playback count, of random and shuffle playback only
    w.Put(0, 64);  // user operations allowed
    w.Put(0, 1);  // random access
    w.Put(0, 1);  // audio mix
    w.Put(0, 1);  // lossless bypass
    w.PutReserved(13);
    w.EndLength(appInfo);

    header.PartStartsHere(0);
    size_t playlist = w.BeginLength(32);
    w.PutReserved(16);
    w.Put(1, 16);  // play items
    w.Put(0, 16);  // sub-paths
    PutPlayItem(w, clip);
    w.EndLength(playlist);

    header.PartStartsHere(1);
    size_t marks = w.BeginLength(32);
    w.Put(clip.ChapterTimes45.size(), 16);
    for (uint32_t time : clip.ChapterTimes45) {
        w.PutReserved(8);
        w.Put(kEntryMark, 8);
        w.Put(0, 16);  // play item
        w.Put(time, 32);
        w.Put(kVideoPid, 16);
        w.Put(0, 32);  // duration
    }
    w.EndLength(marks);
    return w.Bytes();
}
