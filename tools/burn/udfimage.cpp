// Layout and streaming of a UDF 2.50 image.
#include "tools/burn/udfimage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tools/burn/udfdescriptors.h"

namespace udf {

namespace {

constexpr uint32_t kVrsStart = 16;
constexpr uint32_t kMainVds = 32;
constexpr uint32_t kVdsLength = 16;
constexpr uint32_t kIntegrityStart = 64;
constexpr uint32_t kIntegrityLength = 2;
constexpr uint32_t kAnchorSector = 256;  // also the distance of the middle anchor from the last sector
constexpr uint32_t kPartitionStart = 272;
// Blocks inside the physical partition.
constexpr uint32_t kMetadataFileEntry = 0;
constexpr uint32_t kMetadataStart = 16;
// The metadata partition grows in allocation units; the mirror, the
// reserve sequence, stream files and the BACKUP copies start on alignment
// units (one 32 KB ECC block of a DVD), and the volume ends on one.
constexpr uint32_t kMetadataUnit = 32;
constexpr uint32_t kAlignmentUnit = 16;
static_assert(kPartitionStart % kAlignmentUnit == 0, "blocks and sectors share the ECC grid");
// Unique ids 1 to 15 are reserved; the root has 0.
constexpr uint64_t kFirstUniqueId = 16;

uint64_t BlocksFor(uint64_t bytes)
{
    return (bytes + kBlockSize - 1) / kBlockSize;
}
uint32_t RoundUp(uint32_t value, uint32_t unit)
{
    return (value + unit - 1) / unit * unit;
}

void Put(std::vector<uint8_t> &area, uint64_t block, const std::vector<uint8_t> &descriptor)
{
    std::memcpy(area.data() + block * kBlockSize, descriptor.data(), descriptor.size());
}

size_t DirectoryBytes(const TUdfNode &node)
{
    size_t bytes = FileIdentifierSize({});
    for (const auto &child : node.Children)
        bytes += FileIdentifierSize(child->Name);
    return bytes;
}

uint16_t LinkCount(const TUdfNode &node)
{
    uint16_t links = 1;
    for (const auto &child : node.Children)
        if (child->IsDirectory)
            ++links;
    return links;
}

bool EndsWith(const TUcs2 &name, const TUcs2 &end)
{
    if (name.size() < end.size())
        return false;
    for (size_t i = 0; i < end.size(); ++i) {
        char16_t c = name[name.size() - end.size() + i];
        if ((c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c) != end[i])
            return false;
    }
    return true;
}

// Audio-visual streams are recorded as real-time files, each on its own
// ECC blocks so that a player reads no block of another file with them.
bool IsStreamFile(const TUdfNode &node)
{
    return !node.IsDirectory && EndsWith(node.Name, u".m2ts");
}

// Files with content in tree order: the originals, and apart the copies
// below a BACKUP folder, so that a damaged ECC block never holds both.
void CollectFiles(TUdfNode &node, bool inBackup, std::vector<TUdfNode *> &originals,
                  std::vector<TUdfNode *> &backups)
{
    if (!node.IsDirectory) {
        if (node.Size)
            (inBackup ? backups : originals).push_back(&node);
        return;
    }
    for (auto &child : node.Children)
        CollectFiles(*child, inBackup || (child->IsDirectory && child->Name == u"BACKUP"), originals,
                     backups);
}

const TUdfNode *LargestFile(const TUdfNode &node)
{
    const TUdfNode *largest = node.IsDirectory ? nullptr : &node;
    for (const auto &child : node.Children) {
        const TUdfNode *candidate = LargestFile(*child);
        if (candidate && (!largest || candidate->Size > largest->Size))
            largest = candidate;
    }
    return largest;
}

}  // namespace

bool TUdfImage::Build(const std::vector<std::string> &sources, const TUcs2 &label, std::string &error)
{
    if (!ScanSources(sources, FRoot, FCounts, error))
        return false;
    // Block numbers are 32-bit; keep well clear of the limit.
    if (BlocksFor(FCounts.Bytes) + 2 * FCounts.Files + 2 * FCounts.Directories > 0xF0000000u) {
        error = "The sources are too large for one UDF volume.";
        return false;
    }
    if (const TUdfNode *big = LargestFile(FRoot); big && big->Size > MaxFileSize()) {
        error = "\"" + big->SourcePath + "\" is too large: a file can hold at most "
                + std::to_string(MaxFileSize()) + " bytes here.";
        return false;
    }
    Place(label);
    return true;
}

const TUdfNode *TUdfImage::FileAt(uint64_t offset, uint64_t *fileOffset) const
{
    // The pieces lie in the order of their sectors.
    auto after =
        std::upper_bound(FPieces.begin(), FPieces.end(), offset,
                         [](uint64_t at, const TPiece &piece) { return at < piece.Sector * kBlockSize; });
    if (after == FPieces.begin())
        return nullptr;
    const TPiece &piece = *std::prev(after);
    const uint64_t start = piece.Sector * kBlockSize;
    if (offset >= start + piece.Length)
        return nullptr;
    if (fileOffset)
        *fileOffset = offset - start;
    return piece.File;
}

uint32_t TUdfImage::PlaceMetadata(TUdfNode &node, uint32_t next, uint64_t &uniqueId)
{
    node.EntryBlock = next++;
    if (!node.IsDirectory)
        return next;
    node.DataLength = DirectoryBytes(node);
    node.DataBlock = next;
    next += static_cast<uint32_t>(BlocksFor(node.DataLength));
    for (auto &child : node.Children) {
        child->UniqueId = uniqueId++;
        next = PlaceMetadata(*child, next, uniqueId);
    }
    return next;
}

uint32_t TUdfImage::PlaceContents(const std::vector<TUdfNode *> &files, uint32_t next)
{
    for (TUdfNode *file : files) {
        if (IsStreamFile(*file))
            next = RoundUp(next, kAlignmentUnit);
        file->DataLength = file->Size;
        file->DataBlock = next;
        next += static_cast<uint32_t>(BlocksFor(file->Size));
        FPieces.push_back(
            {kPartitionStart + file->DataBlock, BlocksFor(file->Size) * kBlockSize, nullptr, file});
    }
    return next;
}

void TUdfImage::Place(const TUcs2 &label)
{
    // Metadata partition: file set descriptor, its terminator, then each
    // entry followed by the identifiers of a folder.
    uint64_t uniqueId = kFirstUniqueId;
    FRoot.UniqueId = 0;
    uint32_t metadataUsed = PlaceMetadata(FRoot, 2, uniqueId);
    FNextUniqueId = uniqueId;
    FMetadataBlocks = RoundUp(metadataUsed, kMetadataUnit);
    FMetadata.assign(uint64_t(FMetadataBlocks) * kBlockSize, 0);

    // The physical partition: metadata, the files, the BACKUP copies, and at
    // its end the metadata mirror's file entry and the mirror, far from the
    // metadata file's entry and the metadata they stand in for. After it come
    // the reserve volume descriptor sequence and the anchors 256 sectors
    // before the end and on the last sector.
    FPieces.clear();
    FHead.assign(uint64_t(kPartitionStart + kMetadataStart) * kBlockSize, 0);
    FPieces.push_back({0, FHead.size(), &FHead, nullptr});
    FPieces.push_back({kPartitionStart + kMetadataStart, FMetadata.size(), &FMetadata, nullptr});
    std::vector<TUdfNode *> originals, backups;
    CollectFiles(FRoot, false, originals, backups);
    uint32_t next = PlaceContents(originals, kMetadataStart + FMetadataBlocks);
    next = PlaceContents(backups, RoundUp(next, kAlignmentUnit));
    FMirrorEntry = RoundUp(next, kAlignmentUnit);
    FPartitionLength = RoundUp(FMirrorEntry + 1 + FMetadataBlocks, kAlignmentUnit);
    FMirrorFileEntry.assign(kBlockSize, 0);
    FPieces.push_back({kPartitionStart + FMirrorEntry, FMirrorFileEntry.size(), &FMirrorFileEntry, nullptr});
    FPieces.push_back({kPartitionStart + FMirrorEntry + 1, FMetadata.size(), &FMetadata, nullptr});

    FReserveVds = kPartitionStart + FPartitionLength;  // on the ECC grid: both terms are
    FSectors = RoundUp(FReserveVds + kVdsLength + kAnchorSector + 1, kAlignmentUnit);
    FReserve.assign(uint64_t(kVdsLength) * kBlockSize, 0);
    FPieces.push_back({FReserveVds, FReserve.size(), &FReserve, nullptr});
    for (auto [anchor, sector] :
         {std::pair {&FMiddleAnchor, FSectors - 1 - kAnchorSector}, std::pair {&FLastAnchor, FSectors - 1}}) {
        *anchor = AnchorPointer(sector, kMainVds, FReserveVds, kVdsLength);
        anchor->resize(kBlockSize, 0);
        FPieces.push_back({sector, anchor->size(), anchor, nullptr});
    }

    WriteMetadata(FRoot, FRoot);  // the root is its own parent
    WriteHead(label);
}

void TUdfImage::WriteMetadata(const TUdfNode &node, const TUdfNode &parent)
{
    TFileEntry entry;
    entry.Location = node.EntryBlock;
    entry.UniqueId = node.UniqueId;
    entry.Length = node.DataLength;
    entry.BlocksRecorded = BlocksFor(node.DataLength);
    entry.Accessed = node.Accessed;
    entry.Modified = node.Modified;
    entry.Created = node.Modified;
    entry.Attributes = node.Changed;
    if (node.IsDirectory) {
        entry.Type = FileTypeDirectory;
        entry.LinkCount = LinkCount(node);
        entry.Ads = ContiguousAds(node.DataLength, node.DataBlock, false, kMetadataPartition);
    } else {
        entry.Type = IsStreamFile(node) ? FileTypeRealTime : FileTypeRegular;
        entry.LongAds = true;
        entry.Ads = ContiguousAds(node.DataLength, node.DataBlock, true, kPhysicalPartition);
    }
    Put(FMetadata, node.EntryBlock, ExtendedFileEntry(entry));
    if (!node.IsDirectory)
        return;

    // The identifiers follow one another across block boundaries; each is
    // tagged with the block where it starts.
    uint64_t offset = uint64_t(node.DataBlock) * kBlockSize;
    auto append = [&](uint8_t flags, const TUcs2 &name, const TUdfNode &target) {
        auto location = static_cast<uint32_t>(offset / kBlockSize);
        std::vector<uint8_t> fid = FileIdentifier(location, flags, name, target.EntryBlock, target.UniqueId);
        std::memcpy(FMetadata.data() + offset, fid.data(), fid.size());
        offset += fid.size();
    };
    append(FidDirectory | FidParent, {}, parent);
    for (const auto &child : node.Children)
        append(child->IsDirectory ? FidDirectory : 0, child->Name, *child);
    for (const auto &child : node.Children)
        WriteMetadata(*child, node);
}

void TUdfImage::WriteHead(const TUcs2 &label)
{
    TVolumeIds ids;
    ids.Label = label;
    clock_gettime(CLOCK_REALTIME, &ids.Recorded);
    char unique[17];
    std::snprintf(unique, sizeof unique, "%08lX%08lX",
                  static_cast<unsigned long>(ids.Recorded.tv_sec) & 0xFFFFFFFFul,
                  static_cast<unsigned long>(ids.Recorded.tv_nsec) & 0xFFFFFFFFul);
    for (const char *c = unique; *c; ++c)
        ids.VolumeSetId.push_back(static_cast<char16_t>(*c));
    ids.VolumeSetId += label;

    TPartitionPlace place;
    place.Start = kPartitionStart;
    place.Length = FPartitionLength;
    place.MetadataFile = kMetadataFileEntry;
    place.MirrorFile = FMirrorEntry;
    place.MetadataSize = FMetadataBlocks;

    Put(FHead, kVrsStart, VolumeStructure("BEA01"));
    Put(FHead, kVrsStart + 1, VolumeStructure("NSR03"));
    Put(FHead, kVrsStart + 2, VolumeStructure("TEA01"));
    // The same sequence twice, each descriptor tagged with its own sector.
    for (auto [area, vds] : {std::pair {&FHead, kMainVds}, std::pair {&FReserve, FReserveVds}}) {
        uint32_t at = area == &FHead ? vds : 0;  // block of the sequence in its buffer
        Put(*area, at, PrimaryVolume(vds, 1, ids));
        Put(*area, at + 1, ImplementationUseVolume(vds + 1, 2, ids));
        Put(*area, at + 2, Partition(vds + 2, 3, place));
        Put(*area, at + 3, LogicalVolume(vds + 3, 4, ids, place, kIntegrityStart, kIntegrityLength));
        Put(*area, at + 4, UnallocatedSpace(vds + 4, 5));
        Put(*area, at + 5, Terminating(vds + 5));
    }
    TIntegrity integrity {FNextUniqueId, FCounts.Files, FCounts.Directories};
    Put(FHead, kIntegrityStart, LogicalVolumeIntegrity(kIntegrityStart, ids, place, integrity));
    Put(FHead, kIntegrityStart + 1, Terminating(kIntegrityStart + 1));
    Put(FHead, kAnchorSector, AnchorPointer(kAnchorSector, kMainVds, FReserveVds, kVdsLength));

    Put(FMetadata, 0, FileSet(ids, FRoot.EntryBlock));
    Put(FMetadata, 1, Terminating(1));

    // The metadata file and its mirror: one extent each, in the physical
    // partition, holding the same bytes; the metadata file's entry in the
    // head, the mirror's in a block of its own before the mirror.
    auto metadataEntry = [&](uint32_t block, FileType type, uint32_t start) {
        TFileEntry entry;
        entry.Location = block;
        entry.Type = type;
        entry.LinkCount = 1;
        entry.Length = FMetadata.size();
        entry.BlocksRecorded = FMetadataBlocks;
        entry.Accessed = entry.Modified = entry.Created = entry.Attributes = ids.Recorded;
        entry.Ads = ContiguousAds(FMetadata.size(), start, false, kPhysicalPartition);
        return ExtendedFileEntry(entry);
    };
    Put(FHead, kPartitionStart + kMetadataFileEntry,
        metadataEntry(kMetadataFileEntry, FileTypeMetadata, kMetadataStart));
    Put(FMirrorFileEntry, 0, metadataEntry(FMirrorEntry, FileTypeMetadataMirror, FMirrorEntry + 1));
}

TUdfImageReader::~TUdfImageReader()
{
    if (FFd >= 0)
        close(FFd);
}

// The image describes each file as it was scanned: a file replaced since,
// or whose size changed, would be written cut or with its old length.
bool TUdfImageReader::StillAsScanned(const TUdfNode &file)
{
    struct stat now
    { };
    if (fstat(FFd, &now) != 0) {
        FError = "Cannot read \"" + file.SourcePath + "\": " + std::strerror(errno) + ".";
        return false;
    }
    if (now.st_dev != file.Device || now.st_ino != file.Inode) {
        FError = "\"" + file.SourcePath + "\" was replaced while the image was written.";
        return false;
    }
    if (static_cast<uint64_t>(now.st_size) != file.Size) {
        FError = "\"" + file.SourcePath + "\" became "
                 + (static_cast<uint64_t>(now.st_size) < file.Size ? "shorter" : "longer")
                 + " while the image was written (" + std::to_string(file.Size)
                 + " bytes when the sources were read, " + std::to_string(now.st_size) + " now).";
        return false;
    }
    return true;
}

bool TUdfImageReader::OpenSource(const TUdfNode &file)
{
    FFd = open(file.SourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) {
        FError = "Cannot open \"" + file.SourcePath + "\": " + std::strerror(errno) + ".";
        return false;
    }
    return StillAsScanned(file);
}

bool TUdfImageReader::CheckSources()
{
    for (const TUdfImage::TPiece &piece : FImage.Pieces()) {
        if (!piece.File)
            continue;
        const bool usable = OpenSource(*piece.File);
        if (FFd >= 0)
            close(FFd);
        FFd = -1;
        if (!usable)
            return false;
    }
    return true;
}

ssize_t TUdfImageReader::ReadFile(const TUdfImage::TPiece &piece, uint64_t offset, uint8_t *buffer,
                                  size_t size)
{
    const TUdfNode &file = *piece.File;
    if (offset >= file.Size) {
        std::memset(buffer, 0, size);  // the end of the last block
        return static_cast<ssize_t>(size);
    }
    if (FFd < 0) {
        if (!OpenSource(file))
            return -1;
        posix_fadvise(FFd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    size_t want = static_cast<size_t>(std::min<uint64_t>(size, file.Size - offset));
    // Holes of a sparse source are zeros: filling them here saves reading
    // them page by page.
    off_t data = lseek(FFd, static_cast<off_t>(offset), SEEK_DATA);
    struct stat now
    { };
    bool noMoreData = data < 0 && errno == ENXIO;
    if (noMoreData && (fstat(FFd, &now) != 0 || static_cast<uint64_t>(now.st_size) < file.Size)) {
        FError = "\"" + file.SourcePath + "\" became shorter while the image was written.";
        return -1;
    }
    if (noMoreData || (data >= 0 && static_cast<uint64_t>(data) > offset)) {
        size_t zeros = data < 0 ? want : static_cast<size_t>(std::min<uint64_t>(want, data - offset));
        std::memset(buffer, 0, zeros);
        return static_cast<ssize_t>(zeros);
    }
    ssize_t got = pread(FFd, buffer, want, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR)
        return 0;
    if (got <= 0) {
        FError = got < 0 ? "Cannot read \"" + file.SourcePath + "\": " + std::strerror(errno) + "."
                         : "\"" + file.SourcePath + "\" became shorter while the image was written.";
        return -1;
    }
    return got;
}

ssize_t TUdfImageReader::Read(uint8_t *buffer, size_t size)
{
    const auto &pieces = FImage.Pieces();
    size_t done = 0;
    while (done < size && FPosition < FImage.Size()) {
        size_t room = size - done;
        uint64_t pieceStart = FPiece < pieces.size() ? pieces[FPiece].Sector * kBlockSize : FImage.Size();
        if (FPosition < pieceStart) {
            auto zeros = static_cast<size_t>(std::min<uint64_t>(room, pieceStart - FPosition));
            std::memset(buffer + done, 0, zeros);
            done += zeros;
            FPosition += zeros;
            continue;
        }
        const TUdfImage::TPiece &piece = pieces[FPiece];
        uint64_t offset = FPosition - pieceStart;
        auto chunk = static_cast<size_t>(std::min<uint64_t>(room, piece.Length - offset));
        ssize_t got = chunk;
        if (piece.Bytes)
            std::memcpy(buffer + done, piece.Bytes->data() + offset, chunk);
        else
            got = ReadFile(piece, offset, buffer + done, chunk);
        if (got < 0)
            return -1;
        done += static_cast<size_t>(got);
        FPosition += static_cast<uint64_t>(got);
        if (FPosition == pieceStart + piece.Length) {
            if (FFd >= 0 && !StillAsScanned(*piece.File))
                return -1;
            if (FFd >= 0)
                close(FFd);
            FFd = -1;
            ++FPiece;
        }
    }
    return static_cast<ssize_t>(done);
}

}  // namespace udf
