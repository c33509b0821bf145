#include "src/widgets/imagelist.h"

#include "src/platform/logging.h"
#include "src/widgets/themeicon.h"

#include <QStandardPaths>

TImageList::TImageList(int width, int height) : FWidth(width), FHeight(height)
{ }

void TImageList::ChooseIconTheme()
{
    // Platforms without a desktop theme (offscreen, bare X servers) look
    // for icons nowhere but in the resources.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = data + QStringLiteral("/icons");
        if (!paths.contains(icons))
            paths.append(icons);
    }
    QIcon::setThemeSearchPaths(paths);
    qCDebug(lcWidgets) << "icon themes searched in" << paths;
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        qCInfo(lcWidgets) << "the desktop names no icon theme: Adwaita is used";
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}

void TImageList::Add(const Entry &entry)
{
    bool themed = false;
    const QIcon icon = ThemeIcon(entry.themeName, &themed);
    if (entry.index >= FIcons.size()) {
        FIcons.resize(entry.index + 1);
        FThemed.resize(entry.index + 1);
    }
    FIcons[entry.index] = icon;
    FThemed[entry.index] = themed;
}

QIcon TImageList::Icon(int index) const
{
    if (index < 0 || index >= FIcons.size())
        return QIcon();
    return FIcons[index];
}

bool TImageList::FromTheme(int index) const
{
    return index >= 0 && index < FThemed.size() && FThemed[index];
}
