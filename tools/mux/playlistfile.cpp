// BDMV/PLAYLIST/00000.mpls: one play item over the whole clip and one
// entry mark per chapter.
#include "mux/clipsummary.h"

#include <string>

#include "media/bitwriter.h"
#include "mux/structureheader.h"

namespace {

constexpr size_t kLanguageLength = 3;

void putStreamEntry(TBitWriter& w, uint16_t pid) {
  size_t entry = w.beginLength(8);
  w.put(1, 8);  // stream of the play item's own clip
  w.put(pid, 16);
  w.putZeros(6);
  w.endLength(entry);
}

// Coding type, format and rate of a stream, then its language (audio) or
// reserved bytes (video).
void putAttributes(TBitWriter& w, uint8_t streamType, uint8_t format, uint8_t rate, const std::string& language) {
  size_t attributes = w.beginLength(8);
  w.put(streamType, 8);
  w.put(format, 4);
  w.put(rate, 4);
  w.putBytes(language);
  w.putZeros(kLanguageLength - language.size());
  w.endLength(attributes);
}

void putStreamTable(TBitWriter& w, const TClipSummary& clip) {
  size_t table = w.beginLength(16);
  w.put(0, 16);
  w.put(1, 8);  // primary video streams
  w.put(clip.audio ? 1 : 0, 8);
  w.put(0, 8);  // presentation graphics
  w.put(0, 8);  // interactive graphics
  w.put(0, 8);  // secondary audio
  w.put(0, 8);  // secondary video
  w.put(0, 8);  // picture-in-picture graphics
  w.putZeros(5);
  putStreamEntry(w, kVideoPid);
  putAttributes(w, kStreamTypeH264, clip.video.format, clip.video.rate, "");
  if (clip.audio) {
    putStreamEntry(w, kAudioPid);
    putAttributes(w, kStreamTypeAc3, clip.audio->format, clip.audio->rate, "und");
  }
  w.endLength(table);
}

void putPlayItem(TBitWriter& w, const TClipSummary& clip) {
  size_t item = w.beginLength(16);
  w.putBytes("00000");
  w.putBytes("M2TS");
  w.put(0, 11);
  w.put(0, 1);  // not multi-angle
  w.put(1, 4);  // connection condition: not seamless
  w.put(0, 8);  // STC sequence
  w.put(clip.inTime45, 32);
  w.put(clip.outTime45, 32);
  w.put(0, 64);  // user operations allowed
  w.put(0, 1);   // random access allowed
  w.put(0, 7);
  w.put(0, 8);  // no still
  w.put(0, 16);
  putStreamTable(w, clip);
  w.endLength(item);
}

}  // namespace

std::vector<uint8_t> buildPlaylistFile(const TClipSummary& clip) {
  TBitWriter w;
  // Parts: playlist, marks; no extension data.
  TStructureHeader header(w, "MPLS", clip.version);

  size_t appInfo = w.beginLength(32);
  w.put(0, 8);
  w.put(1, 8);  // sequential playback
  w.put(0, 16);
  w.put(0, 64);  // user operations allowed
  w.put(0, 1);   // random access
  w.put(0, 1);   // audio mix
  w.put(0, 1);   // lossless bypass
  w.put(0, 13);
  w.endLength(appInfo);

  header.PartStartsHere(0);
  size_t playlist = w.beginLength(32);
  w.put(0, 16);
  w.put(1, 16);  // play items
  w.put(0, 16);  // sub-paths
  putPlayItem(w, clip);
  w.endLength(playlist);

  header.PartStartsHere(1);
  size_t marks = w.beginLength(32);
  w.put(clip.chapterTimes45.size(), 16);
  for (uint32_t time : clip.chapterTimes45) {
    w.put(0, 8);
    w.put(1, 8);   // entry mark
    w.put(0, 16);  // play item
    w.put(time, 32);
    w.put(kVideoPid, 16);
    w.put(0, 32);  // duration
  }
  w.endLength(marks);
  return w.bytes();
}
