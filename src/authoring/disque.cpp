#include "src/authoring/disque.h"

#include "src/authoring/framerate.h"
#include "src/clips/listfichier.h"
#include "src/platform/pathdelim.h"
#include "src/platform/shell.h"
#include "src/preview/mediadevice.h"

TDisque::TDisque(int64_t capacity) : Capacity(capacity)
{ }

TAddClipResult TDisque::AddClip(const Tm2tsFichier *clip)
{
    for (const TDiscClip &c : Clips)
        if (c.Record == clip)
            return acAlreadyOnDisc;
    const int64_t size = FileSize64(clip->FullPath());
    if (size < 0)
        return acFileMissing;
    if (size > Capacity)
        return acLargerThanDisc;
    if (TotalSize + size > Capacity)
        return acNoRoomLeft;
    // One title plays at one frame rate.
    const QByteArray rate = FrameRateOfClip(clip);
    if (!rate.isEmpty() && !FrameRate.isEmpty() && rate != FrameRate)
        return acOtherFrameRate;
    if (FrameRate.isEmpty())
        FrameRate = rate;
    const int64_t duration = clip->Device()->Duration();
    Clips.append({clip->FullPath(), clip, duration});
    ++ClipCount;
    TotalSize += size;
    TotalDuration += duration;
    return acAdded;
}

QByteArray TDisque::FrameRateOrDefault() const
{
    return FrameRate.isEmpty() ? QByteArray(kDefaultFrameRate) : FrameRate;
}

QString TDisque::DiscName() const
{
    return QStringLiteral("Disque ") + (QStringLiteral("00") + QString::number(Number)).right(2);
}

QString TDisque::DiscFolder(const QString &dossierAVCHD) const
{
    QString folder = dossierAVCHD;
    if (!folder.endsWith(PathDelim))
        folder += PathDelim;
    return folder + Project + PathDelim + DiscName() + PathDelim;
}

QString TDisque::VolumeLabel() const
{
    return Project + QStringLiteral(" - ") + DiscName();
}

QString DiscListText(const TDisque &disc)
{
    return disc.Project + QStringLiteral(" : ") + disc.DiscName();
}

QByteArray FrameRateOfClip(const Tm2tsFichier *clip)
{
    return FrameRateOfPicture(clip->Device()->PictureDuration());
}
