// Byte-level building blocks of UDF descriptors.
#include "tools/burn/udfprimitives.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace udf {

namespace {

// Operating system class 4 (UNIX), identifier 5 (Linux), as UDF lists them.
constexpr uint8_t kOsClass = 4;
constexpr uint8_t kOsIdentifier = 5;

std::vector<uint8_t> EntityId(const char *identifier, const uint8_t (&suffix)[8])
{
    std::vector<uint8_t> id(32, 0);
    size_t len = std::strlen(identifier);
    assert(len <= 23);
    std::memcpy(id.data() + 1, identifier, len);
    std::memcpy(id.data() + 24, suffix, 8);
    return id;
}

}  // namespace

uint16_t Crc16(const uint8_t *data, size_t size)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

void TDescriptor::U8(size_t at, uint8_t v)
{
    assert(at + 1 <= FBytes.size());
    FBytes[at] = v;
}

void TDescriptor::U16(size_t at, uint16_t v)
{
    assert(at + 2 <= FBytes.size());
    for (int i = 0; i < 2; ++i)
        FBytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void TDescriptor::U32(size_t at, uint32_t v)
{
    assert(at + 4 <= FBytes.size());
    for (int i = 0; i < 4; ++i)
        FBytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void TDescriptor::U64(size_t at, uint64_t v)
{
    assert(at + 8 <= FBytes.size());
    for (int i = 0; i < 8; ++i)
        FBytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void TDescriptor::Bytes(size_t at, const std::vector<uint8_t> &v)
{
    assert(at + v.size() <= FBytes.size());
    if (!v.empty())
        std::memcpy(FBytes.data() + at, v.data(), v.size());
}

void TDescriptor::Text(size_t at, const char *ascii)
{
    size_t len = std::strlen(ascii);
    assert(at + len <= FBytes.size());
    std::memcpy(FBytes.data() + at, ascii, len);
}

void TDescriptor::FinishTag(uint16_t tagId, uint32_t location)
{
    U16(0, tagId);
    U16(2, 3);  // descriptor version of NSR03 volumes
    U16(6, 1);  // tag serial number
    auto crcLength = static_cast<uint16_t>(FBytes.size() - 16);
    U16(8, Crc16(FBytes.data() + 16, crcLength));
    U16(10, crcLength);
    U32(12, location);
    uint8_t sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4)
            sum = static_cast<uint8_t>(sum + FBytes[i]);
    FBytes[4] = sum;
}

size_t Utf8ToUcs2(const std::string &utf8, TUcs2 &out)
{
    out.clear();
    size_t replaced = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        auto c = static_cast<uint8_t>(utf8[i]);
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        bool valid = extra >= 0 && i + extra < utf8.size();
        uint32_t code = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; valid && k <= extra; ++k) {
            auto cc = static_cast<uint8_t>(utf8[i + k]);
            valid = (cc & 0xC0) == 0x80;
            code = (code << 6) | (cc & 0x3F);
        }
        static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallest[extra] && !(code >= 0xD800 && code <= 0xDFFF);
        // UCS-2 holds the Basic Multilingual Plane only.
        if (valid && code <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(code));
            i += extra + 1;
        } else {
            out.push_back(u'_');
            ++replaced;
            i += valid ? extra + 1 : 1;
        }
    }
    return replaced;
}

