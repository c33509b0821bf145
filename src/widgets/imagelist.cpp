#include "widgets/imagelist.h"

#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

TImageList::TImageList(int width, int height) : width_(width), height_(height) {}

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
    if (entry.index >= icons_.size()) {
        icons_.resize(entry.index + 1);
        themed_.resize(entry.index + 1);
    }
    icons_[entry.index] = icon;
    themed_[entry.index] = themed;
    entries_.append(entry);
}

QIcon TImageList::Icon(int index) const
{
    if (index < 0 || index >= icons_.size())
        return QIcon();
    return icons_[index];
}

bool TImageList::FromTheme(int index) const
{
    return index >= 0 && index < themed_.size() && themed_[index];
}

// A rounded tile in the entry's colour with its glyph in white: plain,
// but tells the actions apart when no icon theme is installed.
QIcon TImageList::DrawFallback(const Entry &entry) const
{
    QPixmap pixmap(width_, height_);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(entry.colour.darker(140));
    painter.setBrush(entry.colour);
    painter.drawRoundedRect(QRectF(1.5, 1.5, width_ - 3, height_ - 3), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(height_ * 3 / 5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, width_, height_), Qt::AlignCenter, QString(entry.glyph));
    painter.end();
    return QIcon(pixmap);
}
