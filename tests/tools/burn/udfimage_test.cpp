// Images written by the burner, judged by readers we did not write:
// libudfread (the reader of libbluray) for the tree and every byte,
// udfinfo for the revision and label, 7-Zip for the listing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "tools/burn/udfimage.h"
#include "tests/tools/burn/burntesthelpers.h"

namespace {

using namespace burntest;

// One disc folder with what a real one holds and the cases that matter to
// the layout: nested folders, an empty folder, empty files, files on and
// across block boundaries, a folder whose identifiers span many blocks,
// names needing 8-bit and 16-bit compressed unicode.
class UdfImageTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TTempDir;
        std::string disc = *dir_ / "disc";
        MakeFile(disc + "/BDMV/index.bdmv", 120, 1);
        MakeFile(disc + "/BDMV/MovieObject.bdmv", 2048, 2);
        MakeFile(disc + "/BDMV/PLAYLIST/00000.mpls", 2049, 3);
        MakeFile(disc + "/BDMV/STREAM/00000.m2ts", 3 * 1024 * 1024 + 192, 4);
        MakeFile(disc + "/BDMV/BACKUP/PLAYLIST/00000.mpls", 2049, 3);
        MakeFile(disc + "/BDMV/a/b/c/d/e/deep.txt", 10, 5);
        MakeFile(disc + "/BDMV/empty.bin", 0, 0);
        std::filesystem::create_directories(disc + "/BDMV/AUXDATA");
        MakeFile(disc + "/BDMV/déjà vu.txt", 33, 6);
        MakeFile(disc + "/BDMV/日本語のファイル.txt", 44, 7);
        for (int i = 0; i < 300; ++i)
            MakeFile(disc + "/BDMV/MANY/file " + std::to_string(i) + ".dat", i, 100 + i);
        MakeFile(disc + "/CERTIFICATE/id.bdmv", 0, 0);
        MakeFile(disc + "/CERTIFICATE/BACKUP/id.bdmv", 0, 0);
        sources_ = {disc + "/BDMV", disc + "/CERTIFICATE"};
        image_ = *dir_ / "disc.img";
        run_ = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                           sources_[0] + "|" + sources_[1], "/FILESYSTEM", "UDF", "/UDFREVISION", "2.50",
                           "/VERIFY", "YES", "/VOLUMELABEL", "Projet - Disque 1", "/DEST", image_});
    }
    static void TearDownTestSuite() { delete dir_; }

    void SetUp() override { ASSERT_EQ(run_.exitCode, 0) << run_.out << run_.err; }

    static TTempDir *dir_;
    static std::vector<std::string> sources_;
    static std::string image_;
    static TRun run_;
};

TTempDir *UdfImageTest::dir_ = nullptr;
std::vector<std::string> UdfImageTest::sources_;
std::string UdfImageTest::image_;
TRun UdfImageTest::run_;

TEST_F(UdfImageTest, LibudfreadListsTheWholeTree)
{
    std::string error;
    TListing image = ListImage(image_, error);
    ASSERT_TRUE(error.empty()) << error;
    TListing expected = ListSources(sources_);
    EXPECT_EQ(expected.size(), 325u);
    EXPECT_EQ(image, expected);
}

TEST_F(UdfImageTest, LibudfreadReadsEveryFileAsItsSource)
{
    EXPECT_EQ(CompareImageFiles(image_, ListSources(sources_), sources_), "");
}

TEST_F(UdfImageTest, LibudfreadReportsTheLabel)
{
    EXPECT_EQ(ImageVolumeId(image_), "Projet - Disque 1");
}

TEST_F(UdfImageTest, UdfinfoReportsRevisionLabelAndCounts)
{
    TRun info = RunProgram({"udfinfo", image_});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\nudfrev=2.50\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nlabel=Projet - Disque 1\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nnumfiles=311\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nnumdirs=15\n"), std::string::npos) << info.out;  // the root too
    EXPECT_NE(info.out.find("\nintegrity=closed\n"), std::string::npos) << info.out;
}

