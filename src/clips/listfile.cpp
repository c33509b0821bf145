#include "src/clips/listfile.h"

#include <QStringDecoder>

QString DecodeListFileText(const QByteArray &bytes)
{
    struct Mark
    {
        QByteArrayView bytes;
        QStringDecoder::Encoding encoding;
    };
    static const Mark marks[] = {
        {"\xEF\xBB\xBF", QStringDecoder::Utf8},
        {"\xFF\xFE", QStringDecoder::Utf16LE},
        {"\xFE\xFF", QStringDecoder::Utf16BE},
    };
    for (const Mark &mark : marks) {
        if (bytes.startsWith(mark.bytes)) {
            QStringDecoder decoder(mark.encoding, QStringDecoder::Flag::Stateless);
            return decoder.decode(QByteArrayView(bytes).sliced(mark.bytes.size()));
        }
    }
    return QString::fromLocal8Bit(bytes);
}

static bool IsBlankCode(QChar c)
{
    return c.unicode() < 33;
}

QStringList ListFileEntries(const QString &text)
{
    QStringList entries;
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    for (const QString &line : normalized.split(u'\n')) {
        qsizetype first = 0, last = line.size();
        while (first < last && IsBlankCode(line[first]))
            ++first;
        while (last > first && IsBlankCode(line[last - 1]))
            --last;
        const QString entry = line.sliced(first, last - first);
        if (!entry.isEmpty() && !entry.startsWith(u'#'))
            entries.append(entry);
    }
    return entries;
}
