#include "src/clips/clipcheck.h"

#include "src/clips/listfichier.h"
#include "src/preview/mediadevice.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr char kSyncByte = 0x47;

// The first packets start with the sync byte, 188 bytes apart (a transport
// stream) or 192 bytes apart after a 4-byte time code (an M2TS clip).
bool StartsLikeATransportStream(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(2 * 192 + 8);
    const auto syncs = [&head](qsizetype first, qsizetype step) {
        return head.size() > first + step && head[first] == kSyncByte && head[first + step] == kSyncByte;
    };
    return syncs(0, 188) || syncs(4, 192);
}

}  // namespace

bool IsReadableClip(const Tm2tsFichier &clip)
{
    const Tm2tsFileDevice *device = clip.Device();
    return device->Valid() && device->VideoCount() > 0;
}

QString UnreadableClipReason(const Tm2tsFichier &clip)
{
    if (IsReadableClip(clip))
        return {};
    if (!QFile::exists(clip.FullPath()))
        return QStringLiteral("le fichier est introuvable");
    if (QFileInfo(clip.FullPath()).size() == 0)
        return QStringLiteral("le fichier est vide");
    if (!StartsLikeATransportStream(clip.FullPath()))
        return QStringLiteral("ce n'est pas un flux vidéo MPEG-TS (AVCHD)");
    if (clip.Device()->Valid())
        return QStringLiteral("il ne contient aucune vidéo");
    return QStringLiteral("le fichier est tronqué ou endommagé : aucune image lisible");
}

QString LeftOutOfDiscsText(const Tm2tsFichier &clip)
{
    return QStringLiteral("Le fichier ") + clip.FullPath()
           + QStringLiteral(" n'est pas une vidéo AVCHD lisible ; il n'est pas mis sur un disque");
}
