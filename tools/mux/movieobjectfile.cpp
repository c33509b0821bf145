// BDMV/MovieObject.bdmv: the title's object, which plays playlist 00000
// and is resumed after a menu call, and the objects of first playback and
// of the top menu, which both start the title.
#include "mux/clipsummary.h"

#include "media/bitwriter.h"
#include "mux/structureheader.h"

namespace {

enum EBranch : uint8_t { kJump = 1, kPlay = 2 };     // branch command sub-groups
enum EOption : uint8_t { kJumpTitle = 1, kPlayPlaylist = 0 };

// One navigation command of the branch group with an immediate operand:
// operand count 1, the sub-group and its option, then the operand.
void putBranch(TBitWriter& w, EBranch subGroup, EOption option, uint32_t operand) {
  w.put(1, 3);  // operand count
  w.put(0, 2);  // command group: branch
  w.put(subGroup, 3);
  w.put(1, 1);  // first operand immediate
  w.put(0, 1);
  w.put(0, 2);
  w.put(option, 4);
  w.put(0, 4);
  w.put(0, 4);  // compare option
  w.put(0, 3);
  w.put(0, 5);  // set option
  w.put(operand, 32);
  w.put(0, 32);
}

void putObject(TBitWriter& w, bool resume, EBranch subGroup, EOption option, uint32_t operand) {
  w.put(resume ? 1 : 0, 1);  // resume intention
  w.put(0, 1);               // menu call allowed
  w.put(0, 1);               // title search allowed
  w.put(0, 13);
  w.put(1, 16);  // one command
  putBranch(w, subGroup, option, operand);
}

}  // namespace

std::vector<uint8_t> buildMovieObjectFile(const TClipSummary& clip) {
  TBitWriter w;
  TStructureHeader header(w, "MOBJ", clip.version);  // no extension data
  size_t objects = w.beginLength(32);
  w.put(0, 32);
  w.put(kMovieObjectCount, 16);
  putObject(w, true, kPlay, kPlayPlaylist, 0);  // kTitleObject
  putObject(w, false, kJump, kJumpTitle, 1);    // kFirstPlayObject: title 1
  putObject(w, false, kJump, kJumpTitle, 1);    // kTopMenuObject
  w.endLength(objects);
  return w.bytes();
}
