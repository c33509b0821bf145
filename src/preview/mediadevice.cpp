#include "src/preview/mediadevice.h"

#include "src/platform/pathdelim.h"
#include "src/preview/notifier.h"
#include "src/preview/tstimes.h"

#include <QFile>

#include <gst/gst.h>

#include <sys/stat.h>

#include <atomic>

namespace {

constexpr std::int64_t kNanosecondsPerUnit = 100;

TPinKind PinKindOfCaps(const GstCaps *caps)
{
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps))
        return TPinKind::Other;
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    const char *name = gst_structure_get_name(s);
    gboolean system = FALSE;
    const bool systemStream = gst_structure_get_boolean(s, "systemstream", &system) && system;
    if (g_str_equal(name, "video/x-dv") && systemStream)
        return TPinKind::Interleaved;
    if (systemStream || g_str_equal(name, "application/octet-stream"))
        return TPinKind::ByteStream;
    if (g_str_has_prefix(name, "video/"))
        return TPinKind::Video;
    if (g_str_has_prefix(name, "audio/"))
        return TPinKind::Audio;
    return TPinKind::Other;
}

// Calls visit for every source pad of element.
template <class F> void ForEachSrcPad(GstElement *element, F visit)
{
    GstIterator *pads = gst_element_iterate_src_pads(element);
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(pads, &item)) {
        case GST_ITERATOR_OK:
            visit(GST_PAD(g_value_get_object(&item)));
            g_value_reset(&item);
            break;
        case GST_ITERATOR_RESYNC: gst_iterator_resync(pads); break;
        default: done = true;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(pads);
}

// Waits on graph's bus until splitter has announced its pads; false on an
// error, the end of the stream or the deadline. Other splitters of the
// graph (a parent device's) announce theirs too: they are not waited for.
bool WaitForPads(GstElement *graph, GstElement *splitter)
{
    GstBus *bus = gst_element_get_bus(graph);
    const GstClockTime deadline =
        gst_util_get_timestamp() + TMediaDevice::kProbeTimeout * kNanosecondsPerUnit;
    bool announced = false;
    for (;;) {
        const GstClockTime now = gst_util_get_timestamp();
        if (now >= deadline)
            break;
        GstMessage *message = gst_bus_timed_pop_filtered(
            bus, deadline - now,
            GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_APPLICATION));
        if (!message)
            break;
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        announced = type == GST_MESSAGE_APPLICATION && GST_MESSAGE_SRC(message) == GST_OBJECT(splitter)
                    && gst_structure_has_name(gst_message_get_structure(message), kSplitterPadsMessage);
        gst_message_unref(message);
        if (announced || type != GST_MESSAGE_APPLICATION)
            break;
    }
    gst_object_unref(bus);
    return announced;
}

// Set on a splitter once it has announced all its pads.
constexpr char kAnnouncedKey[] = "tavrel-pads-announced";

// parsebin exposes all the pads of a stream group at once before any data
// leaves it, and says nothing when done; so the first data (or the end of
// the stream) on any pad means every pad is there. The splitter then
// signals "no-more-pads" and posts SplitterPadsMessage.
GstPadProbeReturn AnnounceOnFirstData(GstPad *, GstPadProbeInfo *info, gpointer splitter)
{
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM)
        && GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_EOS)
        return GST_PAD_PROBE_OK;
    auto *announced = static_cast<std::atomic<bool> *>(g_object_get_data(G_OBJECT(splitter), kAnnouncedKey));
    if (!announced->exchange(true)) {
        GstElement *bin = GST_ELEMENT(splitter);
        gst_element_no_more_pads(bin);
        gst_element_post_message(
            bin, gst_message_new_application(GST_OBJECT(bin), gst_structure_new_empty(kSplitterPadsMessage)));
    }
    return GST_PAD_PROBE_REMOVE;
}

// Makes pad an output pad of splitter (a bin), which announces its pads
// once the first data leaves it through this pad when dataAnnounces, and
// at the end of the stream on any pad.
void ExposePad(GstElement *splitter, GstPad *pad, bool dataAnnounces, const char *name = nullptr)
{
    GstPad *ghost = gst_ghost_pad_new(name ? name : GST_PAD_NAME(pad), pad);
    gst_pad_set_active(ghost, TRUE);
    const int data = dataAnnounces ? GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST : 0;
    gst_pad_add_probe(ghost, GstPadProbeType(data | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM), AnnounceOnFirstData,
                      splitter, nullptr);
    gst_element_add_pad(splitter, ghost);
}

