// Media devices: things that produce media streams (here .m2ts clip files).
// A device puts its splitter into a GStreamer pipeline and takes it out
// again, seeks, and offers its streams as video and audio sources. When it
// is created it probes itself once in a private pipeline on the calling
// thread; for a clip file the probe also measures the clip's duration.
//
// Times are int64_t counts of 100 ns. gst_init must have been called once
// in the process before any device is created.
#pragma once

#include "media/recordingdate.h"
#include "src/preview/avsource.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
typedef unsigned long gulong;
typedef void *gpointer;

// Name of the application message a splitter posts on its pipeline's bus
// once it has added all its pads (when it also emits "no-more-pads").
inline constexpr char kSplitterPadsMessage[] = "tavrel-splitter-pads";

// What a splitter's output pad carries, from the major type of its caps.
enum class TPinKind { Other, Video, Audio, Interleaved, ByteStream };

// The kind of a pad, from its current caps (Other when it has none yet).
TPinKind PinKindOf(GstPad *pad);

class TMediaDevice
{
public:
    TMediaDevice(const TMediaDevice &) = delete;
    TMediaDevice &operator=(const TMediaDevice &) = delete;
    virtual ~TMediaDevice();

    // Puts the device's splitter into graph (a pipeline the caller owns);
    // adding it again to the graph it is in succeeds at once. The splitter
    // announces its output pads through its "pad-added" and "no-more-pads"
    // signals once the pipeline leaves the NULL state.
    virtual bool AddToGraph(GstElement *graph) = 0;
    // Takes the splitter out of the graph it is in. Stop the graph first
    // (state NULL): a splitter cannot leave while the sinks it feeds hold
    // its streaming thread waiting for preroll. Destroying a device that is
    // in a graph removes it the same way.
    virtual void RemoveFromGraph() = 0;
    // Seeking, through the graph the device is in (nothing out of one).
    // SetPosition sets the current position, leaving the stop position as
    // it is; GetDuration is 0 when the graph cannot tell.
    virtual void SetPosition(std::int64_t position);
    virtual std::int64_t GetPosition();
    virtual std::int64_t GetDuration();

    // True when none of OutputFilter's output pads is linked with a video,
    // audio, interleaved or byte-stream type (true without OutputFilter).
    bool IsUnused() const;

    const TMediaDevicesList &DvDevices() const { return FDvDevices; }
    const TMediaDevicesList &StreamDevices() const { return FStreamDevices; }
    const TVideoSourcesList &VideoSources() const { return FVideoSources; }
    const TAudioSourcesList &AudioSources() const { return FAudioSources; }
    // Own sources, then those of the DV devices, then those of the stream
    // devices, recursively. Items belong to their devices.
    const TVideoSourcesList &AllVideoSources() const { return FAllVideoSources; }
    const TAudioSourcesList &AllAudioSources() const { return FAllAudioSources; }

    int Number() const { return FNumber; }
    const QString &DisplayName() const { return FDisplayName; }
    const QString &DeviceName() const { return FDeviceName; }
    TMediaDevice *Parent() const { return FParent; }
    GstElement *CurrentGraph() const { return FCurrentGraph; }
    GstElement *OutputFilter() const { return FOutputFilter; }
    GstPad *OutputPin() const { return FOutputPin; }

    int VideoCount() const { return FVideoCount; }
    int AudioCount() const { return FAudioCount; }
    int StreamCount() const { return FStreamCount; }
    int InterleavedCount() const { return FInterleavedCount; }
    bool Valid() const { return FValid; }

    // Longest a probe waits for the splitter to announce its pads.
    static constexpr std::int64_t kProbeTimeout = 100'000'000;  // 10 s

protected:
    TMediaDevice(const QString &deviceName, int number, TMediaDevice *parent = nullptr);

    // The probe; called at the end of the most derived constructor. Errors
    // are swallowed and leave the device with what was found so far.
    void Probe();
    // Called by the probe while the private pipeline is paused and every
    // pad is announced, for measurements only that pipeline can give;
    // false when the source proves unusable (the probe then finds nothing).
    virtual bool Probing(GstElement *probeGraph);
    // Creates a sub-device for each interleaved and byte-stream pad counted
    // and, only when there are none, the video and audio sources; collects
    // the lists and marks the device valid.
    void SetPinCounts(int video, int audio, int interleaved, int byteStream);
    // Frees the sub-devices and empties the collected lists. A device with
    // sub-devices calls it first in its destructor: they may still have to
    // take it out of a graph.
    void FreeSubDevices();

    GstElement *FProbeGraph = nullptr;  // during the probe only
    GstElement *FCurrentGraph = nullptr;  // not owned
    GstElement *FOutputFilter = nullptr;  // while in a graph
    GstPad *FOutputPin = nullptr;

private:
    TMediaDevicesList FDvDevices;
    TMediaDevicesList FStreamDevices;
    TVideoSourcesList FVideoSources;
    TAudioSourcesList FAudioSources;
    int FNumber;
    QString FDisplayName;
    QString FDeviceName;
    TVideoSourcesList FAllVideoSources {false};
    TAudioSourcesList FAllAudioSources {false};
    TMediaDevice *FParent;
    int FVideoCount = 0, FAudioCount = 0, FStreamCount = 0, FInterleavedCount = 0;
    bool FValid = false;
};

