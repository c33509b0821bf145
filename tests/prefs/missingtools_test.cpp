#include "src/prefs/missingtools.h"
#include "tests/prefs/prefstestutil.h"

#include <gtest/gtest.h>

namespace {

const QString Eac3to = QStringLiteral("<color Maroon><B>eac3to</B></color>");
const QString TsMuxer = QStringLiteral("<color Maroon><B>tsmuxer</B></color>");
const QString ImgBurn = QStringLiteral("<color Maroon><B>imgburn</B></color>");

class MissingTools : public PrefsPlace
{
protected:
    // A settings record whose tools named in present exist in bin/.
    TSettings WithTools(std::initializer_list<QString TSettings::*> present)
    {
        TSettings s;
        for (const TToolFile &tool : Tools)
            s.*tool.Setting = where.ExeFolder() + tool.FileName;
        for (QString TSettings::*setting : present)
            PutFile(s.*setting, "#!/bin/sh\n");
        return s;
    }
};

struct ListCase
{
    std::vector<QString TSettings::*> present;
    QString text;
    int count;
};

TEST_F(MissingTools, ListTextsForNoneOneTwoAndThree)
{
    const ListCase cases[] = {
        {{&TSettings::eac3tofile, &TSettings::tsMuxerFile, &TSettings::ImgBurnFile}, QString(), 0},
        {{&TSettings::eac3tofile, &TSettings::ImgBurnFile}, TsMuxer, 1},
        {{&TSettings::tsMuxerFile}, Eac3to + " et " + ImgBurn, 2},
        {{}, Eac3to + ", " + TsMuxer + " et " + ImgBurn, 3},
    };
    for (const ListCase &c : cases) {
        SCOPED_TRACE(c.count);
        QDir(where.ExeFolder()).removeRecursively();
        QDir().mkpath(where.ExeFolder());
        TSettings s = WithTools({});
        for (QString TSettings::*setting : c.present)
            PutFile(s.*setting, "x");
        QString text;
        int count = -1;
        GetMissingTools(s, text, count);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(count, c.count);
    }
}

TEST_F(MissingTools, EmptyPathOrFolderIsMissing)
{
    EXPECT_TRUE(ToolMissing(QString()));
    EXPECT_TRUE(ToolMissing(where.ExeFolder()));
    EXPECT_TRUE(ToolMissing(where.ExeFolder() + "absent"));
    PutFile(where.ExeFolder() + "anything", "");
    EXPECT_FALSE(ToolMissing(where.ExeFolder() + "anything"));  // existence only
}

TEST(MissingToolsTexts, DialogTextsBySingularOrPlural)
{
    EXPECT_EQ(LocaliserText(TsMuxer, 1),
              "<Size 12>Il manque le fichier " + TsMuxer + "<br>Localisez-le ci-dessous.</Size>");
    EXPECT_EQ(LocaliserText("L", 2), "<Size 12>Il manque les fichiers L<br>Localisez-les ci-dessous.</Size>");
    EXPECT_EQ(ConfirmMissingText("L", 1),
              QString::fromUtf8(
                  "<Size 12>Il manque toujours le fichier L pour faire tourner ce programme.<br><br>"
                  "Réessayez de le relancer après avoir installé et localisé le fichier nécessaire."));
    EXPECT_EQ(ConfirmMissingText("L", 3),
              QString::fromUtf8(
                  "<Size 12>Il manque toujours les fichiers L pour faire tourner ce programme.<br><br>"
                  "Réessayez de le relancer après avoir installé et localisé les fichiers nécessaires."));
}

TEST(MissingToolsTexts, LinuxNamesAndFilters)
{
    EXPECT_EQ(Tools[0].Filter, "Fichier eac3to|eac3to");
    EXPECT_EQ(Tools[1].Filter, "Fichier tsmuxer|tsmuxer");
    EXPECT_EQ(Tools[2].Filter, "Fichier imgburn|imgburn");
    EXPECT_EQ(Tools[2].Label, "imgburn");
}

TEST_F(MissingTools, EmptyToolPathsTakeTheCopiesBesideTheProgram)
{
    const QString bin = where.ExeFolder();
    PutFile(bin + "EAC3TO", "x");  // letter case ignored
    QDir().mkpath(bin + "tsmuxer");  // a folder is no tool
    PutFile(bin + "imgburn", "x");
    TSettings s;
    s.ImgBurnFile = "/gone/imgburn";  // stored: kept so the user is told
    FillEmptyToolPaths(s, bin);
    EXPECT_EQ(s.eac3tofile, bin + "EAC3TO");
    EXPECT_EQ(s.tsMuxerFile, QString());
    EXPECT_EQ(s.ImgBurnFile, "/gone/imgburn");
}

TEST_F(MissingTools, FirstRunFindsTheBuiltTools)
{
    for (const TToolFile &tool : Tools)
        PutFile(where.ExeFolder() + tool.FileName, "x");
    TSettings s;
    ASSERT_TRUE(LoadSettings(s, QSize(1920, 1080), nullptr, where));
    EXPECT_EQ(s.PrefsMode, pmNone);
    EXPECT_EQ(s.eac3tofile, where.ExeFolder() + "eac3to");
    EXPECT_EQ(s.tsMuxerFile, where.ExeFolder() + "tsmuxer");
    EXPECT_EQ(s.ImgBurnFile, where.ExeFolder() + "imgburn");
}

}  // namespace
