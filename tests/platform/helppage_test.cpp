// The help page: where the program finds it (portable copy, build tree,
// installation), that the build tree holds it, and that every link in it
// leads somewhere in the page.
#include "src/platform/shell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace {

void Touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(HelpPagePath, FirstOfPortableBuildTreeAndInstallation)
{
    QTemporaryDir root, buildRoot;
    const QString prefix = root.path();
    const QString installedExe = prefix + "/lib/tavrel";  // <prefix>/lib/tavrel/tavrel
    const QString build = buildRoot.path() + "/build";
    const QString buildExe = build + "/bin";  // build/bin/tavrel
    QDir().mkpath(installedExe);
    QDir().mkpath(buildExe);

    EXPECT_EQ(HelpPagePathFor(installedExe), QString());
    Touch(prefix + "/share/doc/tavrel/aide.html");
    EXPECT_EQ(HelpPagePathFor(installedExe), prefix + "/share/doc/tavrel/aide.html");
    EXPECT_EQ(HelpPagePathFor(installedExe + "/"), prefix + "/share/doc/tavrel/aide.html");

    EXPECT_EQ(HelpPagePathFor(buildExe), QString());
    Touch(build + "/share/doc/tavrel/aide.html");
    EXPECT_EQ(HelpPagePathFor(buildExe), build + "/share/doc/tavrel/aide.html");

    // A copy beside the program wins.
    Touch(installedExe + "/aide.html");
    EXPECT_EQ(HelpPagePathFor(installedExe), installedExe + "/aide.html");
    // A folder of that name is no page.
    QDir().mkpath(buildExe + "/aide.html");
    EXPECT_EQ(HelpPagePathFor(buildExe), build + "/share/doc/tavrel/aide.html");
}

QString BuiltHelpPage()
{
    return HelpPagePathFor(QStringLiteral(TAVREL_BIN_DIR));
}

TEST(HelpPage, IsInTheBuildTreeBesideBin)
{
    EXPECT_EQ(BuiltHelpPage(),
              QDir::cleanPath(QStringLiteral(TAVREL_BIN_DIR "/../share/doc/tavrel/aide.html")));
}

TEST(HelpPage, EveryLinkLeadsToAPlaceInThePage)
{
    QFile file(BuiltHelpPage());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("<html lang=\"fr\">")));

    QSet<QString> ids;
    for (const QRegularExpressionMatch &m :
         QRegularExpression(QStringLiteral("\\bid=\"([^\"]+)\"")).globalMatch(html))
        ids.insert(m.captured(1));
    int links = 0;
    for (const QRegularExpressionMatch &m :
         QRegularExpression(QStringLiteral("\\b(?:href|src)=\"([^\"]*)\"")).globalMatch(html)) {
        const QString link = m.captured(1);
        ++links;
        ASSERT_TRUE(link.startsWith(u'#')) << "link outside the page: " << link.toStdString();
        EXPECT_TRUE(ids.contains(link.mid(1))) << "no place named " << link.toStdString();
    }
    EXPECT_GE(links, 8);
    // What the page must tell.
    for (const char *id : {"ouvrir", "visionner", "disques", "couleurs", "coches", "reglages", "programmes"})
        EXPECT_TRUE(ids.contains(QLatin1String(id))) << id;
}

}  // namespace