void MarkUnannounced(GstElement *splitter)
{
    g_object_set_data_full(G_OBJECT(splitter), kAnnouncedKey, new std::atomic<bool>(false),
                           [](gpointer flag) { delete static_cast<std::atomic<bool> *>(flag); });
}

// parsebin's pads become ghost pads of the splitter bin, so the splitter
// is one element with one output pad per elementary stream.
void OnParserPadAdded(GstElement *, GstPad *pad, gpointer splitter)
{
    ExposePad(GST_ELEMENT(splitter), pad, true);
}

// parsebin goes on splitting a stream while this answers true: a system
// stream (interleaved DV, a transport stream) is then exposed whole.
gboolean SplitUnlessSystemStream(GstElement *, GstPad *, GstCaps *caps, gpointer)
{
    gboolean system = FALSE;
    return !(gst_caps_get_size(caps) > 0
             && gst_structure_get_boolean(gst_caps_get_structure(caps, 0), "systemstream", &system)
             && system);
}

// Only regular files are opened: a named pipe or a device would block the
// probe or never end.
bool IsRegularFile(const QString &path)
{
    struct stat st
    { };
    return stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// "filesrc ! parsebin" in a bin; null when an element is missing. With
// keepSystemStreams a system stream is exposed as it is.
GstElement *MakeSplitter(const QString &path, bool keepSystemStreams)
{
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *parser = gst_element_factory_make("parsebin", nullptr);
    if (!source || !parser) {
        if (source)
            gst_object_unref(source);
        if (parser)
            gst_object_unref(parser);
        return nullptr;
    }
    g_object_set(source, "location", QFile::encodeName(path).constData(), nullptr);
    GstElement *splitter = gst_bin_new(nullptr);
    gst_bin_add_many(GST_BIN(splitter), source, parser, nullptr);
    gst_element_link(source, parser);
    g_signal_connect(parser, "pad-added", G_CALLBACK(OnParserPadAdded), splitter);
    if (keepSystemStreams)
        g_signal_connect(parser, "autoplug-continue", G_CALLBACK(SplitUnlessSystemStream), nullptr);
    MarkUnannounced(splitter);
    return splitter;
}

// The probe only looks at the pads: their data is dropped, so that a pad
// left unlinked does not stop the stream with an error.
GstPadProbeReturn DropData(GstPad *, GstPadProbeInfo *, gpointer)
{
    return GST_PAD_PROBE_DROP;
}

void OnProbedPadAdded(GstElement *, GstPad *pad, gpointer)
{
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      DropData, nullptr, nullptr);
}

// The pad's caps say its pictures are interlaced (as the H.264 parser
// reports coding that allows fields).
bool IsInterlaced(GstPad *pad)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        return false;
    const char *mode = gst_caps_is_empty(caps)
                           ? nullptr
                           : gst_structure_get_string(gst_caps_get_structure(caps, 0), "interlace-mode");
    const bool interlaced = mode && !g_str_equal(mode, "progressive");
    gst_caps_unref(caps);
    return interlaced;
}

}  // namespace

TPinKind PinKindOf(GstPad *pad)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const TPinKind kind = PinKindOfCaps(caps);
    if (caps)
        gst_caps_unref(caps);
    return kind;
}

// --- TMediaDevice

TMediaDevice::TMediaDevice(const QString &deviceName, int number, TMediaDevice *parent)
    : FNumber(number),
      FDisplayName(number >= 2 ? deviceName + QStringLiteral(" #") + QString::number(number) : deviceName),
      FDeviceName(deviceName), FParent(parent)
{ }

TMediaDevice::~TMediaDevice()
{
    FreeSubDevices();
    FAudioSources.Clear();
    FVideoSources.Clear();
}

void TMediaDevice::FreeSubDevices()
{
    FAllVideoSources.Clear();
    FAllAudioSources.Clear();
    FStreamDevices.Clear();
    FDvDevices.Clear();
}

