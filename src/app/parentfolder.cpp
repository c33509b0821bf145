#include "src/app/parentfolder.h"

#include "src/platform/pathdelim.h"

#include <QFileInfo>

QString ParentAVCHDFolder(const QString &dossierAVCHD, const QString &project, const QString &discName,
                          bool discActive)
{
    QStringList candidates;
    if (discActive) {
        const QString projectFolder = IncludeTrailingPathDelimiter(dossierAVCHD) + project + PathDelim;
        candidates << projectFolder + discName << projectFolder;
    }
    candidates << dossierAVCHD;
    for (const QString &folder : candidates)
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return QString();
}
