// The blocks a drag of files offers, byte for byte.
#include "src/clips/dropblocks.h"

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes.append(char(v));
    return bytes;
}

const QByteArray Header = Bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});

TEST(DropBlocks, DropFilesOfTwoNonAsciiPaths)
{
    // "/é" and "/日本": 20 + (2*2+2) + (2*3+2) + 2 = 36 bytes.
    const QByteArray block = DropFilesBlock({QStringLiteral("/é"), QStringLiteral("/日本")});
    EXPECT_EQ(block.size(), 36);
    EXPECT_EQ(block, Header + Bytes({0x2F, 0, 0xE9, 0, 0, 0, 0x2F, 0, 0xE5, 0x65, 0x2C, 0x67, 0, 0, 0, 0}));
}

TEST(DropBlocks, DropFilesSizeCountsUtf16Units)
{
    struct Case
    {
        QStringList files;
        int size;
    };
    const Case cases[] = {
        {{}, 22},
        {{QStringLiteral("/data/été.m2ts")}, 20 + 2 * 14 + 2 + 2},
        // A character outside the basic plane takes two UTF-16 units.
        {{QStringLiteral("/𝄞"), QStringLiteral("/vidéos/00001.m2ts")}, 20 + (2 * 3 + 2) + (2 * 18 + 2) + 2},
    };
    for (const Case &c : cases) {
        const QByteArray block = DropFilesBlock(c.files);
        EXPECT_EQ(block.size(), c.size) << c.files.join(u'|').toStdString();
        EXPECT_EQ(block.left(20), Header);
        EXPECT_TRUE(block.endsWith(QByteArray(4, '\0')));
    }
}

TEST(DropBlocks, NameMaps)
{
    const QStringList names {QStringLiteral("été.m2ts"), QStringLiteral("b")};
    EXPECT_EQ(FileNameMapBlock(names), QByteArray("\xC3\xA9t\xC3\xA9.m2ts\0b\0\0", 14));
    EXPECT_EQ(FileNameMapWBlock({QStringLiteral("é"), QStringLiteral("b")}),
              Bytes({0xE9, 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(FileNameMapBlock({}), QByteArray(1, '\0'));
}

TEST(DropBlocks, PreferredDropEffect)
{
    EXPECT_EQ(PreferredDropEffectBlock(1), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(PreferredDropEffectBlock(0x01020304), Bytes({4, 3, 2, 1}));
}

TEST(DropBlocks, DesktopFileLists)
{
    const QStringList files {QStringLiteral("/data/été 1.m2ts"), QStringLiteral("/data/b#2.m2ts")};
    EXPECT_EQ(UriListBlock(files),
              QByteArray("file:///data/%C3%A9t%C3%A9%201.m2ts\r\nfile:///data/b%232.m2ts\r\n"));
    EXPECT_EQ(GnomeCopiedFilesBlock(files),
              QByteArray("copy\nfile:///data/%C3%A9t%C3%A9%201.m2ts\nfile:///data/b%232.m2ts"));
    EXPECT_EQ(GnomeCopiedFilesBlock(files.mid(1), true), QByteArray("cut\nfile:///data/b%232.m2ts"));
}

}  // namespace
