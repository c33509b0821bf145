// Reads an H.264 Annex B byte stream file NAL unit by NAL unit, with large
// sequential reads and no copy: a NAL unit stays valid until the next call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/common/streamfile.h"

class TAnnexBReader
{
public:
    // Throws std::runtime_error naming the file when it cannot be read or
    // does not begin with a start code (a length-prefixed MP4-style stream).
    explicit TAnnexBReader(const std::string &path);

    // The next NAL unit without start code and trailing zero bytes. Throws
    // when a NAL unit runs over 32 MB, far beyond any legal one, holding
    // other bytes than zeros past that point.
    bool Next(const uint8_t *&data, size_t &size);
    // Zero bytes passed over where no start code followed for 32 MB (a
    // camera that lost power while filming leaves gigabytes of them).
    uint64_t ZerosSkipped() const { return FZerosSkipped; }

    uint64_t FileSize() const { return FFile.FileSize(); }
    uint64_t BytesRead() const { return FFile.BytesRead(); }

private:
    void DropTrailingZeros();

    TStreamFile FFile;
    uint64_t FZerosSkipped = 0;
};
