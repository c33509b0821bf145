// The UDF 2.50 / ECMA-167 descriptors, field by field.
#include "tools/burn/udfdescriptors.h"

#include <algorithm>
#include <cstring>

namespace udf {

namespace {

// Largest extent an allocation descriptor holds: its 30-bit length, kept
// to whole blocks so that the next extent starts on a block.
constexpr uint32_t kMaxExtent = 0x40000000u - kBlockSize;

constexpr uint32_t kMetadataAllocationUnit = 32;
constexpr uint16_t kMetadataAlignmentUnit = 16;

// Read permission for owner, group and others; execute (search) as well
// for folders.
constexpr uint32_t kReadOnlyFile = 0x1084;
constexpr uint32_t kReadOnlyFolder = 0x14A5;

}  // namespace

std::vector<uint8_t> VolumeStructure(const char *identifier)
{
    TDescriptor d(kBlockSize);
    d.U8(0, 0);
    d.Text(1, identifier);
    d.U8(6, 1);
    return d.Data();
}

std::vector<uint8_t> AnchorPointer(uint32_t location, uint32_t mainVds, uint32_t reserveVds,
                                   uint32_t vdsLength)
{
    TDescriptor d(512);
    d.U32(16, vdsLength * kBlockSize);
    d.U32(20, mainVds);
    d.U32(24, vdsLength * kBlockSize);
    d.U32(28, reserveVds);
    d.FinishTag(TagAnchor, location);
    return d.Data();
}

std::vector<uint8_t> PrimaryVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids)
{
    TDescriptor d(512);
    d.U32(16, sequence);
    d.U32(20, 0);  // primary volume descriptor number
    d.Bytes(24, DString(ids.Label, 32));
    d.U16(56, 1);  // volume sequence number
    d.U16(58, 1);  // maximum volume sequence number
    d.U16(60, 2);  // interchange level: single volume
    d.U16(62, 2);
    d.U32(64, 1);  // character set list: CS0
    d.U32(68, 1);
    d.Bytes(72, DString(ids.VolumeSetId, 128));
    d.Bytes(200, OstaCharspec());
    d.Bytes(264, OstaCharspec());
    d.Bytes(344, ImplementationId());  // application identifier
    d.Bytes(376, Timestamp(ids.Recorded));
    d.Bytes(388, ImplementationId());
    d.FinishTag(TagPrimaryVolume, location);
    return d.Data();
}

std::vector<uint8_t> ImplementationUseVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids)
{
    TDescriptor d(512);
    d.U32(16, sequence);
    d.Bytes(20, UdfId("*UDF LV Info"));
    d.Bytes(52, OstaCharspec());
    d.Bytes(116, DString(ids.Label, 128));
    d.Bytes(352, ImplementationId());
    d.FinishTag(TagImplementationUse, location);
    return d.Data();
}

std::vector<uint8_t> Partition(uint32_t location, uint32_t sequence, const TPartitionPlace &place)
{
    TDescriptor d(512);
    d.U32(16, sequence);
    d.U16(20, 1);  // allocated
    d.U16(22, 0);  // partition number
    d.Bytes(24, PlainId("+NSR03"));
    d.U32(184, 1);  // access type: read only
    d.U32(188, place.Start);
    d.U32(192, place.Length);
    d.Bytes(196, ImplementationId());
    d.FinishTag(TagPartition, location);
    return d.Data();
}

namespace {

std::vector<uint8_t> Type1Map()
{
    TDescriptor m(6);
    m.U8(0, 1);
    m.U8(1, 6);
    m.U16(2, 1);  // volume sequence number
    m.U16(4, 0);  // partition number
    return m.Data();
}

std::vector<uint8_t> MetadataMap(const TPartitionPlace &place)
{
    TDescriptor m(64);
    m.U8(0, 2);
    m.U8(1, 64);
    m.Bytes(4, UdfId("*UDF Metadata Partition"));
    m.U16(36, 1);  // volume sequence number
    m.U16(38, 0);  // partition number
    m.U32(40, place.MetadataFile);
    m.U32(44, place.MirrorFile);
    m.U32(48, 0xFFFFFFFF);  // no metadata bitmap on a read-only volume
    m.U32(52, kMetadataAllocationUnit);
    m.U16(56, kMetadataAlignmentUnit);
    m.U8(58, 1);  // the mirror holds its own copy of the metadata
    return m.Data();
}

}  // namespace

std::vector<uint8_t> LogicalVolume(uint32_t location, uint32_t sequence, const TVolumeIds &ids,
                                   const TPartitionPlace &place, uint32_t integrityStart,
                                   uint32_t integrityLength)
{
    std::vector<uint8_t> map1 = Type1Map();
    std::vector<uint8_t> map2 = MetadataMap(place);
    TDescriptor d(440 + map1.size() + map2.size());
    d.U32(16, sequence);
    d.Bytes(20, OstaCharspec());
    d.Bytes(84, DString(ids.Label, 128));
    d.U32(212, kBlockSize);
    d.Bytes(216, DomainId());
    d.Bytes(248, LongAd(kBlockSize, 0, kMetadataPartition));  // the file set descriptor
    d.U32(264, static_cast<uint32_t>(map1.size() + map2.size()));
    d.U32(268, 2);
    d.Bytes(272, ImplementationId());
    d.U32(432, integrityLength * kBlockSize);
    d.U32(436, integrityStart);
    d.Bytes(440, map1);
    d.Bytes(440 + map1.size(), map2);
    d.FinishTag(TagLogicalVolume, location);
    return d.Data();
}

