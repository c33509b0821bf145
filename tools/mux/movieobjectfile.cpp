// BDMV/MovieObject.bdmv: one movie object whose only navigation command
// plays playlist 00000.
#include "mux/clipsummary.h"

#include "common/bitwriter.h"

namespace {

// Navigation command PLAY_PL with an immediate playlist number: operand
// count 1, branch group, play sub-group, immediate first operand.
void putPlayPlaylist(TBitWriter& w, uint32_t playlist) {
  w.put(1, 3);  // operand count
  w.put(0, 2);  // command group: branch
  w.put(2, 3);  // sub-group: play
  w.put(1, 1);  // first operand immediate
  w.put(0, 1);
  w.put(0, 2);
  w.put(0, 4);  // branch option: play playlist
  w.put(0, 4);
  w.put(0, 4);  // compare option
  w.put(0, 3);
  w.put(0, 5);  // set option
  w.put(playlist, 32);
  w.put(0, 32);
}

}  // namespace

std::vector<uint8_t> buildMovieObjectFile(const TClipSummary& clip) {
  TBitWriter w;
  w.putBytes("MOBJ");
  w.putBytes(clip.version);
  w.put(0, 32);  // no extension data
  w.putZeros(28);
  size_t objects = w.beginLength(32);
  w.put(0, 32);
  w.put(1, 16);  // one movie object
  w.put(1, 1);   // resume intention
  w.put(0, 1);   // menu call allowed
  w.put(0, 1);   // title search allowed
  w.put(0, 13);
  w.put(1, 16);  // one command
  putPlayPlaylist(w, 0);
  w.endLength(objects);
  return w.bytes();
}
