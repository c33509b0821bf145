#include "settings.h"

TSettings Settings;

QString RebasePath(const QString &path, const QString &oldFolder, const QString &newFolder)
{
    if (path.isEmpty() || oldFolder.isEmpty() || newFolder.isEmpty())
        return path;
    if (!path.startsWith(oldFolder, Qt::CaseInsensitive))
        return path;
    return newFolder + path.mid(oldFolder.size());
}