std::vector<uint8_t> UnallocatedSpace(uint32_t location, uint32_t sequence)
{
    TDescriptor d(24);
    d.U32(16, sequence);
    d.U32(20, 0);
    d.FinishTag(TagUnallocatedSpace, location);
    return d.Data();
}

std::vector<uint8_t> Terminating(uint32_t location)
{
    TDescriptor d(512);
    d.FinishTag(TagTerminating, location);
    return d.Data();
}

std::vector<uint8_t> LogicalVolumeIntegrity(uint32_t location, const TVolumeIds &ids,
                                            const TPartitionPlace &place, const TIntegrity &integrity)
{
    constexpr size_t kPartitions = 2;
    constexpr size_t kImplUse = 80 + 8 * kPartitions;
    TDescriptor d(kImplUse + 46);
    d.Bytes(16, Timestamp(ids.Recorded));
    d.U32(28, 1);  // closed
    d.U64(40, integrity.NextUniqueId);
    d.U32(72, kPartitions);
    d.U32(76, 46);
    d.U32(80, 0);  // free space: none, the volume is read only
    d.U32(84, 0);
    d.U32(88, place.Length);
    d.U32(92, place.MetadataSize);
    d.Bytes(kImplUse, ImplementationId());
    d.U32(kImplUse + 32, integrity.Files);
    d.U32(kImplUse + 36, integrity.Directories);
    d.U16(kImplUse + 40, kUdfRevision);  // minimum read revision
    d.U16(kImplUse + 42, kUdfRevision);  // minimum write revision
    d.U16(kImplUse + 44, kUdfRevision);  // maximum write revision
    d.FinishTag(TagLogicalVolumeIntegrity, location);
    return d.Data();
}

std::vector<uint8_t> FileSet(const TVolumeIds &ids, uint32_t rootBlock)
{
    TDescriptor d(512);
    d.Bytes(16, Timestamp(ids.Recorded));
    d.U16(28, 3);  // interchange level
    d.U16(30, 3);
    d.U32(32, 1);
    d.U32(36, 1);
    d.Bytes(48, OstaCharspec());
    d.Bytes(112, DString(ids.Label, 128));
    d.Bytes(240, OstaCharspec());
    d.Bytes(304, DString(ids.Label, 32));
    d.Bytes(400, LongAd(kBlockSize, rootBlock, kMetadataPartition));
    d.Bytes(416, DomainId());
    d.FinishTag(TagFileSet, 0);
    return d.Data();
}

std::vector<uint8_t> ExtendedFileEntry(const TFileEntry &entry)
{
    constexpr size_t kHeader = 216;
    TDescriptor d(kHeader + entry.Ads.size());
    d.U16(20, 4);  // strategy 4: a single direct entry
    d.U16(24, 1);
    d.U8(27, entry.Type);
    d.U16(34, entry.LongAds ? 1 : 0);
    d.U32(36, 0xFFFFFFFF);  // no user
    d.U32(40, 0xFFFFFFFF);  // no group
    d.U32(44, entry.Type == FileTypeDirectory ? kReadOnlyFolder : kReadOnlyFile);
    d.U16(48, entry.LinkCount);
    d.U64(56, entry.Length);
    d.U64(64, entry.Length);  // object size: no streams
    d.U64(72, entry.BlocksRecorded);
    d.Bytes(80, Timestamp(entry.Accessed));
    d.Bytes(92, Timestamp(entry.Modified));
    d.Bytes(104, Timestamp(entry.Created));
    d.Bytes(116, Timestamp(entry.Attributes));
    d.U32(128, 1);  // checkpoint
    d.Bytes(168, ImplementationId());
    d.U64(200, entry.UniqueId);
    d.U32(208, 0);
    d.U32(212, static_cast<uint32_t>(entry.Ads.size()));
    d.Bytes(kHeader, entry.Ads);
    d.FinishTag(TagExtendedFileEntry, entry.Location);
    return d.Data();
}

uint64_t MaxFileSize()
{
    constexpr uint64_t kEntryHeader = 216, kLongAd = 16;
    return (kBlockSize - kEntryHeader) / kLongAd * kMaxExtent;
}

std::vector<uint8_t> ContiguousAds(uint64_t length, uint32_t block, bool longAds, uint16_t partition)
{
    std::vector<uint8_t> ads;
    while (length > 0) {
        auto part = static_cast<uint32_t>(std::min<uint64_t>(length, kMaxExtent));
        std::vector<uint8_t> ad = longAds ? LongAd(part, block, partition) : ShortAd(part, block);
        ads.insert(ads.end(), ad.begin(), ad.end());
        length -= part;
        block += part / kBlockSize;
    }
    return ads;
}

size_t FileIdentifierSize(const TUcs2 &name)
{
    size_t nameBytes = name.empty() ? 0 : CompressedUnicode(name).size();
    return (38 + nameBytes + 3) / 4 * 4;
}

std::vector<uint8_t> FileIdentifier(uint32_t location, uint8_t flags, const TUcs2 &name, uint32_t icbBlock,
                                    uint64_t uniqueId)
{
    std::vector<uint8_t> packed;
    if (!name.empty())
        packed = CompressedUnicode(name);
    TDescriptor d(FileIdentifierSize(name));
    d.U16(16, 1);  // file version number
    d.U8(18, flags);
    d.U8(19, static_cast<uint8_t>(packed.size()));
    d.Bytes(20, LongAd(kBlockSize, icbBlock, kMetadataPartition, static_cast<uint32_t>(uniqueId)));
    d.U16(36, 0);
    d.Bytes(38, packed);
    d.FinishTag(TagFileIdentifier, location);
    return d.Data();
}

}  // namespace udf
