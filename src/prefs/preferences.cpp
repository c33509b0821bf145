#include "src/prefs/preferences.h"

#include "src/platform/logging.h"
#include "src/platform/pathdelim.h"
#include "src/platform/registry.h"
#include "src/platform/shell.h"
#include "src/platform/wholefile.h"
#include "src/prefs/inifile.h"

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

}  // namespace

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
    : FHeader(Bracketed(section)), FMode(Normalised(mode))
{
    if (this->FMode == pmNormal) {
        FRegistry = std::make_unique<TRegistry>(where.HiveFile);
        FRegistry->OpenKeyReadOnly(section);
    } else if (this->FMode == pmPortable) {
        QByteArray bytes;
        if (ReadWholeFile(where.IniFile(), &bytes, &FOpenError))
            FLines = DecodeIniText(bytes);
    }
}

TReadPreferences::~TReadPreferences() = default;

QString TReadPreferences::iniRead(const QString &key, const QString &defaultValue) const
{
    const qsizetype line = FindIniKey(FLines, FHeader, key);
    return line < 0 ? defaultValue : IniLineValue(FLines[line]);
}

bool TReadPreferences::ReadBool(const QString &key, bool defaultValue) const
{
    switch (FMode) {
    case pmNormal: {
        const auto value = FRegistry->ReadInteger(key);
        return value ? *value != 0 : defaultValue;
    }
    case pmPortable: return TrimControls(iniRead(key, BoolText(defaultValue))) != u"0";
    default: return defaultValue;
    }
}

int32_t TReadPreferences::ReadInteger(const QString &key, int32_t defaultValue) const
{
    switch (FMode) {
    case pmNormal: return FRegistry->ReadInteger(key).value_or(defaultValue);
    case pmPortable: return IniInteger(iniRead(key, QString::number(defaultValue)));
    default: return defaultValue;
    }
}

QString TReadPreferences::ReadString(const QString &key, const QString &defaultValue) const
{
    switch (FMode) {
    case pmNormal: return Unmarked(FRegistry->ReadString(key).value_or(defaultValue));
    case pmPortable: return Unmarked(iniRead(key, defaultValue));
    default: return Unmarked(defaultValue);
    }
}

TWritePreferences::TWritePreferences(const QString &section, TPrefsMode mode, const TPrefsLocation &where)
    : FHeader(Bracketed(section)), FMode(Normalised(mode)), FWhere(where)
{
    if (this->FMode == pmNormal) {
        FRegistry = std::make_unique<TRegistry>(where.HiveFile);
        FRegistry->OpenKey(section);
    } else if (this->FMode == pmPortable) {
        QByteArray bytes;
        bool missing = false;
        if (ReadWholeFile(where.IniFile(), &bytes, &FOpenError, &missing))
            FLines = DecodeIniText(bytes);
        else if (missing)
            FOpenError.clear();
    }
}

TWritePreferences::~TWritePreferences()
{
    QString error;
    if (!Close(&error))
        qCWarning(lcPrefs) << "settings not saved:" << error;
}

void TWritePreferences::WriteBool(const QString &key, bool value)
{
    if (FMode == pmNormal)
        FRegistry->WriteInteger(key, value ? 1 : 0);
    else if (FMode == pmPortable)
        WriteIniKey(FLines, FHeader, key, BoolText(value));
}

void TWritePreferences::WriteInteger(const QString &key, int32_t value)
{
    if (FMode == pmNormal)
        FRegistry->WriteInteger(key, value);
    else if (FMode == pmPortable)
        WriteIniKey(FLines, FHeader, key, QString::number(value));
}

void TWritePreferences::WriteString(const QString &key, const QString &value)
{
    if (FMode == pmNormal)
        FRegistry->WriteString(key, Marked(value));
    else if (FMode == pmPortable)
        WriteIniKey(FLines, FHeader, key, Marked(value));
}

bool TWritePreferences::Close(QString *error)
{
    if (FClosed)
        return true;
    FClosed = true;
    if (!FOpenError.isEmpty()) {
        if (error)
            *error = FOpenError;
        return false;
    }
    if (FMode == pmNormal)
        return FRegistry->Flush(error);
    if (FMode == pmPortable)
        return WriteFileAtomically(FWhere.IniFile(), EncodeIniText(FLines), error);
    return true;
}
