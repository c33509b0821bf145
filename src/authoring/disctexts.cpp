#include "src/authoring/disctexts.h"

#include "src/platform/timetexts.h"

QString GroupedNumber(int64_t value)
{
    QString digits = QString::number(value < 0 ? -uint64_t(value) : uint64_t(value));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u'.');
    return value < 0 ? u'-' + digits : digits;
}

QString DiscCountText(int count)
{
    if (count <= 0)
        return QStringLiteral("Aucun disque");
    if (count == 1)
        return QStringLiteral("Un disque");
    return QString::number(count) + QStringLiteral(" disques");
}

QString DiscSizeText(const TDisque &disc)
{
    return QStringLiteral("taille: ") + GroupedNumber(disc.TotalSize);
}

QString DiscClipCountText(const TDisque &disc)
{
    return QStringLiteral("nb de fichiers: ") + QString::number(disc.ClipCount);
}

QString DiscDurationText(const TDisque &disc)
{
    return QStringLiteral("Durée: ") + QString::fromLatin1(FormatDuration(disc.TotalDuration));
}
