#include "preferences.h"

#include "platform/pathdelim.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/wholefile.h"
#include "prefs/inifile.h"

#include <QDir>

namespace {

QString Bracketed(const QString &section)
{
    return u'[' + section + u']';
}

// Anything other than the two stores reads and writes nothing.
TPrefsMode Normalised(TPrefsMode mode)
{
    return mode == pmNormal || mode == pmPortable ? mode : pmNone;
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

// The trimmed ini value as a signed 32-bit decimal number, 0 when it is not one.
int32_t IniInteger(const QString &value)
{
    bool ok = false;
    const int number = TrimControls(value).toInt(&ok, 10);
    return ok ? int32_t(number) : 0;
}

QString Unmarked(const QString &text)
{
    return text == EmptyMarker ? QString() : text;
}

QString Marked(const QString &text)
{
    return text.isEmpty() ? EmptyMarker : text;
}

} // namespace

QString DefaultHiveFile()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !config.startsWith(PathDelim))
        config = QDir::homePath() + QStringLiteral("/.config");
    return IncludeTrailingPathDelimiter(config) + QStringLiteral("Tavrel/registry.reg");
}

TPrefsLocation TPrefsLocation::Current()
{
    return {ExecutablePath(), DefaultHiveFile()};
}

QString TPrefsLocation::ExeFolder() const
{
    return ExtractFilePath(ExeName);
}

QString TPrefsLocation::IniFile() const
{
    return ExeFolder() + QStringLiteral("Tavrel.ini");
}

TReadPreferences::TReadPreferences(const QString &section, TPrefsMode mode, const TPrefsLocation &where)
    : header(Bracketed(section)), mode(Normalised(mode))
{
    if (this->mode == pmNormal) {
        registry = std::make_unique<TRegistry>(where.HiveFile);
        registry->OpenKeyReadOnly(section);
    } else if (this->mode == pmPortable) {
        QByteArray bytes;
        if (ReadWholeFile(where.IniFile(), &bytes, &openError))
            lines = DecodeIniText(bytes);
    }
}

TReadPreferences::~TReadPreferences() = default;

QString TReadPreferences::iniRead(const QString &key, const QString &defaultValue) const
{
    const qsizetype line = FindIniKey(lines, header, key);
    return line < 0 ? defaultValue : IniLineValue(lines[line]);
}

bool TReadPreferences::ReadBool(const QString &key, bool defaultValue) const
{
    switch (mode) {
    case pmNormal: {
        const auto value = registry->ReadInteger(key);
        return value ? *value != 0 : defaultValue;
    }
    case pmPortable:
        return TrimControls(iniRead(key, BoolText(defaultValue))) != u"0";
    default:
        return defaultValue;
    }
}

int32_t TReadPreferences::ReadInteger(const QString &key, int32_t defaultValue) const
{
    switch (mode) {
    case pmNormal:
        return registry->ReadInteger(key).value_or(defaultValue);
    case pmPortable:
        return IniInteger(iniRead(key, QString::number(defaultValue)));
    default:
        return defaultValue;
    }
}

QString TReadPreferences::ReadString(const QString &key, const QString &defaultValue) const
{
    switch (mode) {
    case pmNormal:
        return Unmarked(registry->ReadString(key).value_or(defaultValue));
    case pmPortable:
        return Unmarked(iniRead(key, defaultValue));
    default:
        return Unmarked(defaultValue);
    }
}

TWritePreferences::TWritePreferences(const QString &section, TPrefsMode mode, const TPrefsLocation &where)
    : header(Bracketed(section)), mode(Normalised(mode)), where(where)
{
    if (this->mode == pmNormal) {
        registry = std::make_unique<TRegistry>(where.HiveFile);
        registry->OpenKey(section);
    } else if (this->mode == pmPortable) {
        QByteArray bytes;
        bool missing = false;
        if (ReadWholeFile(where.IniFile(), &bytes, &openError, &missing))
            lines = DecodeIniText(bytes);
        else if (missing)
            openError.clear();
    }
}

TWritePreferences::~TWritePreferences()
{
    Close();
}

void TWritePreferences::WriteBool(const QString &key, bool value)
{
    if (mode == pmNormal)
        registry->WriteInteger(key, value ? 1 : 0);
    else if (mode == pmPortable)
        WriteIniKey(lines, header, key, BoolText(value));
}

void TWritePreferences::WriteInteger(const QString &key, int32_t value)
{
    if (mode == pmNormal)
        registry->WriteInteger(key, value);
    else if (mode == pmPortable)
        WriteIniKey(lines, header, key, QString::number(value));
}

void TWritePreferences::WriteString(const QString &key, const QString &value)
{
    if (mode == pmNormal)
        registry->WriteString(key, Marked(value));
    else if (mode == pmPortable)
        WriteIniKey(lines, header, key, Marked(value));
}

bool TWritePreferences::Close(QString *error)
{
    if (closed)
        return true;
    closed = true;
    if (!openError.isEmpty()) {
        if (error)
            *error = openError;
        return false;
    }
    if (mode == pmNormal)
        return registry->Flush(error);
    if (mode == pmPortable)
        return WriteFileAtomically(where.IniFile(), EncodeIniText(lines), error);
    return true;
}
