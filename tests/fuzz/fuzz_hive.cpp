// Fuzzes the registry hive parser: any bytes give a hive whose saved text
// parses back to the same hive.
#include "src/platform/hive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const THive hive = THive::Parse(bytes);
    const QByteArray saved = hive.Serialise();
    if (THive::Parse(saved).Serialise() != saved)
        std::abort();
    if (const THiveKey *key = hive.Find(QStringLiteral("\\Software\\Morvek\\Tavrel")))
        for (const auto &[name, value] : key->values) {
            value.Text();
            value.Dword();
        }
    return 0;
}
