#include "preview/tstimes.h"

TClipTimes ReadClipTimes(const QString &)
{
    return {};
}

TClipTimes ClipTimesOf(const QByteArray &, const QByteArray &)
{
    return {};
}
