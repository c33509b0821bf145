// BDMV/index.bdmv: first playback, top menu and the one title, each with a
// movie object of its own.
#include "mux/clipsummary.h"

#include "media/bitwriter.h"
#include "mux/structureheader.h"

namespace {

constexpr int kObjectTypeHdmv = 1;
constexpr int kPlaybackMovie = 0;

void PutHdmvObject(TBitWriter &w, uint16_t movieObject)
{
    w.Put(kPlaybackMovie, 2);
    w.Put(0, 14);
    w.Put(movieObject, 16);
    w.Put(0, 32);
}

}  // namespace

std::vector<uint8_t> BuildIndexFile(const TClipSummary &clip)
{
    TBitWriter w;
    // Part: the indexes; no extension data.
    TStructureHeader header(w, "INDX", clip.Version);

    size_t appInfo = w.BeginLength(32);
    w.Put(0, 1);
    w.Put(0, 1);  // initial output mode preference
    w.Put(0, 1);  // content exist flag
    w.Put(0, 5);
    w.Put(0, 4);  // video format and frame rate left to the streams
    w.Put(0, 4);
    w.PutZeros(32);  // user data
    w.EndLength(appInfo);

    header.PartStartsHere(0);
    size_t indexes = w.BeginLength(32);
    w.Put(kObjectTypeHdmv, 2);  // first playback
    w.Put(0, 30);
    PutHdmvObject(w, kFirstPlayObject);
    w.Put(kObjectTypeHdmv, 2);  // top menu
    w.Put(0, 30);
    PutHdmvObject(w, kTopMenuObject);
    w.Put(1, 16);  // titles
    w.Put(kObjectTypeHdmv, 2);
    w.Put(0, 2);  // access type
    w.Put(0, 28);
    PutHdmvObject(w, kTitleObject);
    w.EndLength(indexes);
    return w.Bytes();
}
