// A UDF 2.50 image of a set of source folders: the layout is computed and
// the metadata built in memory, file contents are read from the sources
// only while the image is streamed out, so images of many gigabytes need
// no more memory than their metadata.
//
// Layout (2048-byte sectors): system area, volume recognition sequence at
// 16, main volume descriptor sequence at 32, integrity sequence at 64,
// anchor at 256; the physical partition from 272 holding the metadata file
// entry, the metadata partition's content, the file contents (stream files
// on ECC blocks of their own, BACKUP copies apart from their originals) and
// at its end the metadata mirror's file entry followed by the mirror; after
// the partition the reserve volume descriptor sequence, an anchor 256
// sectors before the end and one on the last sector.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/burn/udfprimitives.h"
#include "tools/burn/udftree.h"

namespace udf {

class TUdfImage
{
public:
    TUdfImage() = default;
    // The pieces point into the image's own buffers.
    TUdfImage(const TUdfImage &) = delete;
    TUdfImage &operator=(const TUdfImage &) = delete;

    // Scans the sources and lays the image out. False with a message when a
    // source cannot be read or stored.
    bool Build(const std::vector<std::string> &sources, const TUcs2 &label, std::string &error);

    uint64_t Size() const { return uint64_t(FSectors) * kBlockSize; }
    uint32_t Sectors() const { return FSectors; }
    const TTreeCounts &Counts() const { return FCounts; }

    // A piece of the image: bytes held in memory or the content of a file,
    // starting on a sector; the sectors between pieces are zeros.
    struct TPiece
    {
        uint64_t Sector = 0;
        uint64_t Length = 0;  // bytes, a whole number of sectors
        const std::vector<uint8_t> *Bytes = nullptr;
        const TUdfNode *File = nullptr;
    };
    const std::vector<TPiece> &Pieces() const { return FPieces; }
    // The file whose content holds the image's byte at `offset`, with the
    // byte's place in that file in *fileOffset; null for the file system's
    // own structures and the gaps between pieces.
    const TUdfNode *FileAt(uint64_t offset, uint64_t *fileOffset = nullptr) const;

private:
    void Place(const TUcs2 &label);
    uint32_t PlaceMetadata(TUdfNode &node, uint32_t next, uint64_t &uniqueId);
    // Places the files' contents from block `next` on; returns the block after.
    uint32_t PlaceContents(const std::vector<TUdfNode *> &files, uint32_t next);
    void WriteMetadata(const TUdfNode &node, const TUdfNode &parent);
    void WriteHead(const TUcs2 &label);

    TUdfNode FRoot;
    TTreeCounts FCounts;
    uint64_t FNextUniqueId = 0;
    uint32_t FMetadataBlocks = 0;
    uint32_t FMirrorEntry = 0;  // block of the mirror's file entry; its data follows it
    uint32_t FPartitionLength = 0;
    uint32_t FReserveVds = 0;  // sector of the reserve volume descriptor sequence
    uint32_t FSectors = 0;
    std::vector<uint8_t> FHead, FMetadata, FMirrorFileEntry, FReserve, FMiddleAnchor, FLastAnchor;
    std::vector<TPiece> FPieces;
};

// Reads an image from its first byte to its last, in order.
class TUdfImageReader
{
public:
    explicit TUdfImageReader(const TUdfImage &image) : FImage(image) { }
    ~TUdfImageReader();
    TUdfImageReader(const TUdfImageReader &) = delete;
    TUdfImageReader &operator=(const TUdfImageReader &) = delete;

    // Fills `buffer` with the next bytes of the image; returns how many (less
    // than `size` only at the end, 0 after it), or -1 when a source file
    // cannot be read or changed size, with the reason in Error().
    ssize_t Read(uint8_t *buffer, size_t size);
    uint64_t Position() const { return FPosition; }
    const std::string &Error() const { return FError; }

    // Opens every source file once and checks it is the one scanned, so
    // that a file that cannot be read is found before a byte is written;
    // false with the reason in Error().
    bool CheckSources();

private:
    bool OpenSource(const TUdfNode &file);
    ssize_t ReadFile(const TUdfImage::TPiece &piece, uint64_t offset, uint8_t *buffer, size_t size);
    bool StillAsScanned(const TUdfNode &file);

    const TUdfImage &FImage;
    uint64_t FPosition = 0;
    size_t FPiece = 0;
    int FFd = -1;
    std::string FError;
};

}  // namespace udf
