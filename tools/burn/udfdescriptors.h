// The UDF 2.50 / ECMA-167 descriptors this writer records, each built as
// its exact byte image with tag, CRC and checksum filled in.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "tools/burn/udfprimitives.h"

namespace udf {

// File types of the ICB tag.
enum FileType : uint8_t {
    FileTypeDirectory = 4,
    FileTypeRegular = 5,
    FileTypeRealTime = 249,  // audio-visual data read at a steady rate
    FileTypeMetadata = 250,
    FileTypeMetadataMirror = 251,
};

// Partition reference numbers of the logical volume: the physical
// partition (map 0) and the metadata partition inside it (map 1).
constexpr uint16_t kPhysicalPartition = 0;
constexpr uint16_t kMetadataPartition = 1;

struct TVolumeIds
{
    TUcs2 Label;  // logical volume identifier, the volume label
    TUcs2 VolumeSetId;  // starts with 16 unique hex digits
    struct timespec Recorded
    { };
};

struct TPartitionPlace
{
    uint32_t Start = 0;  // first sector of the physical partition
    uint32_t Length = 0;  // its length in blocks
    uint32_t MetadataFile = 0;  // blocks inside it: metadata file entry
    uint32_t MirrorFile = 0;  // and its mirror
    uint32_t MetadataSize = 0;  // blocks of the metadata partition
};

struct TIntegrity
{
    uint64_t NextUniqueId = 0;
    uint32_t Files = 0;
    uint32_t Directories = 0;
};

std::vector<uint8_t> VolumeStructure(const char *identifier);  // BEA01, NSR03, TEA01
std::vector<uint8_t> AnchorPointer(uint32_t location, uint32_t mainVds, uint32_t reserveVds,
                                   uint32_t vdsLength);
std::vector<uint8_t> PrimaryVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids);
std::vector<uint8_t> ImplementationUseVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids);
std::vector<uint8_t> Partition(uint32_t location, uint32_t sequence, const TPartitionPlace &place);
std::vector<uint8_t> LogicalVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids,
                                   const TPartitionPlace &place, uint32_t integrityStart,
                                   uint32_t integrityLength);
std::vector<uint8_t> UnallocatedSpace(uint32_t location, uint32_t sequence);
std::vector<uint8_t> Terminating(uint32_t location);
std::vector<uint8_t> LogicalVolumeIntegrity(uint32_t location, const TVolumeIds &ids,
                                            const TPartitionPlace &place, const TIntegrity &integrity);
// File set descriptor at block 0 of the metadata partition.
std::vector<uint8_t> FileSet(const TVolumeIds &ids, uint32_t rootBlock);

struct TFileEntry
{
    uint32_t Location = 0;  // block of this entry inside its partition
    FileType Type = FileTypeRegular;
    uint64_t UniqueId = 0;
    uint16_t LinkCount = 1;
    uint64_t Length = 0;  // information length in bytes
    uint64_t BlocksRecorded = 0;  // blocks its allocation descriptors cover
    struct timespec Accessed
    {
    }, Modified {}, Created {}, Attributes {};
    // Either short_ads in the entry's own partition or long_ads.
    bool LongAds = false;
    std::vector<uint8_t> Ads;
};
std::vector<uint8_t> ExtendedFileEntry(const TFileEntry &entry);

// The largest file whose long allocation descriptors all fit in its
// extended file entry (114 extents of almost 1 GiB).
uint64_t MaxFileSize();

// The extents (block, length in bytes) of `length` bytes stored from
// `block` on, split so that no extent exceeds what an allocation
// descriptor can hold.
std::vector<uint8_t> ContiguousAds(uint64_t length, uint32_t block, bool longAds, uint16_t partition);

enum FidFlags : uint8_t { FidDirectory = 0x02, FidParent = 0x08 };

// One file identifier descriptor; `name` empty for the parent entry.
std::vector<uint8_t> FileIdentifier(uint32_t location, uint8_t flags, const TUcs2 &name, uint32_t icbBlock,
                                    uint64_t uniqueId);
size_t FileIdentifierSize(const TUcs2 &name);

}  // namespace udf
