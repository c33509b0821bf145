#include "src/preview/avsource.h"

#include "src/preview/mediadevice.h"

TavSource::TavSource(TMediaDevice *device, int number, int count)
{
    if (number < 1 || number > count)
        return;
    FDevice = device;
    FNumber = number;
    FName = number > 1 ? device->DisplayName() + QStringLiteral(" #") + QString::number(number)
                       : device->DisplayName();
}

TavSource::TavSource(const QString &sentinelName) : FName(sentinelName)
{ }

TVideoSource::TVideoSource(TMediaDevice *device, int number)
    : TavSource(device, number, device ? device->VideoCount() : 0)
{ }

TAudioSource::TAudioSource(TMediaDevice *device, int number)
    : TavSource(device, number, device ? device->AudioCount() : 0)
{ }

namespace {
TVideoSource NoVideoSource(QStringLiteral("Aucune Vidéo"));
TAudioSource NoAudioSource(QStringLiteral("Aucun Audio"));
}  // namespace

TVideoSource *const NoVideo = &NoVideoSource;
TAudioSource *const NoAudio = &NoAudioSource;
