#include "src/prefs/missingtools.h"

#include "src/platform/findfiles.h"
#include "src/platform/logging.h"

#include <QFileInfo>
#include <QStringList>

namespace {

QString Item(const char *name)
{
    return QStringLiteral("<color Maroon><B>%1</B></color>").arg(QLatin1String(name));
}

}  // namespace

const std::array<TToolFile, 3> Tools = {{
    {&TSettings::eac3tofile, QStringLiteral("eac3to"), Item("eac3to"), QStringLiteral("eac3to"),
     QStringLiteral("Fichier eac3to|eac3to")},
    {&TSettings::tsMuxerFile, QStringLiteral("tsmuxer"), Item("tsmuxer"), QStringLiteral("tsmuxer"),
     QStringLiteral("Fichier tsmuxer|tsmuxer")},
    {&TSettings::ImgBurnFile, QStringLiteral("imgburn"), Item("imgburn"), QStringLiteral("imgburn"),
     QStringLiteral("Fichier imgburn|imgburn")},
}};

bool ToolMissing(const QString &path)
{
    return path.isEmpty() || !QFileInfo(path).isFile();
}

void GetMissingTools(const TSettings &settings, QString &text, int &count)
{
    QStringList items;
    for (const TToolFile &tool : Tools)
        if (ToolMissing(settings.*tool.Setting))
            items << tool.Item;
    count = int(items.size());
    if (count <= 1) {
        text = items.value(0);
        return;
    }
    const QString last = items.takeLast();
    text = items.join(QStringLiteral(", ")) + QStringLiteral(" et ") + last;
}

QString LocaliserText(const QString &list, int count)
{
    if (count == 0)
        return QString::fromUtf8(
            "<Size 12>Tous les fichiers sont localisés.<br>Cliquez sur « Terminé ».</Size>");
    const QString text =
        count == 1 ? QStringLiteral("<Size 12>Il manque le fichier %1<br>Localisez-le ci-dessous.</Size>")
                   : QStringLiteral("<Size 12>Il manque les fichiers %1<br>Localisez-les ci-dessous.</Size>");
    return text.arg(list);
}

// Both texts leave their size tag open.
QString ConfirmMissingText(const QString &list, int count)
{
    const QString text =
        count == 1 ? QStringLiteral(
            "<Size 12>Il manque toujours le fichier %1 pour faire tourner ce programme.<br><br>"
            "Réessayez de le relancer après avoir installé et localisé le fichier nécessaire.")
                   : QStringLiteral(
                       "<Size 12>Il manque toujours les fichiers %1 pour faire tourner ce programme.<br><br>"
                       "Réessayez de le relancer après avoir installé et localisé les fichiers nécessaires.");
    return text.arg(list);
}

void FillEmptyToolPaths(TSettings &settings, const QString &folder)
{
    for (const TToolFile &tool : Tools) {
        QString &path = settings.*tool.Setting;
        if (!path.isEmpty())
            continue;
        // The copy beside the executable, whatever the letter case of its name.
        for (const TFindData &entry : FindFiles(folder + tool.FileName))
            if (!(entry.Attributes & faDirectory)) {
                path = folder + entry.FileName;
                qCInfo(lcPrefs) << tool.FileName << "not set: the copy beside the program is used," << path;
                break;
            }
    }
}
