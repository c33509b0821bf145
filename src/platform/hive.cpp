#include "src/platform/hive.h"

#include "src/platform/wholefile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString RootName = QStringLiteral("HKEY_CURRENT_USER");
const QByteArray FirstLine = "Windows Registry Editor Version 5.00";

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString DecodeHiveText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QString text;
        text.reserve((bytes.size() - 2) / 2);
        for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
            text.append(QChar(char16_t(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8))));
        return text;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

// Lines at LF, with a CR before it dropped.
QStringList SplitLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

// Reads a quoted text starting at text[pos] == '"'; on success pos is just
// after the closing quote. "\\" and "\"" are the escapes.
std::optional<QString> ReadQuoted(const QString &text, qsizetype &pos)
{
    QString result;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            pos = i + 1;
            return result;
        }
        if (c == u'\\' && i + 1 < text.size())
            ++i;
        result.append(text[i]);
    }
    return std::nullopt;
}

QString Quote(const QString &text)
{
    QString result = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'\\' || c == u'"')
            result.append(u'\\');
        result.append(c);
    }
    result.append(u'"');
    return result;
}

bool IsOnlyBlanks(QStringView text)
{
    return text.trimmed().isEmpty();
}

std::optional<uint32_t> ParseHexNumber(QStringView digits, int maxDigits)
{
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    bool ok = false;
    const uint32_t value = digits.toUInt(&ok, 16);
    if (!ok || digits.startsWith(u'+') || digits.startsWith(u'-'))
        return std::nullopt;
    return value;
}

// "41,00,00,00" (continuations already joined) into bytes; every byte has
// two hex digits.
std::optional<QByteArray> ParseHexBytes(QStringView list)
{
    QByteArray bytes;
    const QStringView trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return bytes;
    for (QStringView part : trimmed.split(u',')) {
        part = part.trimmed();
        if (part.size() != 2)
            return std::nullopt;
        const auto byte = ParseHexNumber(part, 2);
        if (!byte)
            return std::nullopt;
        bytes.append(char(*byte));
    }
    return bytes;
}

// The value text after "=": "text", dword:xxxxxxxx, hex:.. or hex(t):..
std::optional<TRegValue> ParseValue(const QString &text)
{
    if (text.startsWith(u'"')) {
        qsizetype pos = 0;
        const auto quoted = ReadQuoted(text, pos);
        if (!quoted || !IsOnlyBlanks(QStringView(text).mid(pos)))
            return std::nullopt;
        return TRegValue::FromText(*quoted);
    }
    if (text.startsWith(u"dword:", Qt::CaseInsensitive)) {
        // Exactly eight digits, so that a line cut short is not read as a
        // smaller number.
        const QStringView digits = QStringView(text).mid(6).trimmed();
        if (digits.size() != 8)
            return std::nullopt;
        const auto number = ParseHexNumber(digits, 8);
        if (!number)
            return std::nullopt;
        return TRegValue::FromDword(*number);
    }
    if (!text.startsWith(u"hex", Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QStringView kind = QStringView(text).mid(3, colon - 3);
    TRegValue value;
    if (kind.isEmpty()) {
        value.type = REG_BINARY;
    } else {
        if (!kind.startsWith(u'(') || !kind.endsWith(u')'))
            return std::nullopt;
        const auto type = ParseHexNumber(kind.mid(1, kind.size() - 2), 8);
        if (!type)
            return std::nullopt;
        value.type = *type;
    }
    const auto bytes = ParseHexBytes(QStringView(text).mid(colon + 1));
    if (!bytes)
        return std::nullopt;
    value.data = *bytes;
    return value;
}

// One "name"=value or @=value line of the key.
void ParseValueLine(THiveKey &key, const QString &line)
{
    QString name;
    qsizetype pos = 0;
    if (line.startsWith(u'@')) {
        pos = 1;
    } else {
        const auto quoted = ReadQuoted(line, pos);
        if (!quoted)
            return;
        name = *quoted;
    }
    if (pos >= line.size() || line[pos] != u'=')
        return;
    const auto value = ParseValue(line.mid(pos + 1).trimmed());
    if (value)
        key.SetValue(name, *value);
}

// A header's key path below HKEY_CURRENT_USER, or nothing for another root
// or a deletion entry.
std::optional<QString> HeaderPath(const QString &line)
{
    const qsizetype end = line.lastIndexOf(u']');
    if (end < 0)
        return std::nullopt;
    const QString full = line.mid(1, end - 1);
    if (!full.startsWith(RootName, Qt::CaseInsensitive))
        return std::nullopt;
    const QString rest = full.mid(RootName.size());
    if (!rest.isEmpty() && !rest.startsWith(u'\\'))
        return std::nullopt;
    return rest;
}

QString HexBytes(const QByteArray &data)
{
    QStringList parts;
    for (const char byte : data)
        parts.append(QStringLiteral("%1").arg(uint(uchar(byte)), 2, 16, QChar(u'0')));
    return parts.join(u',');
}

// A value as it is written: a quoted text when the text form gives back
// the same bytes and stays on one line, else dword:, else hex bytes.
QString FormatValue(const TRegValue &value)
{
    if (value.type == REG_SZ) {
        const auto text = value.Text();
        if (text && TRegValue::FromText(*text).data == value.data && !text->contains(u'\n')
            && !text->contains(u'\r'))
            return Quote(*text);
    }
    if (value.type == REG_DWORD && value.Dword())
        return QStringLiteral("dword:%1").arg(*value.Dword(), 8, 16, QChar(u'0'));
    const QString kind =
        value.type == REG_BINARY ? QStringLiteral("hex") : QStringLiteral("hex(%1)").arg(value.type, 0, 16);
    return kind + u':' + HexBytes(value.data);
}

void SerialiseKey(const THiveKey &key, const QString &path, bool isRoot, QString &out)
{
    if (!isRoot || !key.values.empty()) {
        out += u'[' + path + QStringLiteral("]\n");
        for (const auto &[name, value] : key.values)
            out += (name.isEmpty() ? QStringLiteral("@") : Quote(name)) + u'=' + FormatValue(value) + u'\n';
        out += u'\n';
    }
    for (const auto &sub : key.subkeys)
        SerialiseKey(*sub, path + u'\\' + sub->name, false, out);
}

}  // namespace

TRegValue TRegValue::FromText(const QString &text, uint32_t type)
{
    TRegValue value;
    value.type = type;
    value.data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        value.data.append(char(c.unicode() & 0xFF));
        value.data.append(char(c.unicode() >> 8));
    }
    value.data.append(2, '\0');
    return value;
}

