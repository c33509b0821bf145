// What the user is told when the desktop cannot open a file, a folder, a
// link or a mail: the offscreen platform has no opener at all, as a bare
// desktop without xdg-open, and no file manager answers on D-Bus here.
#include "src/platform/shellopen.h"
#include "tests/support/urlcatcher.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {

class OpenFailure : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTmp.isValid());
        FFolder = FTmp.path() + QStringLiteral("/Vidéos AVCHD/");
        ASSERT_TRUE(QDir().mkpath(FFolder));
        QFile(FFolder + QStringLiteral("aide.html")).open(QIODevice::WriteOnly);
        SetOpenFailureReport([this](const QString &message) { FReports.append(message); });
    }
    void TearDown() override
    {
        SetOpenFailureReport({});
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    QTemporaryDir FTmp;
    QString FFolder;
    QStringList FReports;
};

TEST_F(OpenFailure, EachFailureNamesWhatAndWhere)
{
    // What is said of a file or folder that is there but that nothing opens.
    const auto noOpener = [](const char *kind, const QString &name, const QString &folder) {
        return QString::fromUtf8(
                   "Impossible d'ouvrir %1 « %2 » : aucun programme de ce bureau ne s'en charge.\n"
                   "Il se trouve dans le dossier %3 ; ouvrez-le depuis votre gestionnaire de "
                   "fichiers.")
            .arg(QString::fromUtf8(kind), name, folder);
    };
    const struct
    {
        const char *what;
        std::function<bool()> open;
        QString message;
    } cases[] = {
        {"a file no program opens", [&] { return OpenDocument(FFolder + "aide.html"); },
         noOpener("le fichier", "aide.html", FFolder)},
        {"a file that is not there", [&] { return OpenDocument(FFolder + "absent.html"); },
         QString::fromUtf8("Impossible d'ouvrir « absent.html » : il n'existe pas dans le dossier ") + FFolder
             + u'.'},
        {"a clip shown in its folder", [&] { return ShowInFolder(FFolder + "aide.html"); },
         noOpener("le fichier", "aide.html", FFolder)},
        {"a folder shown in its parent", [&] { return ShowInFolder(FFolder); },
         noOpener("le dossier", QString::fromUtf8("Vidéos AVCHD"), FTmp.path() + u'/')},
        {"a missing folder", [&] { return ShowInFolder(FFolder + "Projet/Disque 01"); },
         QString::fromUtf8("Impossible d'ouvrir « Disque 01 » : il n'existe pas dans le dossier ") + FFolder
             + QStringLiteral("Projet/.")},
        {"a link", [] { return OpenDocument("https://example.org/tavrel/"); },
         QString::fromUtf8("Impossible d'ouvrir le lien https://example.org/tavrel/ : aucun navigateur n'est "
                           "réglé sur ce bureau.\nCopiez-le dans votre navigateur.")},
        {"a mail", [] { return SendMail("moi@example.org", "A propos & plus", ""); },
         QString::fromUtf8(
             "Impossible d'écrire à moi@example.org : aucun programme de messagerie n'est réglé "
             "sur ce bureau.\nÉcrivez-lui depuis votre messagerie.")},
    };
    for (const auto &c : cases) {
        FReports.clear();
        EXPECT_FALSE(c.open()) << c.what;
        ASSERT_EQ(FReports.size(), 1) << c.what;
        EXPECT_EQ(FReports[0], c.message) << c.what;
    }
}

TEST_F(OpenFailure, NothingIsToldWhenTheDesktopOpensIt)
{
    TUrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
    EXPECT_TRUE(OpenDocument(FFolder + "aide.html"));
    EXPECT_TRUE(ShowInFolder(FFolder + "aide.html"));
    EXPECT_TRUE(FReports.isEmpty()) << FReports.join(u'\n').toStdString();
    EXPECT_EQ(desktop.Opened,
              (QList<QUrl> {QUrl::fromLocalFile(FFolder + "aide.html"), QUrl::fromLocalFile(FFolder)}));
}

TEST_F(OpenFailure, AMissingFileIsNotHandedToTheDesktop)
{
    TUrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "Open");
    EXPECT_FALSE(OpenDocument(FFolder + "absent.html"));
    EXPECT_TRUE(desktop.Opened.isEmpty());
    EXPECT_EQ(FReports.size(), 1);
}

}  // namespace

int main(int argc, char **argv)
{
    // No file manager can answer: the session bus is out of reach.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
