#include "src/widgets/themeicon.h"

#include "src/platform/logging.h"

#include <QFile>

namespace {

// A theme lookup may give an icon that has no file it can draw (a name
// known to the theme whose only pictures are in a format Qt cannot read).
bool Drawable(const QIcon &icon)
{
    return !icon.isNull() && !icon.availableSizes().isEmpty();
}

}  // namespace

QIcon BundledIcon(const QString &name)
{
    const QString file = QStringLiteral(":/icons/") + name + QStringLiteral(".svg");
    return QFile::exists(file) ? QIcon(file) : QIcon();
}

QIcon ThemeIcon(const QString &name, bool *fromTheme)
{
    QIcon icon = QIcon::fromTheme(name);
    if (!Drawable(icon))
        icon = QIcon::fromTheme(name + QStringLiteral("-symbolic"));
    const bool themed = Drawable(icon);
    if (fromTheme)
        *fromTheme = themed;
    if (themed)
        return icon;
    icon = BundledIcon(name);
    if (icon.isNull())
        qCWarning(lcWidgets) << "no picture for the icon" << name << "in the theme" << QIcon::themeName()
                             << "nor among the bundled ones";
    else
        qCDebug(lcWidgets) << "icon" << name << "not in the theme" << QIcon::themeName()
                           << ": the bundled picture is used";
    return icon;
}
