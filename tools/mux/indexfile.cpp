// BDMV/index.bdmv: first playback, top menu and the one title, each with a
// movie object of its own, and the AVCHD extension naming the playlist.
#include "tools/mux/clipsummary.h"

#include "media/bitwriter.h"
#include "tools/mux/structureheader.h"

namespace {

constexpr int kObjectTypeHdmv = 1;
constexpr int kPlaybackMovie = 0;

// The AVCHD extension data: one entry whose data is tagged "IDEX". Its
// layout is that of AVCHD discs players are known to accept; what most of
// its fields mean is not published, so they are written as those discs
// carry them, and only the maker's text is ours.
constexpr uint16_t kAvchdExtensionId1 = 0x1000;
constexpr uint16_t kAvchdExtensionId2 = 0x0100;
constexpr char kMakerText[] = "Tavrel tsmuxer " TAVREL_VERSION;
constexpr size_t kMakerTextField = 32;
constexpr size_t kMakerPartSize = 310;  // the part after its length field
const std::vector<uint8_t> kMakerPartHead = {0x10, 0x13, 0x00, 0x01};
const std::vector<uint8_t> kMakerPartMiddle = {0x00, 0x06, 0xFF, 0xFF, 0x42, 0x20, 0x07, 0x08,
                                               0x08, 0x00, 'T',  'S',  0x00, 0x90, 0x0A};
constexpr uint32_t kPlaylistTableCount = 2;
constexpr uint16_t kPlaylistTableEntries = 2;
constexpr uint8_t kPlaylistEntryFlag = 1;
static_assert(sizeof kMakerText - 1 <= kMakerTextField, "the maker text fits its field");

void PutHdmvObject(TBitWriter &w, uint16_t movieObject)
{
    w.Put(kPlaybackMovie, 2);
    w.PutReserved(14);
    w.Put(movieObject, 16);
    w.PutReserved(32);
}

// The maker's part: an identification, its text in a fixed field, more
// identification and the text again, then zeros to the part's fixed size.
void PutMakerPart(TBitWriter &w)
{
    size_t part = w.BeginLength(32);
    const size_t start = w.BytePos();
    w.PutBytes(kMakerPartHead);
    w.PutBytes(kMakerText);
    w.PutZeros(kMakerTextField - (sizeof kMakerText - 1));
    w.PutBytes(kMakerPartMiddle);
    w.PutBytes(kMakerText);
    w.PutZeros(kMakerPartSize - (w.BytePos() - start));
    w.EndLength(part);
}

// The playlist table: the disc's one playlist, "00000".
void PutPlaylistTable(TBitWriter &w)
{
    size_t table = w.BeginLength(32);
    w.Put(kPlaylistTableCount, 32);
    w.Put(0, 32);
    w.Put(kPlaylistTableEntries, 16);
    w.Put(0, 16);
    w.Put(1, 16);  // playlists
    w.PutBytes("00000");
    w.Put(kPlaylistEntryFlag, 8);
    w.PutZeros(4);
    w.EndLength(table);
}

void PutIdexData(TBitWriter &w)
{
    const size_t start = w.BytePos();
    w.PutBytes("IDEX");
    w.Put(0, 32);
    const size_t tableAddress = w.BytePos();
    w.Put(0, 32);  // where the playlist table starts, from the tag
    w.PutZeros(28);
    PutMakerPart(w);
    w.Patch(tableAddress, w.BytePos() - start, 32);
    PutPlaylistTable(w);
}

// Extension data: its length, where the entries' data begins, and one entry
// giving its IDs, start (both from the extension data's start) and length.
void PutExtensionData(TBitWriter &w)
{
    const size_t start = w.BytePos();
    size_t all = w.BeginLength(32);
    const size_t dataAddress = w.BytePos();
    w.Put(0, 32);  // filled in below
    w.PutReserved(24);
    w.Put(1, 8);  // entries
    w.Put(kAvchdExtensionId1, 16);
    w.Put(kAvchdExtensionId2, 16);
    const size_t entryAddress = w.BytePos();
    w.Put(0, 32);  // filled in below
    size_t entryLength = w.BeginLength(32);
    const size_t data = w.BytePos();
    w.Patch(dataAddress, data - start, 32);
    w.Patch(entryAddress, data - start, 32);
    PutIdexData(w);
    w.EndLength(entryLength);
    w.EndLength(all);
}

}  // namespace

std::vector<uint8_t> BuildIndexFile(const TClipSummary &clip)
{
    TBitWriter w;
    // Parts: the indexes, the extension data.
    TStructureHeader header(w, "INDX", clip.Version);

    size_t appInfo = w.BeginLength(32);
    w.PutReserved(1);
    w.Put(0, 1);  // initial output mode preference
    w.Put(0, 1);  // content exist flag
    w.PutReserved(5);
    // Video format and frame rate left to the streams.
    w.Put(uint8_t(EVideoFormat::Unknown), 4);
    w.Put(uint8_t(EFrameRate::Unknown), 4);
    w.PutZeros(32);  // user data
    w.EndLength(appInfo);

    header.PartStartsHere(0);
    size_t indexes = w.BeginLength(32);
    w.Put(kObjectTypeHdmv, 2);  // first playback
    w.PutReserved(30);
    PutHdmvObject(w, kFirstPlayObject);
    w.Put(kObjectTypeHdmv, 2);  // top menu
    w.PutReserved(30);
    PutHdmvObject(w, kTopMenuObject);
    w.Put(1, 16);  // titles
    w.Put(kObjectTypeHdmv, 2);
    w.Put(0, 2);  // access type
    w.PutReserved(28);
    PutHdmvObject(w, kTitleObject);
    w.EndLength(indexes);

    header.PartStartsHere(1);
    PutExtensionData(w);
    w.PutZeros((4 - w.BytePos() % 4) % 4);  // the file ends on a 32-bit boundary
    return w.Bytes();
}