TEST_F(UdfImageTest, SevenZipListsEveryEntryWithoutComplaint)
{
    TRun list = RunProgram({"7z", "l", "-slt", image_});
    ASSERT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_EQ(list.out.find("ERRORS"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("WARNINGS"), std::string::npos) << list.out;
    TListing seen;
    std::istringstream lines(list.out);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("Path = ", 0) == 0 && line != "Path = " + image_)
            seen[line.substr(7)] = 0;
    TListing expected = ListSources(sources_);
    for (auto &[path, size] : expected)
        size = 0;
    EXPECT_EQ(seen, expected);
}

uint32_t Le32(const std::string &bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8
           | static_cast<uint8_t>(bytes[at + 2]) << 16
           | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

// Where the physical partition starts and the sector of the metadata
// file's entry, found the way a reader finds them: anchor, partition
// descriptor, metadata map.
std::pair<uint32_t, uint32_t> MetadataFileEntry(const std::string &image)
{
    const size_t sector = 2048;
    uint32_t vds = Le32(image, 256 * sector + 20);
    uint32_t partitionStart = 0, metadataFile = 0;
    for (uint32_t s = vds; s < vds + 16; ++s) {
        uint32_t tag = static_cast<uint8_t>(image[s * sector]);
        if (tag == 5)
            partitionStart = Le32(image, s * sector + 188);
        if (tag == 6)
            metadataFile = Le32(image, s * sector + 440 + 6 + 40);
    }
    return {partitionStart, partitionStart + metadataFile};
}

// Sector and length of the metadata partition, read from the metadata
// file's entry.
std::pair<uint32_t, uint32_t> MetadataExtent(const std::string &image)
{
    const size_t sector = 2048;
    auto [partitionStart, entrySector] = MetadataFileEntry(image);
    size_t entry = size_t(entrySector) * sector;
    return {partitionStart + Le32(image, entry + 216 + 4), Le32(image, entry + 216) / sector};
}

// A copy of the image with `count` sectors from `first` destroyed still
// lists and reads every file as its source.
void ExpectEveryFileReadWithSectorsDestroyed(const std::string &image, uint32_t first, uint32_t count,
                                             const std::string &copy, const std::vector<std::string> &sources)
{
    std::string bytes = ReadWhole(image);
    std::fill(bytes.begin() + first * 2048, bytes.begin() + (first + count) * 2048, '\x5A');
    std::ofstream(copy, std::ios::binary) << bytes;
    std::string error;
    TListing listing = ListImage(copy, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(listing, ListSources(sources));
    EXPECT_EQ(CompareImageFiles(copy, listing, sources), "");
}

TEST_F(UdfImageTest, MirrorStandsInForDamagedMetadata)
{
    auto [start, blocks] = MetadataExtent(ReadWhole(image_));
    ASSERT_GT(blocks, 4u);
    // The file set descriptor, its terminator, the root's entry and
    // identifiers: a reader finds bad tags and turns to the mirror.
    ExpectEveryFileReadWithSectorsDestroyed(image_, start, 4, *dir_ / "damaged.img", sources_);
}

// The first ECC block of the partition, which holds the metadata file's
// entry, unreadable: the mirror's entry, kept at the other end of the
// volume, leads readers to the mirror.
TEST_F(UdfImageTest, MirrorEntrySurvivesTheLossOfTheFirstPartitionBlock)
{
    const uint32_t eccBlock = MetadataFileEntry(ReadWhole(image_)).second / 16 * 16;
    ASSERT_GT(eccBlock, 256u);
    ExpectEveryFileReadWithSectorsDestroyed(image_, eccBlock, 16, *dir_ / "first-block-lost.img", sources_);
}

// What a mounted disc shows a user who is not root: every file readable,
// every folder readable and searchable, nothing writable; and folder link
// counts as a directory walk expects them (one plus the subfolders), read
// from the file entries themselves, since libudfread ignores both.
TEST_F(UdfImageTest, EntriesAreReadableByAllWithUnixLinkCounts)
{
    // Permission bits of a file entry: other in bits 0-4, group 5-9, owner 10-14.
    constexpr uint32_t kExecute = 1, kWrite = 2, kRead = 4, kAttributes = 8, kDelete = 16;
    auto forAll = [](uint32_t bits) { return bits | bits << 5 | bits << 10; };
    const std::string bytes = ReadWhole(image_);
    auto [metadata, blocks] = MetadataExtent(bytes);
    std::map<uint64_t, uint16_t> folderLinks;  // keyed by unique id
    size_t files = 0;
    for (uint32_t b = 0; b < blocks; ++b) {
        size_t at = (size_t(metadata) + b) * 2048;
        if ((static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8) != 266)
            continue;
        const uint8_t type = static_cast<uint8_t>(bytes[at + 27]);
        const uint32_t permissions = Le32(bytes, at + 44);
        const uint16_t links = static_cast<uint16_t>(static_cast<uint8_t>(bytes[at + 48])
                                                     | static_cast<uint8_t>(bytes[at + 49]) << 8);
        const uint64_t uniqueId = Le32(bytes, at + 200) | uint64_t(Le32(bytes, at + 204)) << 32;
        EXPECT_EQ(permissions & forAll(kRead), forAll(kRead)) << "block " << b;
        EXPECT_EQ(permissions & forAll(kWrite | kAttributes | kDelete), 0u) << "block " << b;
        if (type == 4) {
            EXPECT_EQ(permissions & forAll(kExecute), forAll(kExecute)) << "block " << b;
            folderLinks[uniqueId] = links;
        } else {
            EXPECT_EQ(links, 1) << "block " << b;
            ++files;
        }
    }
    // The same counts worked out from the source folders, the disc root
    // holding the source folders themselves.
    const TListing listing = ListSources(sources_);
    std::map<std::string, uint16_t> expected {{"", 1}};
    for (const auto &[path, size] : listing)
        if (size < 0)
            expected[path] = 1;
    for (const auto &[path, size] : listing) {
        if (size >= 0)
            continue;
        size_t slash = path.rfind('/');
        ++expected[slash == std::string::npos ? "" : path.substr(0, slash)];
    }
    std::multiset<uint16_t> expectedLinks, imageLinks;
    for (const auto &[path, links] : expected)
        expectedLinks.insert(links);
    for (const auto &[id, links] : folderLinks)
        imageLinks.insert(links);
    EXPECT_EQ(imageLinks, expectedLinks);
    EXPECT_EQ(files, listing.size() + 1 - expected.size());
}

// The layout players and the UDF verifier look for, read back from the
// image of a disc folder like the muxer's: anchors, reserve sequence and
// mirror far from what they stand in for, stream files as real-time files
// on ECC blocks of their own, BACKUP copies in other ECC blocks than their
// originals.
TEST(UdfLayoutTest, PlayersFindTheStructuresWhereTheyLook)
{
    TTempDir dir;
    const std::string disc = dir / "disc";
    for (const char *name : {"index.bdmv", "MovieObject.bdmv", "PLAYLIST/00000.mpls", "CLIPINF/00000.clpi"}) {
        MakeFile(disc + "/BDMV/" + name, 300, 1);
        MakeFile(disc + "/BDMV/BACKUP/" + name, 300, 1);
    }
    MakeFile(disc + "/BDMV/STREAM/00000.m2ts", 6 * 1024 * 1024 + 6144, 2);
    MakeFile(disc + "/BDMV/STREAM/00001.M2TS", 5 * 6144, 3);
    MakeFile(disc + "/CERTIFICATE/id.bdmv", 100, 4);
    MakeFile(disc + "/CERTIFICATE/BACKUP/id.bdmv", 100, 4);
    const std::vector<std::string> sources = {disc + "/BDMV", disc + "/CERTIFICATE"};
    const std::string image = dir / "disc.img";
    TRun run = RunProgram({ImgBurnPath(), "/MODE", "BUILD", "/BUILDOUTPUTMODE", "IMAGEFILE", "/SRC",
                           sources[0] + "|" + sources[1], "/FILESYSTEM", "UDF", "/UDFREVISION", "2.50",
                           "/VOLUMELABEL", "Layout", "/DEST", image});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string bytes = ReadWhole(image);
    const size_t sector = 2048;
    ASSERT_EQ(bytes.size() % (16 * sector), 0u);
    const uint32_t last = static_cast<uint32_t>(bytes.size() / sector) - 1;
    auto tag = [&](uint32_t s) {
        return static_cast<uint8_t>(bytes[s * sector]) | static_cast<uint8_t>(bytes[s * sector + 1]) << 8;
    };

    // Three anchors, each naming its own sector and the same two sequences.
    std::vector<uint32_t> reserves;
    for (uint32_t anchor : {256u, last - 256, last}) {
        ASSERT_EQ(tag(anchor), 2) << anchor;
        EXPECT_EQ(Le32(bytes, anchor * sector + 12), anchor);
        EXPECT_EQ(Le32(bytes, anchor * sector + 20), 32u);
        reserves.push_back(Le32(bytes, anchor * sector + 28));
    }
    EXPECT_EQ(reserves[0], reserves[1]);
    EXPECT_EQ(reserves[0], reserves[2]);
    const uint32_t lastTenth = last - last / 10;
    const uint32_t reserve = reserves[0];
    EXPECT_GE(reserve, lastTenth);
    EXPECT_LT(reserve + 16, last - 256);
    for (uint32_t s = 0; s < 6; ++s)  // the same descriptors as the main sequence
        EXPECT_EQ(tag(reserve + s), tag(32 + s)) << s;

    // The mirror file's extent, through the logical volume's metadata map.
    uint32_t partitionStart = 0, mirrorFile = 0;
    for (uint32_t s = reserve; s < reserve + 16; ++s) {
        if (tag(s) == 5)
            partitionStart = Le32(bytes, s * sector + 188);
        if (tag(s) == 6)
            mirrorFile = Le32(bytes, s * sector + 440 + 6 + 44);
    }
    ASSERT_GT(partitionStart, 0u);
    // The mirror's file entry and its data, both at the end of the partition.
    const uint32_t mirrorEntrySector = partitionStart + mirrorFile;
    const size_t mirrorEntry = size_t(mirrorEntrySector) * sector;
    ASSERT_EQ(tag(mirrorEntrySector), 266);
    ASSERT_EQ(static_cast<uint8_t>(bytes[mirrorEntry + 27]), 251);  // metadata mirror file
    EXPECT_GE(mirrorEntrySector, lastTenth);
    EXPECT_LT(mirrorEntrySector, reserve);
    const uint32_t mirror = partitionStart + Le32(bytes, mirrorEntry + 216 + 4);
    EXPECT_GE(mirror, lastTenth);
    EXPECT_LT(mirror, reserve);
    auto [metadata, metadataBlocks] = MetadataExtent(bytes);
    EXPECT_EQ(bytes.compare(mirror * sector, metadataBlocks * sector, bytes, metadata * sector,
                            metadataBlocks * sector),
              0);

    // File types of the file entries, keyed by the sector their content starts on.
    std::map<uint32_t, int> types;
    for (uint32_t b = 0; b < metadataBlocks; ++b) {
        size_t at = (size_t(metadata) + b) * sector;
        if (tag(metadata + b) != 266)
            continue;
        uint32_t extendedAttributes = Le32(bytes, at + 208);
        types[partitionStart + Le32(bytes, at + 216 + extendedAttributes + 4)] =
            static_cast<uint8_t>(bytes[at + 27]);
    }
    std::map<std::string, uint32_t> starts = ImageFileStarts(image, ListSources(sources));
    ASSERT_EQ(starts.size(), 12u);
    for (const auto &[path, start] : starts) {
        bool stream = path.find("STREAM/") != std::string::npos;
        EXPECT_EQ(types[start], stream ? 249 : 5) << path;
        if (stream) {
            EXPECT_EQ(start % 16, 0u) << path;
        }
        size_t backup = path.find("BACKUP/");
        if (backup != std::string::npos) {
            std::string original = path.substr(0, backup) + path.substr(backup + 7);
            ASSERT_EQ(starts.count(original), 1u) << original;
            EXPECT_NE(start / 16, starts[original] / 16) << path;
        }
    }
    EXPECT_EQ(CompareImageFiles(image, ListSources(sources), sources), "");
    TRun list = RunProgram({"7z", "l", image});
    EXPECT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_EQ(list.out.find("WARNINGS"), std::string::npos) << list.out;
}

TEST_F(UdfImageTest, OutputTellsWhatWasBuilt)
{
    EXPECT_NE(run_.out.find("311 files, 14 folders"), std::string::npos) << run_.out;
    EXPECT_NE(run_.out.find("Verifying: 100%"), std::string::npos) << run_.out;
    // The image was written unnamed and only then named: no hidden file stays.
    for (const auto &entry : std::filesystem::directory_iterator(dir_->Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

}  // namespace

namespace {

std::string ReadImage(const udf::TUdfImage &image, size_t chunk, std::string &error)
{
    udf::TUdfImageReader reader(image);
    std::string bytes;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        ssize_t got = reader.Read(buffer.data(), chunk);
        if (got < 0)
            error = reader.Error();
        if (got <= 0)
            return bytes;
        bytes.append(reinterpret_cast<const char *>(buffer.data()), static_cast<size_t>(got));
    }
}

// libburn asks for pieces of whatever size its buffer has room for; the
// image must come out the same however it is cut.
TEST(UdfImageReaderTest, SameBytesWhateverThePieceSize)
{
    TTempDir dir;
    MakeFile(dir / "BDMV/a.bin", 70001, 1);
    MakeFile(dir / "BDMV/b/c.bin", 4096, 2);
    udf::TUdfImage image;
    std::string error;
    ASSERT_TRUE(image.Build({dir / "BDMV"}, u"Label", error)) << error;
    EXPECT_EQ(image.Sectors() % 16, 0u);
    std::string whole = ReadImage(image, 4 << 20, error);
    EXPECT_EQ(whole.size(), image.Size());
    EXPECT_EQ(ReadImage(image, 777, error), whole);
    EXPECT_EQ(ReadImage(image, 2048, error), whole);
    EXPECT_TRUE(error.empty()) << error;
}

// The image describes each file as scanned: a file that grew (a clip still
// being copied) or was replaced before it is written is an error naming
// it, not an image with its old length.
TEST(UdfImageReaderTest, SourceThatGrewOrWasReplacedIsAnError)
{
    struct
    {
        const char *Change;
        const char *Message;
    } cases[] = {{"grow", "a.bin\" became longer while the image was written (100000 bytes"},
                 {"replace", "a.bin\" was replaced while the image was written"}};
    for (const auto &c : cases) {
        TTempDir dir;
        MakeFile(dir / "BDMV/a.bin", 100000, 1);
        udf::TUdfImage image;
        std::string error;
        ASSERT_TRUE(image.Build({dir / "BDMV"}, u"Label", error)) << error;
        if (std::string(c.Change) == "grow") {
            std::ofstream(dir / "BDMV/a.bin", std::ios::app) << "more";
        } else {
            MakeFile(dir / "new.bin", 100000, 2);
            ASSERT_EQ(rename((dir / "new.bin").c_str(), (dir / "BDMV/a.bin").c_str()), 0);
        }
        ReadImage(image, 1 << 20, error);
        EXPECT_NE(error.find(c.Message), std::string::npos) << c.Change << ": " << error;
    }
}

TEST(UdfImageReaderTest, SourceThatShrankIsAnError)
{
    TTempDir dir;
    MakeFile(dir / "BDMV/a.bin", 100000, 1);
    udf::TUdfImage image;
    std::string error;
    ASSERT_TRUE(image.Build({dir / "BDMV"}, u"Label", error)) << error;
    ASSERT_EQ(truncate((dir / "BDMV/a.bin").c_str(), 10), 0);
    ReadImage(image, 1 << 20, error);
    EXPECT_NE(error.find("a.bin\" became shorter"), std::string::npos) << error;
}

}  // namespace
