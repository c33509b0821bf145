#include "src/prefs/inifile.h"

namespace {

constexpr char16_t kLineSeparator = 0x2028;

// UTF-16 code units from bytes; an odd last byte is dropped.
QString DecodeUtf16(const QByteArray &bytes, qsizetype start, bool bigEndian)
{
    QString text;
    text.reserve((bytes.size() - start) / 2);
    for (qsizetype i = start; i + 1 < bytes.size(); i += 2) {
        const uchar first = uchar(bytes[i]);
        const uchar second = uchar(bytes[i + 1]);
        text.append(QChar(bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first)));
    }
    return text;
}

QString DecodeByMark(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return DecodeUtf16(bytes, 2, false);
    if (bytes.startsWith("\xFE\xFF"))
        return DecodeUtf16(bytes, 2, true);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromLocal8Bit(bytes);
}

bool IsHeader(QStringView trimmed)
{
    return trimmed.size() >= 2 && trimmed.startsWith(u'[') && trimmed.endsWith(u']');
}

bool IsKeyLineOf(const QString &line, const QString &key)
{
    // The name is the text before the first "=", so a key holding "=" can
    // never be matched.
    return !key.contains(u'=') && line.size() > key.size() && line[key.size()] == u'='
           && QStringView(line).left(key.size()) == key;
}

}  // namespace

QStringList DecodeIniText(const QByteArray &bytes)
{
    QString text = DecodeByMark(bytes);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && text[end] != u'\r' && text[end] != u'\n' && text[end] != kLineSeparator)
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < size && text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

QByteArray EncodeIniText(const QStringList &lines)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QString &line : lines) {
        for (const QChar c : line + QStringLiteral("\r\n")) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
    }
    return bytes;
}

QStringView TrimControls(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32)
        ++first;
    while (last > first && text[last - 1].unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

qsizetype FindIniKey(const QStringList &lines, const QString &header, const QString &key)
{
    QStringView section;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView trimmed = TrimControls(lines[i]);
        if (IsHeader(trimmed))
            section = trimmed;
        else if (section == header && IsKeyLineOf(lines[i], key))
            return i;
    }
    return -1;
}

QString IniLineValue(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    return equals < 0 ? QString() : line.mid(equals + 1);
}

void WriteIniKey(QStringList &lines, const QString &header, const QString &key, const QString &value)
{
    const QString keyLine = key + u'=' + value;
    const qsizetype found = FindIniKey(lines, header, key);
    if (found >= 0) {
        lines[found] = keyLine;
        return;
    }
    qsizetype h = 0;
    while (h < lines.size() && TrimControls(lines[h]) != header)
        ++h;
    if (h == lines.size()) {
        lines.append(header);
        lines.append(keyLine);
        return;
    }
    qsizetype next = h + 1;
    while (next < lines.size() && !IsHeader(TrimControls(lines[next])))
        ++next;
    lines.insert(next, keyLine);
}
