// BDMV/index.bdmv: first playback, top menu and the one title, each with a
// movie object of its own.
#include "mux/clipsummary.h"

#include "media/bitwriter.h"
#include "mux/structureheader.h"

namespace {

constexpr int kObjectTypeHdmv = 1;
constexpr int kPlaybackMovie = 0;

void putHdmvObject(TBitWriter& w, uint16_t movieObject) {
  w.put(kPlaybackMovie, 2);
  w.put(0, 14);
  w.put(movieObject, 16);
  w.put(0, 32);
}

}  // namespace

std::vector<uint8_t> buildIndexFile(const TClipSummary& clip) {
  TBitWriter w;
  // Part: the indexes; no extension data.
  TStructureHeader header(w, "INDX", clip.version);

  size_t appInfo = w.beginLength(32);
  w.put(0, 1);
  w.put(0, 1);  // initial output mode preference
  w.put(0, 1);  // content exist flag
  w.put(0, 5);
  w.put(0, 4);  // video format and frame rate left to the streams
  w.put(0, 4);
  w.putZeros(32);  // user data
  w.endLength(appInfo);

  header.PartStartsHere(0);
  size_t indexes = w.beginLength(32);
  w.put(kObjectTypeHdmv, 2);  // first playback
  w.put(0, 30);
  putHdmvObject(w, kFirstPlayObject);
  w.put(kObjectTypeHdmv, 2);  // top menu
  w.put(0, 30);
  putHdmvObject(w, kTopMenuObject);
  w.put(1, 16);  // titles
  w.put(kObjectTypeHdmv, 2);
  w.put(0, 2);  // access type
  w.put(0, 28);
  putHdmvObject(w, kTitleObject);
  w.endLength(indexes);
  return w.bytes();
}
