#include "app/toolscheck.h"

#include <QFileInfo>

bool AllToolsPresent(const TSettings &settings)
{
    for (const QString &tool : {settings.eac3tofile, settings.tsMuxerFile, settings.ImgBurnFile})
        if (!QFileInfo(tool).isFile())
            return false;
    return true;
}