// A device reading a file by path.
class TAbstractFileDevice : public TMediaDevice
{
public:
    const QString &FullPath() const { return FFullPath; }

protected:
    TAbstractFileDevice(const QString &fullPath, const QString &deviceName, int number);

private:
    QString FFullPath;
};

// Facts about a clip given instead of measured: a device made with them
// never opens its file until it is put into a graph. Meant for code that
// needs clip records of a chosen duration without clip files (the disc
// split, the chapters and the clip list are tested and benchmarked so).
struct TKnownClip
{
    std::int64_t Duration = 0;
    int VideoCount = 1;
    int AudioCount = 1;
    std::int64_t PictureDuration = 0;  // 0: not known
    std::optional<TRecordingDate> RecordingDate = std::nullopt;
};

// The device of one .m2ts clip: its splitter is "filesrc ! parsebin" in a
// bin, which exposes one pad per elementary stream.
class Tm2tsFileDevice : public TAbstractFileDevice
{
public:
    // Probes the clip: its pads and its duration. A file that cannot be
    // read or split gives no source, Duration 0 and Valid false.
    explicit Tm2tsFileDevice(const QString &fullPath);
    // Takes the facts given; the file is not opened.
    Tm2tsFileDevice(const QString &fullPath, const TKnownClip &known);
    ~Tm2tsFileDevice() override;

    bool AddToGraph(GstElement *graph) override;
    void RemoveFromGraph() override;

    GstElement *Splitter() const { return FSplitter; }
    // How long the clip plays once joined to others: its number of video
    // pictures times the picture duration (for a clip without video, its
    // audio duration). 0 until measured, and when the clip cannot be read.
    std::int64_t Duration() const { return FDuration; }
    // How long one video frame lasts, from the steps between the time
    // stamps of the first pictures (two of them for interlaced video whose
    // fields are stored apart); 0 when unknown or without video.
    std::int64_t PictureDuration() const { return FPictureDuration; }
    // When the camcorder filmed the clip, as its clock showed it: read once
    // by the probe from the start of the clip's H.264 stream; none for a
    // clip that does not carry it.
    const std::optional<TRecordingDate> &RecordingDate() const { return FRecordingDate; }

protected:
    // keepSystemStreams: a system stream is exposed whole (see
    // TSystemStreamFileDevice).
    Tm2tsFileDevice(const QString &fullPath, bool keepSystemStreams);
    bool Probing(GstElement *probeGraph) override;

private:
    // The clip's duration from its time stamps, else GStreamer's estimate
    // from graph (a pipeline holding the splitter); 0 when neither is known.
    // Keeps the picture duration the time stamps give.
    std::int64_t MeasureDuration(GstElement *graph);

    GstElement *FSplitter = nullptr;
    std::int64_t FDuration = 0;
    std::int64_t FPictureDuration = 0;
    std::optional<TRecordingDate> FRecordingDate;
    bool FInterlaced = false;  // from the probe's video pad
    bool FKeepSystemStreams = false;
};

// A device of a media file whose system stream is exposed whole instead of
// being split into its elementary streams: a DV file gives one interleaved
// pad, which a TDVDevice splits; a transport stream gives one byte-stream
// pad, whose TStreamDevice offers nothing. Its own sources are none then;
// the sub-devices' are in AllVideoSources and AllAudioSources.
class TSystemStreamFileDevice : public Tm2tsFileDevice
{
public:
    explicit TSystemStreamFileDevice(const QString &fullPath) : Tm2tsFileDevice(fullPath, true) { }
};

// The sub-device of one interleaved (DV) pad of its parent: "DV Notifier"
// (a TNotifier reporting the DV format) then "DV Splitter" (dvdemux), in a
// bin that is its output filter, with one video and one audio pad.
class TDVDevice : public TMediaDevice
{
public:
    // Probes pad number of parent's interleaved pads.
    TDVDevice(TMediaDevice *parent, int number);
    ~TDVDevice() override;

    // Joins the parent to graph as well and links its interleaved pad
    // Number to the notifier, now or when the parent exposes it.
    bool AddToGraph(GstElement *graph) override;
    // Leaves the graph, and has the parent leave it.
    void RemoveFromGraph() override;

    TNotifier *Notifier() const { return FNotifier.get(); }
    GstElement *DvSplitter() const { return FDvSplitter; }

private:
    static void OnParentPadAdded(GstElement *parentFilter, GstPad *pad, gpointer self);
    // Links pad when it is the parent's interleaved pad number Number.
    void OfferParentPad(GstPad *pad);

    std::unique_ptr<TNotifier> FNotifier;
    GstElement *FDvSplitter = nullptr;
    gulong FParentPadHandler = 0;
    std::atomic<int> FInterleavedSeen {0};
};

// The sub-device of one byte-stream pad: it only follows the graph it is
// put into and offers no source.
class TStreamDevice : public TMediaDevice
{
public:
    TStreamDevice(TMediaDevice *parent, int number);
    ~TStreamDevice() override;

    bool AddToGraph(GstElement *graph) override;
    void RemoveFromGraph() override;
};
