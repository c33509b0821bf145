// List files and the file lists of the clipboard and of drops.
#include "src/clips/listfile.h"
#include "src/clips/mimefiles.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QUrl>

namespace {

struct EncodingCase
{
    const char *name;
    QByteArray bytes;
};

class ListFileEncodingTest : public ::testing::TestWithParam<EncodingCase>
{ };

// "/data/été.m2ts" in each encoding the byte-order mark announces.
TEST_P(ListFileEncodingTest, DecodesByByteOrderMark)
{
    EXPECT_EQ(DecodeListFileText(GetParam().bytes), QString::fromUtf8("/data/\xC3\xA9t\xC3\xA9.m2ts"));
}

QByteArray Utf16(const QString &text, bool littleEndian)
{
    QByteArray bytes;
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

const QString Sample = QString::fromUtf8("/data/\xC3\xA9t\xC3\xA9.m2ts");

INSTANTIATE_TEST_SUITE_P(
    Marks, ListFileEncodingTest,
    ::testing::Values(EncodingCase {"utf8_bom", QByteArray("\xEF\xBB\xBF") + Sample.toUtf8()},
                      EncodingCase {"utf16le", QByteArray("\xFF\xFE") + Utf16(Sample, true)},
                      EncodingCase {"utf16be", QByteArray("\xFE\xFF") + Utf16(Sample, false)},
                      EncodingCase {"no_bom_system_code_page", Sample.toLocal8Bit()}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ListFile, EntriesAreTrimmedWithoutBlankAndCommentLines)
{
    const QString text = QString::fromUtf8("# clips of the summer\r\n"
                                           "\t /data/a.m2ts \x01\r\n"
                                           "\r\n"
                                           "   \n"
                                           "  # indented comment\n"
                                           "/data/b b.m2ts\r"
                                           "/data/sub/*.m2ts");
    EXPECT_EQ(ListFileEntries(text), (QStringList {"/data/a.m2ts", "/data/b b.m2ts", "/data/sub/*.m2ts"}));
}

TEST(ListFile, EmptyTextHasNoEntry)
{
    EXPECT_TRUE(ListFileEntries(QString()).isEmpty());
    EXPECT_TRUE(ListFileEntries(DecodeListFileText(QByteArray("\xFF\xFE"))).isEmpty());
}

TEST(MimeFiles, UriListGivesLocalPathsOnly)
{
    QMimeData data;
    data.setData("text/uri-list", "# comment\r\nfile:///data/a%20b.m2ts\r\nhttp://example.org/x.m2ts\r\n"
                                  "file:///data/%C3%A9t%C3%A9\r\n");
    EXPECT_EQ(MimeDataFiles(data),
              (QStringList {"/data/a b.m2ts", QString::fromUtf8("/data/\xC3\xA9t\xC3\xA9")}));
}

TEST(MimeFiles, UrlsSetByQtAreRead)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/data/one.m2ts"), QUrl::fromLocalFile("/data/two")});
    EXPECT_EQ(MimeDataFiles(data), (QStringList {"/data/one.m2ts", "/data/two"}));
}

TEST(MimeFiles, GnomeCopiedFilesSkipsTheOperationLine)
{
    QMimeData data;
    data.setData("x-special/gnome-copied-files", "copy\nfile:///data/a.m2ts\nfile:///data/b.m2ts");
    EXPECT_EQ(MimeDataFiles(data), (QStringList {"/data/a.m2ts", "/data/b.m2ts"}));
}

TEST(MimeFiles, PlainTextIsNoFileList)
{
    QMimeData data;
    data.setText("/data/a.m2ts");
    EXPECT_TRUE(MimeDataFiles(data).isEmpty());
}

}  // namespace
