// Layout and streaming of a UDF 2.50 image.
#include "udfimage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "udfdescriptors.h"

namespace udf {

namespace {

constexpr uint32_t VrsStart = 16;
constexpr uint32_t MainVds = 32;
constexpr uint32_t VdsLength = 16;
constexpr uint32_t IntegrityStart = 64;
constexpr uint32_t IntegrityLength = 2;
constexpr uint32_t AnchorSector = 256;  // also the distance of the middle anchor from the last sector
constexpr uint32_t PartitionStart = 272;
// Blocks inside the physical partition.
constexpr uint32_t MetadataFileEntry = 0;
constexpr uint32_t MirrorFileEntry = 1;
constexpr uint32_t MetadataStart = 16;
// The metadata partition grows in allocation units; the mirror, the
// reserve sequence, stream files and the BACKUP copies start on alignment
// units (one 32 KB ECC block of a DVD), and the volume ends on one.
constexpr uint32_t MetadataUnit = 32;
constexpr uint32_t AlignmentUnit = 16;
static_assert(PartitionStart % AlignmentUnit == 0, "blocks and sectors share the ECC grid");
// Unique ids 1 to 15 are reserved; the root has 0.
constexpr uint64_t FirstUniqueId = 16;

uint64_t BlocksFor(uint64_t bytes) { return (bytes + BlockSize - 1) / BlockSize; }
uint32_t RoundUp(uint32_t value, uint32_t unit) { return (value + unit - 1) / unit * unit; }

void Put(std::vector<uint8_t>& area, uint64_t block, const std::vector<uint8_t>& descriptor) {
  std::memcpy(area.data() + block * BlockSize, descriptor.data(), descriptor.size());
}

size_t DirectoryBytes(const TUdfNode& node) {
  size_t bytes = FileIdentifierSize({});
  for (const auto& child : node.children) bytes += FileIdentifierSize(child->name);
  return bytes;
}

uint16_t LinkCount(const TUdfNode& node) {
  uint16_t links = 1;
  for (const auto& child : node.children)
    if (child->isDirectory) ++links;
  return links;
}

bool EndsWith(const TUcs2& name, const TUcs2& end) {
  if (name.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char16_t c = name[name.size() - end.size() + i];
    if ((c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c) != end[i]) return false;
  }
  return true;
}

// Audio-visual streams are recorded as real-time files, each on its own
// ECC blocks so that a player reads no block of another file with them.
bool IsStreamFile(const TUdfNode& node) { return !node.isDirectory && EndsWith(node.name, u".m2ts"); }

// Files with content in tree order: the originals, and apart the copies
// below a BACKUP folder, so that a damaged ECC block never holds both.
void CollectFiles(TUdfNode& node, bool inBackup, std::vector<TUdfNode*>& originals,
                  std::vector<TUdfNode*>& backups) {
  if (!node.isDirectory) {
    if (node.size) (inBackup ? backups : originals).push_back(&node);
    return;
  }
  for (auto& child : node.children)
    CollectFiles(*child, inBackup || (child->isDirectory && child->name == u"BACKUP"), originals, backups);
}

const TUdfNode* LargestFile(const TUdfNode& node) {
  const TUdfNode* largest = node.isDirectory ? nullptr : &node;
  for (const auto& child : node.children) {
    const TUdfNode* candidate = LargestFile(*child);
    if (candidate && (!largest || candidate->size > largest->size)) largest = candidate;
  }
  return largest;
}

}  // namespace

bool TUdfImage::Build(const std::vector<std::string>& sources, const TUcs2& label,
                      std::string& error) {
  if (!ScanSources(sources, root_, counts_, error)) return false;
  // Block numbers are 32-bit; keep well clear of the limit.
  if (BlocksFor(counts_.bytes) + 2 * counts_.files + 2 * counts_.directories > 0xF0000000u) {
    error = "The sources are too large for one UDF volume.";
    return false;
  }
  if (const TUdfNode* big = LargestFile(root_); big && big->size > MaxFileSize()) {
    error = "\"" + big->sourcePath + "\" is too large: a file can hold at most " + std::to_string(MaxFileSize()) +
            " bytes here.";
    return false;
  }
  Place(label);
  return true;
}

uint32_t TUdfImage::PlaceMetadata(TUdfNode& node, uint32_t next, uint64_t& uniqueId) {
  node.entryBlock = next++;
  if (!node.isDirectory) return next;
  node.dataLength = DirectoryBytes(node);
  node.dataBlock = next;
  next += static_cast<uint32_t>(BlocksFor(node.dataLength));
  for (auto& child : node.children) {
    child->uniqueId = uniqueId++;
    next = PlaceMetadata(*child, next, uniqueId);
  }
  return next;
}

uint32_t TUdfImage::PlaceContents(const std::vector<TUdfNode*>& files, uint32_t next) {
  for (TUdfNode* file : files) {
    if (IsStreamFile(*file)) next = RoundUp(next, AlignmentUnit);
    file->dataLength = file->size;
    file->dataBlock = next;
    next += static_cast<uint32_t>(BlocksFor(file->size));
    pieces_.push_back({PartitionStart + file->dataBlock, BlocksFor(file->size) * BlockSize, nullptr, file});
  }
  return next;
}

void TUdfImage::Place(const TUcs2& label) {
  // Metadata partition: file set descriptor, its terminator, then each
  // entry followed by the identifiers of a folder.
  uint64_t uniqueId = FirstUniqueId;
  root_.uniqueId = 0;
  uint32_t metadataUsed = PlaceMetadata(root_, 2, uniqueId);
  nextUniqueId_ = uniqueId;
  metadataBlocks_ = RoundUp(metadataUsed, MetadataUnit);
  metadata_.assign(uint64_t(metadataBlocks_) * BlockSize, 0);

  // The physical partition: metadata, the files, the BACKUP copies, and the
  // metadata mirror at its end, far from the metadata it stands in for.
  // After it come the reserve volume descriptor sequence and the anchors
  // 256 sectors before the end and on the last sector.
  pieces_.clear();
  head_.assign(uint64_t(PartitionStart + MetadataStart) * BlockSize, 0);
  pieces_.push_back({0, head_.size(), &head_, nullptr});
  pieces_.push_back({PartitionStart + MetadataStart, metadata_.size(), &metadata_, nullptr});
  std::vector<TUdfNode*> originals, backups;
  CollectFiles(root_, false, originals, backups);
  uint32_t next = PlaceContents(originals, MetadataStart + metadataBlocks_);
  next = PlaceContents(backups, RoundUp(next, AlignmentUnit));
  mirrorStart_ = RoundUp(next, AlignmentUnit);
  partitionLength_ = mirrorStart_ + metadataBlocks_;
  pieces_.push_back({PartitionStart + mirrorStart_, metadata_.size(), &metadata_, nullptr});

  reserveVds_ = PartitionStart + partitionLength_;  // on the ECC grid: both terms are
  sectors_ = RoundUp(reserveVds_ + VdsLength + AnchorSector + 1, AlignmentUnit);
  reserve_.assign(uint64_t(VdsLength) * BlockSize, 0);
  pieces_.push_back({reserveVds_, reserve_.size(), &reserve_, nullptr});
  for (auto [anchor, sector] : {std::pair{&middleAnchor_, sectors_ - 1 - AnchorSector},
                                std::pair{&lastAnchor_, sectors_ - 1}}) {
    *anchor = AnchorPointer(sector, MainVds, reserveVds_, VdsLength);
    anchor->resize(BlockSize, 0);
    pieces_.push_back({sector, anchor->size(), anchor, nullptr});
  }

  WriteMetadata(root_, root_);  // the root is its own parent
  WriteHead(label);
}

void TUdfImage::WriteMetadata(const TUdfNode& node, const TUdfNode& parent) {
  TFileEntry entry;
  entry.location = node.entryBlock;
  entry.uniqueId = node.uniqueId;
  entry.length = node.dataLength;
  entry.blocksRecorded = BlocksFor(node.dataLength);
  entry.accessed = node.accessed;
  entry.modified = node.modified;
  entry.created = node.modified;
  entry.attributes = node.changed;
  if (node.isDirectory) {
    entry.type = FileTypeDirectory;
    entry.linkCount = LinkCount(node);
    entry.ads = ContiguousAds(node.dataLength, node.dataBlock, false, MetadataPartition);
  } else {
    entry.type = IsStreamFile(node) ? FileTypeRealTime : FileTypeRegular;
    entry.longAds = true;
    entry.ads = ContiguousAds(node.dataLength, node.dataBlock, true, PhysicalPartition);
  }
  Put(metadata_, node.entryBlock, ExtendedFileEntry(entry));
  if (!node.isDirectory) return;

  // The identifiers follow one another across block boundaries; each is
  // tagged with the block where it starts.
  uint64_t offset = uint64_t(node.dataBlock) * BlockSize;
  auto append = [&](uint8_t flags, const TUcs2& name, const TUdfNode& target) {
    auto location = static_cast<uint32_t>(offset / BlockSize);
    std::vector<uint8_t> fid = FileIdentifier(location, flags, name, target.entryBlock, target.uniqueId);
    std::memcpy(metadata_.data() + offset, fid.data(), fid.size());
    offset += fid.size();
  };
  append(FidDirectory | FidParent, {}, parent);
  for (const auto& child : node.children)
    append(child->isDirectory ? FidDirectory : 0, child->name, *child);
  for (const auto& child : node.children) WriteMetadata(*child, node);
}

void TUdfImage::WriteHead(const TUcs2& label) {
  TVolumeIds ids;
  ids.label = label;
  clock_gettime(CLOCK_REALTIME, &ids.recorded);
  char unique[17];
  std::snprintf(unique, sizeof unique, "%08lX%08lX", static_cast<unsigned long>(ids.recorded.tv_sec) & 0xFFFFFFFFul,
                static_cast<unsigned long>(ids.recorded.tv_nsec) & 0xFFFFFFFFul);
  for (const char* c = unique; *c; ++c) ids.volumeSetId.push_back(static_cast<char16_t>(*c));
  ids.volumeSetId += label;

  TPartitionPlace place;
  place.start = PartitionStart;
  place.length = partitionLength_;
  place.metadataFile = MetadataFileEntry;
  place.mirrorFile = MirrorFileEntry;
  place.metadataSize = metadataBlocks_;

  Put(head_, VrsStart, VolumeStructure("BEA01"));
  Put(head_, VrsStart + 1, VolumeStructure("NSR03"));
  Put(head_, VrsStart + 2, VolumeStructure("TEA01"));
  // The same sequence twice, each descriptor tagged with its own sector.
  for (auto [area, vds] : {std::pair{&head_, MainVds}, std::pair{&reserve_, reserveVds_}}) {
    uint32_t at = area == &head_ ? vds : 0;  // block of the sequence in its buffer
    Put(*area, at, PrimaryVolume(vds, 1, ids));
    Put(*area, at + 1, ImplementationUseVolume(vds + 1, 2, ids));
    Put(*area, at + 2, Partition(vds + 2, 3, place));
    Put(*area, at + 3, LogicalVolume(vds + 3, 4, ids, place, IntegrityStart, IntegrityLength));
    Put(*area, at + 4, UnallocatedSpace(vds + 4, 5));
    Put(*area, at + 5, Terminating(vds + 5));
  }
  TIntegrity integrity{nextUniqueId_, counts_.files, counts_.directories};
  Put(head_, IntegrityStart, LogicalVolumeIntegrity(IntegrityStart, ids, place, integrity));
  Put(head_, IntegrityStart + 1, Terminating(IntegrityStart + 1));
  Put(head_, AnchorSector, AnchorPointer(AnchorSector, MainVds, reserveVds_, VdsLength));

  Put(metadata_, 0, FileSet(ids, root_.entryBlock));
  Put(metadata_, 1, Terminating(1));

  // The metadata file and its mirror: one extent each, in the physical
  // partition, holding the same bytes.
  for (auto [block, type, start] : {std::tuple{MetadataFileEntry, FileTypeMetadata, MetadataStart},
                                    std::tuple{MirrorFileEntry, FileTypeMetadataMirror, mirrorStart_}}) {
    TFileEntry entry;
    entry.location = block;
    entry.type = type;
    entry.linkCount = 1;
    entry.length = metadata_.size();
    entry.blocksRecorded = metadataBlocks_;
    entry.accessed = entry.modified = entry.created = entry.attributes = ids.recorded;
    entry.ads = ContiguousAds(metadata_.size(), start, false, PhysicalPartition);
    Put(head_, PartitionStart + block, ExtendedFileEntry(entry));
  }
}

TUdfImageReader::~TUdfImageReader() {
  if (fd_ >= 0) close(fd_);
}

// The image describes each file as it was scanned: a file replaced since,
// or whose size changed, would be written cut or with its old length.
bool TUdfImageReader::StillAsScanned(const TUdfNode& file) {
  struct stat now {};
  if (fstat(fd_, &now) != 0) {
    error_ = "Cannot read \"" + file.sourcePath + "\": " + std::strerror(errno) + ".";
    return false;
  }
  if (now.st_dev != file.device || now.st_ino != file.inode) {
    error_ = "\"" + file.sourcePath + "\" was replaced while the image was written.";
    return false;
  }
  if (static_cast<uint64_t>(now.st_size) != file.size) {
    error_ = "\"" + file.sourcePath + "\" became " +
             (static_cast<uint64_t>(now.st_size) < file.size ? "shorter" : "longer") +
             " while the image was written (" + std::to_string(file.size) + " bytes when the sources were read, " +
             std::to_string(now.st_size) + " now).";
    return false;
  }
  return true;
}

ssize_t TUdfImageReader::ReadFile(const TUdfImage::TPiece& piece, uint64_t offset, uint8_t* buffer,
                                  size_t size) {
  const TUdfNode& file = *piece.file;
  if (offset >= file.size) {
    std::memset(buffer, 0, size);  // the end of the last block
    return static_cast<ssize_t>(size);
  }
  if (fd_ < 0) {
    fd_ = open(file.sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      error_ = "Cannot open \"" + file.sourcePath + "\": " + std::strerror(errno) + ".";
      return -1;
    }
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!StillAsScanned(file)) return -1;
  }
  size_t want = static_cast<size_t>(std::min<uint64_t>(size, file.size - offset));
  // Holes of a sparse source are zeros: filling them here saves reading
  // them page by page.
  off_t data = lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
  struct stat now {};
  bool noMoreData = data < 0 && errno == ENXIO;
  if (noMoreData && (fstat(fd_, &now) != 0 || static_cast<uint64_t>(now.st_size) < file.size)) {
    error_ = "\"" + file.sourcePath + "\" became shorter while the image was written.";
    return -1;
  }
  if (noMoreData || (data >= 0 && static_cast<uint64_t>(data) > offset)) {
    size_t zeros = data < 0 ? want : static_cast<size_t>(std::min<uint64_t>(want, data - offset));
    std::memset(buffer, 0, zeros);
    return static_cast<ssize_t>(zeros);
  }
  ssize_t got = pread(fd_, buffer, want, static_cast<off_t>(offset));
  if (got < 0 && errno == EINTR) return 0;
  if (got <= 0) {
    error_ = got < 0 ? "Cannot read \"" + file.sourcePath + "\": " + std::strerror(errno) + "."
                     : "\"" + file.sourcePath + "\" became shorter while the image was written.";
    return -1;
  }
  return got;
}

