#include "src/preview/timeformats.h"

QString RecordingDateText(const TRecordingDate &date)
{
    return QStringLiteral("Filmé le %1/%2/%3 à %4:%5:%6")
        .arg(date.Day, 2, 10, QChar(u'0'))
        .arg(date.Month, 2, 10, QChar(u'0'))
        .arg(date.Year, 4, 10, QChar(u'0'))
        .arg(date.Hour, 2, 10, QChar(u'0'))
        .arg(date.Minute, 2, 10, QChar(u'0'))
        .arg(date.Second, 2, 10, QChar(u'0'));
}
