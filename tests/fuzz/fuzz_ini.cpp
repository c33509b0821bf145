// Fuzzes the ini file reader: any bytes decode into lines that lookups and
// writes can walk, and the lines written back read back the same.
#include "src/prefs/inifile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList lines = DecodeIniText(bytes);
    const QString header = QStringLiteral("[\\Software\\Morvek\\Tavrel]");
    for (const QString &key : {QStringLiteral("DossierFlux"), QStringLiteral("mainWidth"), QString()}) {
        const qsizetype found = FindIniKey(lines, header, key);
        if (found >= lines.size())
            std::abort();
        if (found >= 0)
            IniLineValue(lines[found]);
    }
    WriteIniKey(lines, header, QStringLiteral("DossierFlux"), QStringLiteral("/data/flux/"));
    if (FindIniKey(lines, header, QStringLiteral("DossierFlux")) < 0)
        std::abort();
    if (DecodeIniText(EncodeIniText(lines)) != lines)
        std::abort();
    return 0;
}