ssize_t TUdfImageReader::Read(uint8_t* buffer, size_t size) {
  const auto& pieces = image_.Pieces();
  size_t done = 0;
  while (done < size && position_ < image_.Size()) {
    size_t room = size - done;
    uint64_t pieceStart = piece_ < pieces.size() ? pieces[piece_].sector * BlockSize : image_.Size();
    if (position_ < pieceStart) {
      auto zeros = static_cast<size_t>(std::min<uint64_t>(room, pieceStart - position_));
      std::memset(buffer + done, 0, zeros);
      done += zeros;
      position_ += zeros;
      continue;
    }
    const TUdfImage::TPiece& piece = pieces[piece_];
    uint64_t offset = position_ - pieceStart;
    auto chunk = static_cast<size_t>(std::min<uint64_t>(room, piece.length - offset));
    ssize_t got = chunk;
    if (piece.bytes)
      std::memcpy(buffer + done, piece.bytes->data() + offset, chunk);
    else
      got = ReadFile(piece, offset, buffer + done, chunk);
    if (got < 0) return -1;
    done += static_cast<size_t>(got);
    position_ += static_cast<uint64_t>(got);
    if (position_ == pieceStart + piece.length) {
      if (fd_ >= 0 && !StillAsScanned(*piece.file)) return -1;
      if (fd_ >= 0) close(fd_);
      fd_ = -1;
      ++piece_;
    }
  }
  return static_cast<ssize_t>(done);
}

}  // namespace udf
