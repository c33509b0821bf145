// Playable streams of a media device (one per video or audio output pad of
// its splitter), the two sentinels meaning "nothing to play", and the typed
// lists the devices keep them in.
#pragma once

#include <QString>

#include <vector>

class TMediaDevice;
class TNotifier;
typedef struct _GstPad GstPad;

// A plain ordered list of pointers with a typed Get. An owning list frees
// its items when cleared or destroyed; a collecting list only forgets them.
template <class T> class TTypedList
{
public:
    explicit TTypedList(bool ownsItems = true) : FOwnsItems(ownsItems) { }
    TTypedList(const TTypedList &) = delete;
    TTypedList &operator=(const TTypedList &) = delete;
    ~TTypedList() { Clear(); }

    int Count() const { return int(FItems.size()); }
    // The item at index, or null outside 0 .. Count() - 1.
    T *Get(int index) const { return index >= 0 && index < Count() ? FItems[std::size_t(index)] : nullptr; }
    void Add(T *item) { FItems.push_back(item); }
    void Clear()
    {
        if (FOwnsItems)
            for (T *item : FItems)
                delete item;
        FItems.clear();
    }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    bool FOwnsItems;
    std::vector<T *> FItems;
};

// One stream a device offers for playing.
class TavSource
{
public:
    virtual ~TavSource() = default;

    TMediaDevice *Device() const { return FDevice; }  // not owned; null for the sentinels
    int Number() const { return FNumber; }  // 1-based among the device's pads of its kind
    const QString &Name() const { return FName; }  // device name, then the number when above 1

    // Set by the media system while the source is played.
    TNotifier *Notifier = nullptr;
    GstPad *Pin = nullptr;

protected:
    // Filled in only when number is between 1 and count, the device's
    // number of pads of the source's kind.
    TavSource(TMediaDevice *device, int number, int count);
    explicit TavSource(const QString &sentinelName);

private:
    TMediaDevice *FDevice = nullptr;
    int FNumber = 0;
    QString FName;
};

class TVideoSource : public TavSource
{
public:
    TVideoSource(TMediaDevice *device, int number);
    explicit TVideoSource(const QString &sentinelName) : TavSource(sentinelName) { }
};

class TAudioSource : public TavSource
{
public:
    TAudioSource(TMediaDevice *device, int number);
    explicit TAudioSource(const QString &sentinelName) : TavSource(sentinelName) { }
};

using TMediaDevicesList = TTypedList<TMediaDevice>;
using TVideoSourcesList = TTypedList<TVideoSource>;
using TAudioSourcesList = TTypedList<TAudioSource>;

// Process-wide sources without a device: "Aucune Vidéo" and "Aucun Audio".
extern TVideoSource *const NoVideo;
extern TAudioSource *const NoAudio;
