// BDMV/MovieObject.bdmv: the title's object, which plays playlist 00000
// and is resumed after a menu call, and the objects of first playback and
// of the top menu, which both start the title.
#include "tools/mux/clipsummary.h"

#include "media/bitwriter.h"
#include "tools/mux/structureheader.h"

namespace {

enum EBranch : uint8_t { kJump = 1, kPlay = 2 };  // branch command sub-groups
enum EOption : uint8_t { kJumpTitle = 1, kPlayPlaylist = 0 };
constexpr uint8_t kGroupBranch = 0;

// One navigation command of the branch group with an immediate operand:
// operand count 1, the sub-group and its option, then the operand.
void PutBranch(TBitWriter &w, EBranch subGroup, EOption option, uint32_t operand)
{
    w.Put(1, 3);  // operand count
    w.Put(kGroupBranch, 2);
    w.Put(subGroup, 3);
    w.Put(1, 1);  // first operand immediate
    w.Put(0, 1);  // second operand not immediate
    w.PutReserved(2);
    w.Put(option, 4);
    w.PutReserved(4);
    w.Put(0, 4);  // compare option
    w.PutReserved(3);
    w.Put(0, 5);  // set option
    w.Put(operand, 32);
    w.Put(0, 32);  // second operand, unused
}

void PutObject(TBitWriter &w, bool resume, EBranch subGroup, EOption option, uint32_t operand)
{
    w.Put(resume ? 1 : 0, 1);  // resume intention
    w.Put(0, 1);  // menu call allowed
    w.Put(0, 1);  // title search allowed
    w.PutReserved(13);
    w.Put(1, 16);  // one command
    PutBranch(w, subGroup, option, operand);
}

}  // namespace

std::vector<uint8_t> BuildMovieObjectFile(const TClipSummary &clip)
{
    TBitWriter w;
    TStructureHeader header(w, "MOBJ", clip.Version);  // no extension data
    size_t objects = w.BeginLength(32);
    w.PutReserved(32);
    w.Put(kMovieObjectCount, 16);
    PutObject(w, true, kPlay, kPlayPlaylist, 0);  // kTitleObject
    PutObject(w, false, kJump, kJumpTitle, 1);  // kFirstPlayObject: title 1
    PutObject(w, false, kJump, kJumpTitle, 1);  // kTopMenuObject
    w.EndLength(objects);
    return w.Bytes();
}
