#include "widgets/imagelist.h"

#include <QPainter>
#include <QPixmap>
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
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

void TImageList::Add(const Entry &entry)
{
    QIcon icon = QIcon::fromTheme(entry.themeName);
    if (icon.isNull())
        icon = QIcon::fromTheme(entry.themeName + QStringLiteral("-symbolic"));
    const bool themed = !icon.isNull() && !icon.availableSizes().isEmpty();
    if (!themed)
        icon = DrawFallback(entry);
    if (entry.index >= FIcons.size()) {
        FIcons.resize(entry.index + 1);
        FThemed.resize(entry.index + 1);
    }
    FIcons[entry.index] = icon;
    FThemed[entry.index] = themed;
    FEntries.append(entry);
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

// A rounded tile in the entry's colour with its glyph in white: plain,
// but tells the actions apart when no icon theme is installed.
QIcon TImageList::DrawFallback(const Entry &entry) const
{
    QPixmap pixmap(FWidth, FHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(entry.colour.darker(140));
    painter.setBrush(entry.colour);
    painter.drawRoundedRect(QRectF(1.5, 1.5, FWidth - 3, FHeight - 3), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(FHeight * 3 / 5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, FWidth, FHeight), Qt::AlignCenter, QString(entry.glyph));
    painter.end();
    return QIcon(pixmap);
}
