#include "registry.h"

TRegistry::TRegistry(const QString &hiveFile) : file(hiveFile)
{
    hive.Load(file, &loadError);
}

bool TRegistry::OpenKeyReadOnly(const QString &path)
{
    current = hive.Find(path);
    return current != nullptr;
}

bool TRegistry::OpenKey(const QString &path)
{
    current = hive.Find(path);
    if (!current) {
        current = hive.Create(path);
        changed = true;
    }
    return true;
}

void TRegistry::CloseKey()
{
    current = nullptr;
}

bool TRegistry::ValueExists(const QString &name) const
{
    return current && current->FindValue(name);
}

std::optional<QString> TRegistry::ReadString(const QString &name) const
{
    const TRegValue *value = current ? current->FindValue(name) : nullptr;
    return value ? value->Text() : std::nullopt;
}

std::optional<int32_t> TRegistry::ReadInteger(const QString &name) const
{
    const TRegValue *value = current ? current->FindValue(name) : nullptr;
    if (!value || !value->Dword())
        return std::nullopt;
    return int32_t(*value->Dword());
}

bool TRegistry::write(const QString &name, const TRegValue &value)
{
    if (!current)
        return false;
    current->SetValue(name, value);
    changed = true;
    return true;
}

bool TRegistry::WriteString(const QString &name, const QString &value)
{
    return write(name, TRegValue::FromText(value, REG_SZ));
}

bool TRegistry::WriteExpandString(const QString &name, const QString &value)
{
    return write(name, TRegValue::FromText(value, REG_EXPAND_SZ));
}

bool TRegistry::WriteInteger(const QString &name, int32_t value)
{
    return write(name, TRegValue::FromDword(uint32_t(value)));
}

bool TRegistry::DeleteKey(const QString &subkey)
{
    const QStringList parts = SplitKeyPath(subkey);
    if (!current || parts.isEmpty())
        return false;
    THiveKey *parent = current;
    for (qsizetype i = 0; parent && i + 1 < parts.size(); ++i)
        parent = parent->FindSubkey(parts[i]);
    if (!parent || !parent->RemoveSubkey(parts.last()))
        return false;
    changed = true;
    return true;
}

bool TRegistry::HasSubKeys() const
{
    return current && !current->subkeys.empty();
}

bool TRegistry::Flush(QString *error)
{
    if (!changed)
        return true;
    if (!loadError.isEmpty()) {
        if (error)
            *error = loadError;
        return false;
    }
    if (!hive.Save(file, error))
        return false;
    changed = false;
    return true;
}
