#include "src/platform/shellopen.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

TEST(MailLinkText, PartsAreInsertedWithoutEscaping)
{
    EXPECT_EQ(MailLinkText("moi@example.org", "Question & réponse?", "Bonjour"),
              QString::fromUtf8("mailto:moi@example.org?subject=Question & réponse?&body=Bonjour"));
}

TEST(ShowInFolderFallback, OpensTheFolderHoldingThePath)
{
    EXPECT_EQ(ShowInFolderFallback("/data/AVCHD/clip.m2ts"), QUrl::fromLocalFile("/data/AVCHD/"));
    // A folder is shown inside its parent.
    EXPECT_EQ(ShowInFolderFallback("/data/AVCHD/"), QUrl::fromLocalFile("/data/"));
    EXPECT_EQ(ShowInFolderFallback("/data"), QUrl::fromLocalFile("/"));
    EXPECT_EQ(ShowInFolderFallback(""), QUrl::fromLocalFile(QDir::homePath()));
}

TEST(DocumentUrl, PathsBecomeFileUrlsAndLinksStayLinks)
{
    EXPECT_EQ(DocumentUrl("/data/a b#c.txt"), QUrl::fromLocalFile("/data/a b#c.txt"));
    EXPECT_EQ(DocumentUrl("https://example.org/page?x=1"), QUrl("https://example.org/page?x=1"));
    EXPECT_EQ(DocumentUrl("mailto:moi@example.org"), QUrl("mailto:moi@example.org"));
}

}  // namespace
