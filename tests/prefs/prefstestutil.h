// What the preference and settings tests share: a temporary place for the
// executable, its ini file and the hive, and the ini file's bytes built
// here, independently of the code under test.
#pragma once

#include "src/prefs/preferences.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// FF FE, then each line in UTF-16LE followed by CR LF.
inline QByteArray IniBytes(const QStringList &lines)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QString &line : lines) {
        const std::u16string units = (line + "\r\n").toStdU16String();
        for (const char16_t unit : units) {
            bytes.append(char(unit & 0xFF));
            bytes.append(char(unit >> 8));
        }
    }
    return bytes;
}

inline QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void PutFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A burner at path that answers "/LISTDRIVES" with the lines given (address,
// model and medium separated by tabs), as the drives of a machine.
inline void PutDriveLister(const QString &path, const QByteArray &lines)
{
    PutFile(path, "#!/bin/sh\n[ \"$1\" = /LISTDRIVES ] || exit 3\nprintf '%s' '" + lines + "'\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

// An executable in <temp>/bin and a hive in <temp>/config.
class PrefsPlace : public testing::Test
{
protected:
    QTemporaryDir dir;
    TPrefsLocation where {dir.filePath("bin/tavrel"), dir.filePath("config/Tavrel/registry.reg")};

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(dir.filePath("bin"))); }
    void PutIni(const QStringList &lines) { PutFile(where.IniFile(), IniBytes(lines)); }
    void PutHive(const QByteArray &text) { PutFile(where.HiveFile, text); }
};

inline const QString Section = QStringLiteral("\\Software\\Morvek\\Tavrel");
inline const QString Header = QStringLiteral("[\\Software\\Morvek\\Tavrel]");
