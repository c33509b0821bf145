// The preference store: named booleans, integers and texts read and written
// in one of two backing stores chosen at run time, the per-user registry
// hive or the ini file Tavrel.ini beside the executable, or in neither.
// A reader serves one load pass and a writer one save pass.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class TRegistry;

// Where the preferences live. Values other than these three behave as
// pmNone in the store.
enum TPrefsMode : uint8_t {
    pmNormal = 0,  // registry hive
    pmPortable = 1,  // Tavrel.ini beside the executable
    pmNone = 2,  // nothing read or written
};

// An empty text is stored as this marker, and the marker reads back empty.
inline const QString EmptyMarker = QStringLiteral("#@vide§#");

// The files the store works on. Current() is the running program's; tests
// and tools point it elsewhere.
struct TPrefsLocation
{
    QString ExeName;  // full path of the executable
    QString HiveFile;  // the per-user registry hive

    static TPrefsLocation Current();
    // The executable's folder, with its trailing delimiter.
    QString ExeFolder() const;
    // Tavrel.ini in the executable's folder.
    QString IniFile() const;
};

// Default place of the hive: $XDG_CONFIG_HOME (or ~/.config)/Tavrel/registry.reg.
QString DefaultHiveFile();

class TReadPreferences
{
public:
    // pmNormal opens the section's key for reading without creating it;
    // pmPortable reads every line of the ini file; pmNone opens nothing.
    TReadPreferences(const QString &section, TPrefsMode mode,
                     const TPrefsLocation &where = TPrefsLocation::Current());
    ~TReadPreferences();
    TReadPreferences(const TReadPreferences &) = delete;
    TReadPreferences &operator=(const TReadPreferences &) = delete;

    // Empty, or the system's error text when the ini file could not be read
    // (every read then returns its default).
    const QString &OpenError() const { return FOpenError; }

    bool ReadBool(const QString &key, bool defaultValue) const;
    int32_t ReadInteger(const QString &key, int32_t defaultValue) const;
    QString ReadString(const QString &key, const QString &defaultValue) const;

private:
    QString iniRead(const QString &key, const QString &defaultValue) const;

    QString FHeader;
    TPrefsMode FMode;
    std::unique_ptr<TRegistry> FRegistry;
    QStringList FLines;
    QString FOpenError;
};

class TWritePreferences
{
public:
    // pmNormal opens the section's key, creating it and its parents;
    // pmPortable starts from the lines of the existing ini file (none when
    // it does not exist); pmNone opens nothing.
    TWritePreferences(const QString &section, TPrefsMode mode,
                      const TPrefsLocation &where = TPrefsLocation::Current());
    // Closes without reporting; call Close() to learn about a failure.
    ~TWritePreferences();
    TWritePreferences(const TWritePreferences &) = delete;
    TWritePreferences &operator=(const TWritePreferences &) = delete;

    // Empty, or the system's error text when an existing file could not be
    // read; nothing should be saved then.
    const QString &OpenError() const { return FOpenError; }

    void WriteBool(const QString &key, bool value);
    void WriteInteger(const QString &key, int32_t value);
    void WriteString(const QString &key, const QString &value);

    // Ends the pass: writes the whole ini file (pmPortable) or the hive
    // (pmNormal), each replaced atomically. False with *error set to the
    // system's error text when the file could not be written; the old file
    // is then intact. Later calls do nothing and succeed.
    bool Close(QString *error = nullptr);

private:
    QString FHeader;
    TPrefsMode FMode;
    TPrefsLocation FWhere;
    std::unique_ptr<TRegistry> FRegistry;
    QStringList FLines;
    QString FOpenError;
    bool FClosed = false;
};