std::string Ucs2ToUtf8(const TUcs2 &text)
{
    std::string out;
    for (char16_t ch : text) {
        uint32_t c = ch;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {
bool FitsIn8Bits(const TUcs2 &text)
{
    for (char16_t ch : text)
        if (ch > 0xFF)
            return false;
    return true;
}
}  // namespace

std::vector<uint8_t> CompressedUnicode(const TUcs2 &text)
{
    std::vector<uint8_t> out;
    if (FitsIn8Bits(text)) {
        out.push_back(8);
        for (char16_t ch : text)
            out.push_back(static_cast<uint8_t>(ch));
    } else {
        out.push_back(16);
        for (char16_t ch : text) {
            out.push_back(static_cast<uint8_t>(ch >> 8));
            out.push_back(static_cast<uint8_t>(ch & 0xFF));
        }
    }
    return out;
}

size_t CharsThatFit(const TUcs2 &text, size_t bytes)
{
    if (bytes < 1)
        return 0;
    size_t perChar = FitsIn8Bits(text) ? 1 : 2;
    return std::min(text.size(), (bytes - 1) / perChar);
}

std::vector<uint8_t> DString(const TUcs2 &text, size_t fieldSize)
{
    std::vector<uint8_t> field(fieldSize, 0);
    if (text.empty())
        return field;
    std::vector<uint8_t> packed = CompressedUnicode(text.substr(0, CharsThatFit(text, fieldSize - 1)));
    std::memcpy(field.data(), packed.data(), packed.size());
    field[fieldSize - 1] = static_cast<uint8_t>(packed.size());
    return field;
}

std::vector<uint8_t> OstaCharspec()
{
    std::vector<uint8_t> spec(64, 0);
    const char *info = "OSTA Compressed Unicode";
    std::memcpy(spec.data() + 1, info, std::strlen(info));
    return spec;
}

std::vector<uint8_t> DomainId()
{
    const uint8_t suffix[8] = {kUdfRevision & 0xFF, kUdfRevision >> 8, 0, 0, 0, 0, 0, 0};
    return EntityId("*OSTA UDF Compliant", suffix);
}

std::vector<uint8_t> UdfId(const char *identifier)
{
    const uint8_t suffix[8] = {kUdfRevision & 0xFF, kUdfRevision >> 8, kOsClass, kOsIdentifier, 0, 0, 0, 0};
    return EntityId(identifier, suffix);
}

std::vector<uint8_t> ImplementationId()
{
    const uint8_t suffix[8] = {kOsClass, kOsIdentifier, 0, 0, 0, 0, 0, 0};
    return EntityId("*Tavrel imgburn", suffix);
}

std::vector<uint8_t> PlainId(const char *identifier)
{
    const uint8_t suffix[8] = {};
    return EntityId(identifier, suffix);
}

std::vector<uint8_t> Timestamp(const struct timespec &when)
{
    struct tm local
    { };
    localtime_r(&when.tv_sec, &local);
    int offsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    TDescriptor ts(12);
    // Type 1 (local time) in the top four bits, the signed 12-bit offset below.
    ts.U16(0, static_cast<uint16_t>(0x1000 | (offsetMinutes & 0x0FFF)));
    ts.U16(2, static_cast<uint16_t>(local.tm_year + 1900));
    ts.U8(4, static_cast<uint8_t>(local.tm_mon + 1));
    ts.U8(5, static_cast<uint8_t>(local.tm_mday));
    ts.U8(6, static_cast<uint8_t>(local.tm_hour));
    ts.U8(7, static_cast<uint8_t>(local.tm_min));
    ts.U8(8, static_cast<uint8_t>(std::min(local.tm_sec, 59)));
    long micro = when.tv_nsec / 1000;
    ts.U8(9, static_cast<uint8_t>(micro / 10000));
    ts.U8(10, static_cast<uint8_t>((micro / 100) % 100));
    ts.U8(11, static_cast<uint8_t>(micro % 100));
    return ts.Data();
}

std::vector<uint8_t> ShortAd(uint32_t length, uint32_t block)
{
    TDescriptor ad(8);
    ad.U32(0, length);
    ad.U32(4, block);
    return ad.Data();
}

std::vector<uint8_t> LongAd(uint32_t length, uint32_t block, uint16_t partition, uint32_t uniqueId)
{
    TDescriptor ad(16);
    ad.U32(0, length);
    ad.U32(4, block);
    ad.U16(8, partition);
    ad.U32(12, uniqueId);  // implementation use: 2 bytes of flags, then the id
    return ad.Data();
}

}  // namespace udf
