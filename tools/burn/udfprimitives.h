// Byte-level building blocks of UDF / ECMA-167 descriptors: little-endian
// fields, descriptor tags with their checksum and CRC, OSTA compressed
// unicode strings, entity identifiers and timestamps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace udf {

constexpr uint32_t kBlockSize = 2048;
constexpr uint16_t kUdfRevision = 0x0250;

// Descriptor tag identifiers (ECMA-167 3/7.2.1 and 4/7.2.1).
enum TagId : uint16_t {
    TagPrimaryVolume = 1,
    TagAnchor = 2,
    TagImplementationUse = 4,
    TagPartition = 5,
    TagLogicalVolume = 6,
    TagUnallocatedSpace = 7,
    TagTerminating = 8,
    TagLogicalVolumeIntegrity = 9,
    TagFileSet = 256,
    TagFileIdentifier = 257,
    TagExtendedFileEntry = 266,
};

// CRC-CCITT (polynomial 0x1021, initial value 0) used by descriptor tags.
uint16_t Crc16(const uint8_t *data, size_t size);

// A descriptor under construction: a zero-filled byte array with
// little-endian setters. Offsets are checked against the size.
class TDescriptor
{
public:
    explicit TDescriptor(size_t size) : FBytes(size, 0) { }

    void U8(size_t at, uint8_t v);
    void U16(size_t at, uint16_t v);
    void U32(size_t at, uint32_t v);
    void U64(size_t at, uint64_t v);
    void Bytes(size_t at, const std::vector<uint8_t> &v);
    void Text(size_t at, const char *ascii);

    // Fills the 16-byte tag at offset 0: identifier, version 3, location,
    // CRC over everything after the tag, then the tag checksum.
    void FinishTag(uint16_t tagId, uint32_t location);

    size_t Size() const { return FBytes.size(); }
    const std::vector<uint8_t> &Data() const { return FBytes; }

private:
    std::vector<uint8_t> FBytes;
};

// Text held as UCS-2 code units, the character set of UDF 2.50 names.
using TUcs2 = std::u16string;

// Converts UTF-8 to UCS-2. Malformed bytes and characters outside the Basic
// Multilingual Plane become "_"; returns how many were replaced.
size_t Utf8ToUcs2(const std::string &utf8, TUcs2 &out);
std::string Ucs2ToUtf8(const TUcs2 &text);

// OSTA compressed unicode: compression identifier 8 (one byte per
// character) when every character fits in 8 bits, else 16 (big-endian).
std::vector<uint8_t> CompressedUnicode(const TUcs2 &text);
// Number of characters of `text` that fit in `bytes` bytes of compressed
// unicode (the compression identifier included).
size_t CharsThatFit(const TUcs2 &text, size_t bytes);

// A dstring field of `fieldSize` bytes: compressed unicode padded with
// zeros, the last byte holding the length used. Text that does not fit
// is cut at a character boundary.
std::vector<uint8_t> DString(const TUcs2 &text, size_t fieldSize);

// The 64-byte character set specification "OSTA Compressed Unicode".
std::vector<uint8_t> OstaCharspec();

// Entity identifiers (regid, 32 bytes). The suffix forms differ by kind.
std::vector<uint8_t> DomainId();  // *OSTA UDF Compliant
std::vector<uint8_t> UdfId(const char *identifier);  // UDF identifier suffix
std::vector<uint8_t> ImplementationId();  // this writer
std::vector<uint8_t> PlainId(const char *identifier);  // no suffix (+NSR03)

// 12-byte timestamp in local time with its offset from UTC.
std::vector<uint8_t> Timestamp(const struct timespec &when);

// Allocation descriptors: short_ad (8 bytes) and long_ad (16 bytes); the
// long form carries the low 32 bits of the target's unique id in its
// implementation use, as UDF asks for file identifiers.
std::vector<uint8_t> ShortAd(uint32_t length, uint32_t block);
std::vector<uint8_t> LongAd(uint32_t length, uint32_t block, uint16_t partition, uint32_t uniqueId = 0);

}  // namespace udf