void TMediaDevice::SetPosition(std::int64_t position)
{
    if (FCurrentGraph)
        gst_element_seek(FCurrentGraph, 1.0, GST_FORMAT_TIME,
                         GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                         position * kNanosecondsPerUnit, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
}

std::int64_t TMediaDevice::GetPosition()
{
    gint64 position = 0;
    if (FCurrentGraph && gst_element_query_position(FCurrentGraph, GST_FORMAT_TIME, &position))
        return position / kNanosecondsPerUnit;
    return 0;
}

std::int64_t TMediaDevice::GetDuration()
{
    gint64 duration = 0;
    if (FCurrentGraph && gst_element_query_duration(FCurrentGraph, GST_FORMAT_TIME, &duration)
        && duration > 0)
        return duration / kNanosecondsPerUnit;
    return 0;
}

bool TMediaDevice::IsUnused() const
{
    if (!FOutputFilter)
        return true;
    bool used = false;
    ForEachSrcPad(FOutputFilter, [&used](GstPad *pad) {
        used = used || (gst_pad_is_linked(pad) && PinKindOf(pad) != TPinKind::Other);
    });
    return !used;
}

void TMediaDevice::Probe()
{
    FValid = false;
    GstElement *graph = gst_pipeline_new(nullptr);
    if (!graph)
        return;
    gst_object_ref_sink(graph);
    FProbeGraph = graph;
    int counts[5] = {};
    bool usable = false;
    if (AddToGraph(graph)) {
        if (FOutputFilter)
            g_signal_connect(FOutputFilter, "pad-added", G_CALLBACK(OnProbedPadAdded), nullptr);
        if (FOutputFilter && gst_element_set_state(graph, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE
            && WaitForPads(graph, FOutputFilter)) {
            ForEachSrcPad(FOutputFilter, [&counts](GstPad *pad) {
                if (!gst_pad_is_linked(pad))
                    ++counts[int(PinKindOf(pad))];
            });
            usable = Probing(graph);
        }
        gst_element_set_state(graph, GST_STATE_NULL);
        RemoveFromGraph();
    }
    gst_object_unref(graph);
    FProbeGraph = nullptr;
    if (usable)
        SetPinCounts(counts[int(TPinKind::Video)], counts[int(TPinKind::Audio)],
                     counts[int(TPinKind::Interleaved)], counts[int(TPinKind::ByteStream)]);
}

bool TMediaDevice::Probing(GstElement *)
{
    return true;
}

void TMediaDevice::SetPinCounts(int video, int audio, int interleaved, int byteStream)
{
    // A device with interleaved or byte-stream pads offers its streams
    // through the sub-devices that split them, not as plain sources.
    FInterleavedCount = interleaved;
    FStreamCount = byteStream;
    for (int n = 1; n <= interleaved; ++n)
        FDvDevices.Add(new TDVDevice(this, n));
    for (int n = 1; n <= byteStream; ++n)
        FStreamDevices.Add(new TStreamDevice(this, n));
    if (interleaved == 0 && byteStream == 0) {
        FVideoCount = video;
        FAudioCount = audio;
        for (int n = 1; n <= video; ++n)
            FVideoSources.Add(new TVideoSource(this, n));
        for (int n = 1; n <= audio; ++n)
            FAudioSources.Add(new TAudioSource(this, n));
    }
    FAllVideoSources.Clear();
    FAllAudioSources.Clear();
    for (TVideoSource *source : FVideoSources)
        FAllVideoSources.Add(source);
    for (TAudioSource *source : FAudioSources)
        FAllAudioSources.Add(source);
    for (const TMediaDevicesList *subDevices : {&FDvDevices, &FStreamDevices})
        for (TMediaDevice *device : *subDevices) {
            for (TVideoSource *source : device->AllVideoSources())
                FAllVideoSources.Add(source);
            for (TAudioSource *source : device->AllAudioSources())
                FAllAudioSources.Add(source);
        }
    FValid = true;
}

// --- TAbstractFileDevice

TAbstractFileDevice::TAbstractFileDevice(const QString &fullPath, const QString &deviceName, int number)
    : TMediaDevice(deviceName, number), FFullPath(fullPath)
{ }

// --- Tm2tsFileDevice

Tm2tsFileDevice::Tm2tsFileDevice(const QString &fullPath) : Tm2tsFileDevice(fullPath, false)
{ }

Tm2tsFileDevice::Tm2tsFileDevice(const QString &fullPath, bool keepSystemStreams)
    : TAbstractFileDevice(fullPath, ExtractFileName(fullPath), 1), FKeepSystemStreams(keepSystemStreams)
{
    Probe();
}

Tm2tsFileDevice::Tm2tsFileDevice(const QString &fullPath, const TKnownClip &known)
    : TAbstractFileDevice(fullPath, ExtractFileName(fullPath), 1), FDuration(known.Duration),
      FPictureDuration(known.PictureDuration), FRecordingDate(known.RecordingDate)
{
    if (known.VideoCount > 0 || known.AudioCount > 0)
        SetPinCounts(known.VideoCount, known.AudioCount, 0, 0);
}

Tm2tsFileDevice::~Tm2tsFileDevice()
{
    // The sub-devices leave the graph through this device while it is whole.
    FreeSubDevices();
    if (FCurrentGraph)
        RemoveFromGraph();
}

bool Tm2tsFileDevice::AddToGraph(GstElement *graph)
{
    if (graph && graph == FCurrentGraph)
        return true;
    if (!graph)
        return false;
    if (FCurrentGraph)
        RemoveFromGraph();
    if (!IsRegularFile(FullPath()))
        return false;
    FSplitter = MakeSplitter(FullPath(), FKeepSystemStreams);
    if (!FSplitter)
        return false;
    gst_object_ref_sink(FSplitter);
    if (!gst_bin_add(GST_BIN(graph), FSplitter)) {
        gst_object_unref(FSplitter);
        FSplitter = nullptr;
        return false;
    }
    FCurrentGraph = graph;
    FOutputFilter = FSplitter;
    // A pipeline of the caller's is measured again from the clip's time
    // stamps; the private probe measures once its pads are known.
    if (graph != FProbeGraph) {
        if (const std::int64_t measured = MeasureDuration(nullptr))
            FDuration = measured;
    }
    return true;
}

void Tm2tsFileDevice::RemoveFromGraph()
{
    FOutputPin = nullptr;
    FOutputFilter = nullptr;
    if (FSplitter) {
        if (FCurrentGraph && GST_OBJECT_PARENT(FSplitter) == GST_OBJECT(FCurrentGraph)) {
            gst_element_set_state(FSplitter, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(FCurrentGraph), FSplitter);
        }
        gst_object_unref(FSplitter);
        FSplitter = nullptr;
    }
    FCurrentGraph = nullptr;
}

bool Tm2tsFileDevice::Probing(GstElement *probeGraph)
{
    FInterlaced = false;
    ForEachSrcPad(FOutputFilter, [this](GstPad *pad) {
        FInterlaced = FInterlaced || (PinKindOf(pad) == TPinKind::Video && IsInterlaced(pad));
    });
    FDuration = MeasureDuration(probeGraph);
    FRecordingDate = ReadRecordingDateOfFile(QFile::encodeName(FullPath()).toStdString());
    // A whole system stream may carry no time stamps to measure by.
    return FDuration > 0 || FKeepSystemStreams;
}

std::int64_t Tm2tsFileDevice::MeasureDuration(GstElement *graph)
{
    const TClipTimes times = ReadClipTimes(FullPath());
    if (times.HasVideo && times.PictureDuration > 0)
        FPictureDuration = FrameDurationOf(times.PictureDuration, FInterlaced);
    // A transport stream is timed by its pictures alone: GStreamer's
    // estimate comes from its size and bit rate, which a dead tail (zeros
    // left by a power loss) makes wildly wrong.
    if (times.TransportStream || times.Duration() > 0)
        return times.Duration();
    if (!graph || !FOutputFilter)
        return 0;
    // No time stamps to go by: GStreamer's estimate, asked of a pad
    // (the pipeline itself would ask its sinks, and a probe has none).
    gint64 estimate = 0;
    ForEachSrcPad(FOutputFilter, [&estimate](GstPad *pad) {
        gint64 duration = 0;
        if (estimate <= 0 && gst_pad_query_duration(pad, GST_FORMAT_TIME, &duration))
            estimate = duration;
    });
    return estimate > 0 ? estimate / kNanosecondsPerUnit : 0;
}

// --- TDVDevice

namespace {

// dvdemux makes its pads while it demuxes the first frame, the audio pad
// before the video pad: once video data leaves it (or the stream ends),
// every pad is there. Each pad goes out through a queue, so that a sink
// holding the audio (waiting for the preroll) cannot keep dvdemux from
// making the video pad.
void OnDvPadAdded(GstElement *, GstPad *pad, gpointer splitter)
{
    GstElement *bin = GST_ELEMENT(splitter);
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    if (!queue)
        return;
    gst_bin_add(GST_BIN(bin), queue);
    gst_element_sync_state_with_parent(queue);
    GstPad *input = gst_element_get_static_pad(queue, "sink");
    gst_pad_link(pad, input);
    gst_object_unref(input);
    GstPad *output = gst_element_get_static_pad(queue, "src");
    ExposePad(bin, output, g_str_equal(GST_PAD_NAME(pad), "video"), GST_PAD_NAME(pad));
    gst_object_unref(output);
}

}  // namespace

TDVDevice::TDVDevice(TMediaDevice *parent, int number)
    : TMediaDevice(parent->DisplayName(), number, parent),
      FNotifier(std::make_unique<TNotifier>("DV Notifier")),
      FDvSplitter(gst_element_factory_make("dvdemux", "DV Splitter"))
{
    if (FDvSplitter)
        gst_object_ref_sink(FDvSplitter);
    Probe();
}

TDVDevice::~TDVDevice()
{
    if (CurrentGraph())
        RemoveFromGraph();
    if (FDvSplitter)
        gst_object_unref(FDvSplitter);
}

bool TDVDevice::AddToGraph(GstElement *graph)
{
    if (graph && graph == FCurrentGraph)
        return true;
    if (!graph || !FDvSplitter || !FNotifier->Filter())
        return false;
    if (FCurrentGraph)
        RemoveFromGraph();
    FCurrentGraph = graph;
    if (!Parent()->AddToGraph(graph) || !Parent()->OutputFilter()) {
        FCurrentGraph = nullptr;
        return false;
    }
    // The notifier and the DV splitter in one bin, whose pads are the
    // splitter's and whose input is the notifier's.
    GstElement *splitter = gst_bin_new(nullptr);
    gst_bin_add_many(GST_BIN(splitter), FNotifier->Filter(), FDvSplitter, nullptr);
    gst_element_link(FNotifier->Filter(), FDvSplitter);
    GstPad *input = gst_element_get_static_pad(FNotifier->Filter(), "sink");
    gst_element_add_pad(splitter, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    g_signal_connect(FDvSplitter, "pad-added", G_CALLBACK(OnDvPadAdded), splitter);
    MarkUnannounced(splitter);
    gst_bin_add(GST_BIN(graph), splitter);
    FOutputFilter = splitter;

    FInterleavedSeen = 0;
    GstElement *parentFilter = Parent()->OutputFilter();
    FParentPadHandler = g_signal_connect(parentFilter, "pad-added", G_CALLBACK(OnParentPadAdded), this);
    ForEachSrcPad(parentFilter, [this](GstPad *pad) { OfferParentPad(pad); });
    return true;
}

void TDVDevice::OnParentPadAdded(GstElement *, GstPad *pad, gpointer self)
{
    static_cast<TDVDevice *>(self)->OfferParentPad(pad);
}

void TDVDevice::OfferParentPad(GstPad *pad)
{
    if (PinKindOf(pad) != TPinKind::Interleaved || ++FInterleavedSeen != Number() || gst_pad_is_linked(pad))
        return;
    // The parent exposes its pads from its streaming thread, possibly
    // before the graph has brought the splitter to its own state.
    gst_element_sync_state_with_parent(FOutputFilter);
    GstPad *input = gst_element_get_static_pad(FOutputFilter, "sink");
    if (gst_pad_link(pad, input) == GST_PAD_LINK_OK)
        FOutputPin = pad;
    gst_object_unref(input);
}

void TDVDevice::RemoveFromGraph()
{
    if (!FCurrentGraph)
        return;
    if (GstElement *parentFilter = Parent()->OutputFilter(); parentFilter && FParentPadHandler)
        g_signal_handler_disconnect(parentFilter, FParentPadHandler);
    FParentPadHandler = 0;
    if (GstElement *splitter = FOutputFilter) {
        gst_element_set_state(splitter, GST_STATE_NULL);
        g_signal_handlers_disconnect_by_func(FDvSplitter, reinterpret_cast<gpointer>(OnDvPadAdded), splitter);
        // The notifier and the DV splitter outlive the bin, for the next graph.
        gst_object_ref(FNotifier->Filter());
        gst_object_ref(FDvSplitter);
        gst_bin_remove_many(GST_BIN(splitter), FNotifier->Filter(), FDvSplitter, nullptr);
        gst_bin_remove(GST_BIN(FCurrentGraph), splitter);
        // gst_bin_remove drops the references the bins held; those taken
        // above stand in for them.
        gst_object_unref(FNotifier->Filter());
        gst_object_unref(FDvSplitter);
    }
    Parent()->RemoveFromGraph();
    FOutputPin = nullptr;
    FOutputFilter = nullptr;
    FCurrentGraph = nullptr;
}

// --- TStreamDevice

TStreamDevice::TStreamDevice(TMediaDevice *parent, int number)
    : TMediaDevice(parent->DisplayName(), number, parent)
{
    Probe();
}

TStreamDevice::~TStreamDevice() = default;

bool TStreamDevice::AddToGraph(GstElement *graph)
{
    FCurrentGraph = graph;
    return graph != nullptr;
}

void TStreamDevice::RemoveFromGraph()
{
    FCurrentGraph = nullptr;
}
