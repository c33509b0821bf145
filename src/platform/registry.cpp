#include "src/platform/registry.h"

TRegistry::TRegistry(const QString &hiveFile) : FFile(hiveFile)
{
    FHive.Load(FFile, &FLoadError);
}

bool TRegistry::OpenKeyReadOnly(const QString &path)
{
    FCurrent = FHive.Find(path);
    return FCurrent != nullptr;
}

bool TRegistry::OpenKey(const QString &path)
{
    FCurrent = FHive.Find(path);
    if (!FCurrent) {
        FCurrent = FHive.Create(path);
        FChanged = true;
    }
    return true;
}

void TRegistry::CloseKey()
{
    FCurrent = nullptr;
}

bool TRegistry::ValueExists(const QString &name) const
{
    return FCurrent && FCurrent->FindValue(name);
}

std::optional<QString> TRegistry::ReadString(const QString &name) const
{
    const TRegValue *value = FCurrent ? FCurrent->FindValue(name) : nullptr;
    return value ? value->Text() : std::nullopt;
}

std::optional<int32_t> TRegistry::ReadInteger(const QString &name) const
{
    const TRegValue *value = FCurrent ? FCurrent->FindValue(name) : nullptr;
    if (!value || !value->Dword())
        return std::nullopt;
    return int32_t(*value->Dword());
}

bool TRegistry::write(const QString &name, const TRegValue &value)
{
    if (!FCurrent)
        return false;
    FCurrent->SetValue(name, value);
    FChanged = true;
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
    if (!FCurrent || parts.isEmpty())
        return false;
    THiveKey *parent = FCurrent;
    for (qsizetype i = 0; parent && i + 1 < parts.size(); ++i)
        parent = parent->FindSubkey(parts[i]);
    if (!parent || !parent->RemoveSubkey(parts.last()))
        return false;
    FChanged = true;
    return true;
}

bool TRegistry::HasSubKeys() const
{
    return FCurrent && !FCurrent->subkeys.empty();
}

bool TRegistry::Flush(QString *error)
{
    if (!FChanged)
        return true;
    if (!FLoadError.isEmpty()) {
        if (error)
            *error = FLoadError;
        return false;
    }
    if (!FHive.Save(FFile, error))
        return false;
    FChanged = false;
    return true;
}