TRegValue TRegValue::FromDword(uint32_t number)
{
    TRegValue value;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8)
        value.data.append(char((number >> shift) & 0xFF));
    return value;
}

std::optional<QString> TRegValue::Text() const
{
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = char16_t(uchar(data[i]) | (uchar(data[i + 1]) << 8));
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

std::optional<uint32_t> TRegValue::Dword() const
{
    if (type != REG_DWORD || data.size() != 4)
        return std::nullopt;
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | uchar(data[i]);
    return number;
}

THiveKey *THiveKey::FindSubkey(const QString &subkeyName) const
{
    for (const auto &sub : subkeys)
        if (SameName(sub->name, subkeyName))
            return sub.get();
    return nullptr;
}

THiveKey *THiveKey::AddSubkey(const QString &subkeyName)
{
    if (THiveKey *existing = FindSubkey(subkeyName))
        return existing;
    auto sub = std::make_unique<THiveKey>();
    sub->name = subkeyName;
    subkeys.push_back(std::move(sub));
    return subkeys.back().get();
}

bool THiveKey::RemoveSubkey(const QString &subkeyName)
{
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it) {
        if (SameName((*it)->name, subkeyName)) {
            subkeys.erase(it);
            return true;
        }
    }
    return false;
}

const TRegValue *THiveKey::FindValue(const QString &valueName) const
{
    for (const auto &[name, value] : values)
        if (SameName(name, valueName))
            return &value;
    return nullptr;
}

void THiveKey::SetValue(const QString &valueName, const TRegValue &value)
{
    for (auto &[name, stored] : values) {
        if (SameName(name, valueName)) {
            stored = value;
            return;
        }
    }
    values.emplace_back(valueName, value);
}

QStringList SplitKeyPath(const QString &path)
{
    return path.split(u'\\', Qt::SkipEmptyParts);
}

THive::THive() : FRoot(std::make_unique<THiveKey>())
{ }

THive THive::Parse(const QByteArray &bytes)
{
    THive hive;
    const QStringList lines = SplitLines(DecodeHiveText(bytes));
    THiveKey *current = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i].trimmed();
        // Long hex values go on over lines ending with "\".
        while (line.endsWith(u'\\') && line.contains(u"=hex", Qt::CaseInsensitive) && i + 1 < lines.size()) {
            line.chop(1);
            line += lines[++i].trimmed();
        }
        if (line.startsWith(u'[')) {
            const auto path = HeaderPath(line);
            current = path ? hive.Create(*path) : nullptr;
        } else if (current && (line.startsWith(u'"') || line.startsWith(u'@'))) {
            ParseValueLine(*current, line);
        }
    }
    return hive;
}

QByteArray THive::Serialise() const
{
    QString out = QString::fromLatin1(FirstLine) + QStringLiteral("\n\n");
    SerialiseKey(*FRoot, RootName, true, out);
    return out.toUtf8();
}

bool THive::Load(const QString &path, QString *error)
{
    QByteArray bytes;
    bool missing = false;
    if (!ReadWholeFile(path, &bytes, error, &missing)) {
        *this = THive();
        if (missing && error)
            error->clear();
        return missing;
    }
    *this = Parse(bytes);
    return true;
}

bool THive::Save(const QString &path, QString *error) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteFileAtomically(path, Serialise(), error);
}

THiveKey *THive::Find(const QString &path) const
{
    THiveKey *key = FRoot.get();
    for (const QString &part : SplitKeyPath(path)) {
        key = key->FindSubkey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

THiveKey *THive::Create(const QString &path)
{
    THiveKey *key = FRoot.get();
    for (const QString &part : SplitKeyPath(path))
        key = key->AddSubkey(part);
    return key;
}
