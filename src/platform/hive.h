// The per-user registry hive: a tree of keys holding typed values, kept in
// a text file in the registry-export format
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Morvek\Tavrel]
//   "Name"="text"
//   "Count"=dword:0000002a
//   "Path"=hex(2):25,00,48,00,00,00
//
// The file is loaded whole, changed in memory and written back atomically.
// Key and value names are compared ignoring letter case, as the registry
// does; values keep their type and raw bytes, so values of other types
// survive a load and a save unchanged.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

enum TRegType : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

// A value as the registry holds it: its type and its bytes (texts in
// UTF-16LE with their terminating NUL, DWORDs as four little-endian bytes).
struct TRegValue
{
    uint32_t type = REG_NONE;
    QByteArray data;

    static TRegValue FromText(const QString &text, uint32_t type = REG_SZ);
    static TRegValue FromDword(uint32_t value);
    // The text of a REG_SZ or REG_EXPAND_SZ value, up to its first NUL.
    std::optional<QString> Text() const;
    // The number of a REG_DWORD value of four bytes.
    std::optional<uint32_t> Dword() const;
};

struct THiveKey
{
    QString name;
    std::vector<std::pair<QString, TRegValue>> values;
    std::vector<std::unique_ptr<THiveKey>> subkeys;

    THiveKey *FindSubkey(const QString &subkeyName) const;
    THiveKey *AddSubkey(const QString &subkeyName);
    // Removes a direct subkey with all it holds; false when there is none.
    bool RemoveSubkey(const QString &subkeyName);
    const TRegValue *FindValue(const QString &valueName) const;
    void SetValue(const QString &valueName, const TRegValue &value);
};

class THive
{
public:
    THive();

    // Builds the tree from the text of a hive file. Lines that cannot be
    // read (a cut value, an unknown form, keys of other roots) are skipped.
    static THive Parse(const QByteArray &bytes);
    // The hive file text, UTF-8, keys in tree order.
    QByteArray Serialise() const;

    // Reads the hive file; a missing file gives an empty hive. False with
    // *error set when the file exists but cannot be read.
    bool Load(const QString &path, QString *error);
    // Replaces the hive file atomically, creating its folder when missing.
    bool Save(const QString &path, QString *error) const;

    THiveKey &Root() { return *FRoot; }
    // Key paths are taken from the root and separated by "\"; empty parts
    // (a leading or trailing "\") are ignored.
    THiveKey *Find(const QString &path) const;
    THiveKey *Create(const QString &path);

private:
    std::unique_ptr<THiveKey> FRoot;
};

// The parts of a key path ("\Software\Morvek\" → Software, Morvek).
QStringList SplitKeyPath(const QString &path);
