#include "src/authoring/split.h"

#include "src/clips/clipcheck.h"
#include "src/clips/listfichier.h"
#include "src/platform/pathdelim.h"

namespace {

QString StopMessage(TAddClipResult code, const Tm2tsFichier *clip, const TDisque &disc)
{
    const QString path = clip->FullPath();
    if (code == acLargerThanDisc)
        return QStringLiteral("Erreur: la taille de ") + path + QStringLiteral(" dépasse ")
               + QString::number(disc.Capacity);
    if (code == acOtherFrameRate)
        return QStringLiteral("Erreur: la cadence de ") + path + QStringLiteral(" (")
               + QString::fromLatin1(FrameRateOfClip(clip))
               + QStringLiteral(" images/s) diffère de celle du disque en cours (")
               + QString::fromLatin1(disc.FrameRate) + QStringLiteral(" images/s)");
    return QStringLiteral("Erreur: le fichier ") + path + QStringLiteral(" est introuvable");
}

}  // namespace

QString ProjectOfClip(const QString &clipPath)
{
    QString folder = ExtractFilePath(clipPath);
    if (folder.endsWith(PathDelim))
        folder.chop(1);
    return ExtractFileName(folder);
}

TSplitResult SplitClipsIntoDiscs(const QList<const Tm2tsFichier *> &clips, int64_t capacity)
{
    TSplitResult result;
    QStringList leftOut;
    const auto told = [&result, &leftOut] {
        if (!result.Message.isEmpty())
            leftOut << result.Message;
        result.Message = leftOut.join(u'\n');
        return result;
    };
    TDiscPtr filling;
    for (qsizetype i = 0; i < clips.size(); ++i) {
        const Tm2tsFichier *clip = clips[i];
        // The demultiplexer would fail on it, and the whole disc with it.
        if (!IsReadableClip(*clip)) {
            leftOut << LeftOutOfDiscsText(*clip);
            continue;
        }
        TAddClipResult code = acNoRoomLeft;
        if (filling) {
            code = filling->AddClip(clip);
            if (code == acNoRoomLeft) {
                filling->LastClip = int32_t(i - 1);
                result.Discs.push_back(filling);
            }
        }
        if (code == acNoRoomLeft) {
            filling = std::make_shared<TdecoupeDisque>(capacity);
            filling->FirstClip = int32_t(i);
            code = filling->AddClip(clip);
            filling->Number = int32_t(result.Discs.size() + 1);
            filling->Project = ProjectOfClip(clip->FullPath());
        }
        // The list never holds a record twice; should it, the clip is
        // already on this disc.
        if (code == acAlreadyOnDisc)
            continue;
        if (code != acAdded) {
            result.Message = StopMessage(code, clip, *filling);
            return told();
        }
    }
    if (filling) {
        filling->LastClip = int32_t(clips.size() - 1);
        result.Discs.push_back(filling);
    }
    return told();
}
