// The folder tree that goes on the disc: the source folders become
// top-level folders named as they are, with every file and folder below.
#pragma once

#include <cstdint>
#include <ctime>
#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

#include "udfprimitives.h"

namespace udf {

struct TUdfNode {
  TUcs2 name;               // name on the disc (empty for the root)
  std::string sourcePath;   // where the content comes from
  bool isDirectory = false;
  uint64_t size = 0;        // bytes of a file
  dev_t device = 0;         // which file it was when scanned, to notice
  ino_t inode = 0;          // one replaced before it is written
  struct timespec accessed {}, modified {}, changed {};
  std::vector<std::unique_ptr<TUdfNode>> children;  // sorted by name

  // Placement, filled in by the image layout.
  uint64_t uniqueId = 0;
  uint32_t entryBlock = 0;  // extended file entry, in the metadata partition
  uint32_t dataBlock = 0;   // folder: identifiers (metadata partition); file: content (physical)
  uint64_t dataLength = 0;  // folder: bytes of identifiers; file: size
};

struct TTreeCounts {
  uint32_t files = 0;
  uint32_t directories = 0;  // the root included
  uint64_t bytes = 0;        // content of all files
};

// Builds the root of the disc from the sources: each folder becomes a
// top-level folder under its own name, each file a top-level file.
// Returns false with a message naming the path at fault: a source that is
// missing or unreadable, a name UDF cannot hold, two sources with one name,
// an entry that is neither file nor folder.
bool ScanSources(const std::vector<std::string>& sources, TUdfNode& root, TTreeCounts& counts,
                 std::string& error);

}  // namespace udf
