// A disc: consecutive clips of the clip list that fit on one DVD, the
// streams demultiplexed from them, their chapters, and the marks of the
// three steps that turn them into a burnt AVCHD disc.
#pragma once

#include "src/authoring/chapters.h"
#include "src/platform/datetime.h"
#include "src/prefs/settings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

class Tm2tsFichier;

// Room of one disc, in bytes, unless the settings choose another size.
inline constexpr int64_t kDiscCapacity = kDvdSize;

// Results of TDisque::AddClip.
enum TAddClipResult : uint8_t {
    acAdded = 0,
    acAlreadyOnDisc = 7,
    acLargerThanDisc = 8,
    acNoRoomLeft = 9,
    acFileMissing = 10,  // the clip's file cannot be found any more
    acOtherFrameRate = 11,  // the clip's frame rate is not the disc's
};

// Demuxed stream files of a disc, full paths in the order they were found,
// with the chapter option text for the meta file.
class TStreams : public QStringList
{
public:
    QByteArray MetaString;
};

// One clip of a disc. The record belongs to the clip list, which may be
// emptied while the disc is still being worked on: the disc steps use only
// the path and the duration taken when the clip was added.
struct TDiscClip
{
    QString Path;
    const Tm2tsFichier *Record = nullptr;
    int64_t Duration = 0;  // 100 ns
};

class TDisque
{
public:
    explicit TDisque(int64_t capacity);
    TDisque(const TDisque &) = delete;
    TDisque &operator=(const TDisque &) = delete;
    virtual ~TDisque() = default;

    // Appends the clip when its file fits into the room left and its frame
    // rate is the disc's (a clip whose rate is unknown goes with any); see
    // TAddClipResult. The file size is read from the file system now.
    TAddClipResult AddClip(const Tm2tsFichier *clip);
    // The rate of the clips added, DefaultFrameRate when none tells it.
    QByteArray FrameRateOrDefault() const;

    // "Disque " and the last two digits of Number: Disque 01 … Disque 99,
    // then Disque 00.
    QString DiscName() const;
    // dossierAVCHD/Project/DiscName/ (always ending with the delimiter).
    QString DiscFolder(const QString &dossierAVCHD) const;
    // Project - DiscName
    QString VolumeLabel() const;

    QList<TDiscClip> Clips;
    TChapters Chapters;
    int32_t ClipCount = 0;
    int64_t TotalSize = 0;
    TDateTime DemuxStart = 0;
    QString StreamBase;
    int64_t TotalDuration = 0;
    // The marks are read by the burn thread while the main thread sets them.
    std::atomic<bool> ReadyForBurn {false};
    std::atomic<bool> ReadyForMux {false};
    std::atomic<bool> Burnt {false};
    TStreams Streams;
    int64_t Capacity = 0;
    QString Project;
    int32_t Number = 0;
    QByteArray FrameRate;  // of the first clip that tells it; empty until then
    // Why the disc's last step failed, in French; empty when it did not.
    // Read and written on the main thread only.
    QString Failure;
};

// A disc made by the split: it also knows which clips of the list it holds.
class TdecoupeDisque : public TDisque
{
public:
    using TDisque::TDisque;

    int32_t FirstClip = 0;
    int32_t LastClip = 0;
};

// Frame rate of a clip, from its record's picture duration; empty when
// unknown.
QByteArray FrameRateOfClip(const Tm2tsFichier *clip);

// Text of a disc in the disc list: Project " : " DiscName.
QString DiscListText(const TDisque &disc);
