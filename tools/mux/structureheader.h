// The start every AVCHD structure file shares: its type tag, its version
// and the 32-bit start addresses of its parts, in a 40-byte header. An
// address stays 0 (the part is absent) until PartStartsHere fills it in.
#pragma once

#include <string>

#include "media/bitwriter.h"

class TStructureHeader
{
public:
    TStructureHeader(TBitWriter &writer, const char *tag, const std::string &version) : FWriter(writer)
    {
        FWriter.PutBytes(tag);
        FWriter.PutBytes(version);
        FAddresses = FWriter.BytePos();
        FWriter.PutZeros(kHeaderSize - FAddresses);
    }

    // The part numbered `part` (from 0) starts at the writer's position.
    void PartStartsHere(int part) { FWriter.Patch(FAddresses + 4 * size_t(part), FWriter.BytePos(), 32); }

private:
    static constexpr size_t kHeaderSize = 40;

    TBitWriter &FWriter;
    size_t FAddresses;
};
