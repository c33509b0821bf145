// The folder tree that goes on the disc: the source folders become
// top-level folders named as they are, with every file and folder below.
#pragma once

#include <cstdint>
#include <ctime>
#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

#include "tools/burn/udfprimitives.h"

namespace udf {

struct TUdfNode
{
    TUcs2 Name;  // name on the disc (empty for the root)
    std::string SourcePath;  // where the content comes from
    bool IsDirectory = false;
    uint64_t Size = 0;  // bytes of a file
    dev_t Device = 0;  // which file it was when scanned, to notice
    ino_t Inode = 0;  // one replaced before it is written
    struct timespec Accessed
    {
    }, Modified {}, Changed {};
    std::vector<std::unique_ptr<TUdfNode>> Children;  // sorted by name

    // Placement, filled in by the image layout.
    uint64_t UniqueId = 0;
    uint32_t EntryBlock = 0;  // extended file entry, in the metadata partition
    uint32_t DataBlock = 0;  // folder: identifiers (metadata partition); file: content (physical)
    uint64_t DataLength = 0;  // folder: bytes of identifiers; file: size
};

struct TTreeCounts
{
    uint32_t Files = 0;
    uint32_t Directories = 0;  // the root included
    uint64_t Bytes = 0;  // content of all files
};

// Builds the root of the disc from the sources: each folder becomes a
// top-level folder under its own name, each file a top-level file.
// Returns false with a message naming the path at fault: a source that is
// missing or unreadable, a name UDF cannot hold, two sources with one name,
// an entry that is neither file nor folder.
bool ScanSources(const std::vector<std::string> &sources, TUdfNode &root, TTreeCounts &counts,
                 std::string &error);

}  // namespace udf
