// The current user's registry, as the rest of the program uses it: open a
// key for reading or for writing, read and write typed values, delete a
// subkey, ask whether a key has subkeys. The hive file is read when the
// object is made and written back by Flush(), only when something changed.
#pragma once

#include "src/platform/hive.h"

#include <QString>

#include <cstdint>
#include <optional>

class TRegistry
{
public:
    // hiveFile is the per-user hive; it is read at once. An unreadable
    // file reads as an empty hive and is never overwritten.
    explicit TRegistry(const QString &hiveFile);

    // Opens an existing key (path from the root, parts separated by "\");
    // false when it does not exist.
    bool OpenKeyReadOnly(const QString &path);
    // Opens a key, creating it and its missing parents.
    bool OpenKey(const QString &path);
    void CloseKey();

    // Values of the open key; without an open key nothing exists and
    // nothing is written.
    bool ValueExists(const QString &name) const;
    // A REG_SZ or REG_EXPAND_SZ value (not expanded); nothing for a missing
    // value or another type.
    std::optional<QString> ReadString(const QString &name) const;
    // A REG_DWORD value as a signed number; nothing otherwise.
    std::optional<int32_t> ReadInteger(const QString &name) const;
    bool WriteString(const QString &name, const QString &value);
    bool WriteExpandString(const QString &name, const QString &value);
    bool WriteInteger(const QString &name, int32_t value);

    // Deletes a subkey of the open key with all its values and subkeys.
    bool DeleteKey(const QString &subkey);
    bool HasSubKeys() const;

    // Writes the hive back atomically when it changed. False with *error
    // set to the system's error text when it could not be read at first or
    // cannot be written now.
    bool Flush(QString *error = nullptr);
    // Empty, or the system's error text when the hive file exists but
    // could not be read.
    const QString &LoadError() const { return FLoadError; }

private:
    bool write(const QString &name, const TRegValue &value);

    QString FFile;
    THive FHive;
    QString FLoadError;
    THiveKey *FCurrent = nullptr;
    bool FChanged = false;
};
