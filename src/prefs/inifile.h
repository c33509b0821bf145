// The ini file's text and its lines. As written: the byte-order mark FF FE,
// then UTF-16LE lines each ending with CR LF. As read: the encoding follows
// the byte-order mark (UTF-16LE, UTF-16BE or UTF-8; none means the system
// code page), lines end at CR LF, lone CR, lone LF or U+2028, and a NUL
// ends the text. Lookups and writes follow the ini rules below: a header is
// a trimmed line "[...]", compared case-sensitively; a key line's name is
// the untrimmed text before its first "=", its value the untrimmed rest.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

QStringList DecodeIniText(const QByteArray &bytes);
QByteArray EncodeIniText(const QStringList &lines);

// The text without leading and trailing characters of code 32 or less.
QStringView TrimControls(QStringView text);

// Index of the first key line named key that belongs to the section whose
// bracketed header is header; -1 when there is none.
qsizetype FindIniKey(const QStringList &lines, const QString &header, const QString &key);

// The value of a key line: what follows its first "=".
QString IniLineValue(const QString &line);

// Sets key to value in the section: updates the key's first line, or
// inserts a line at the end of the section, adding the header when the
// section is missing. Every other line stays as it was.
void WriteIniKey(QStringList &lines, const QString &header, const QString &key, const QString &value);
