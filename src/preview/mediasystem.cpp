#include "src/preview/mediasystem.h"

#include "src/preview/mediadevice.h"
#include "src/preview/notifier.h"
#include "src/platform/logging.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <array>
#include <cmath>
#include <map>

std::int64_t CurrentPosition = 0;

namespace {

constexpr QEvent::Type kBusEventType = QEvent::Type(QEvent::User + 8);

// A pipeline message that matters to the UI thread.
class TBusEvent : public QEvent
{
public:
    TBusEvent(GstMessageType message, int generation, QString text)
        : QEvent(kBusEventType), Message(message), Generation(generation), Text(std::move(text))
    { }
    const GstMessageType Message;
    const int Generation;  // of the pipeline build the message came from
    const QString Text;
};

constexpr QEvent::Type kMissingStreamEventType = QEvent::Type(QEvent::User + 9);

// Wakes a wait for a stepped picture when no video window is there to be
// woken by the frame event.
constexpr QEvent::Type kFrameWakeEventType = QEvent::Type(QEvent::User + 10);

// A step this long or shorter goes picture by picture in the paused video
// sink; farther, a seek decodes less than the pictures stepped over.
constexpr std::int64_t kMostPicturesStepped = 2;

// A chain whose stream the clip does not have.
class TMissingStreamEvent : public QEvent
{
public:
    TMissingStreamEvent(GstElement *chain, int generation)
        : QEvent(kMissingStreamEventType), Chain(chain), Generation(generation)
    { }
    GstElement *const Chain;
    const int Generation;
};

class TFrameEvent : public TPendingEvent
{
public:
    explicit TFrameEvent(TFlag pending) : TPendingEvent(kFrameEventType, std::move(pending)) { }
};

GstBusSyncReply OnBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *system = static_cast<TMediaSystem *>(data);
    const int generation = system->Generation();
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_ASYNC_DONE || type == GST_MESSAGE_EOS)
        QCoreApplication::postEvent(system, new TBusEvent(type, generation, QString()));
    else if (type == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text =
            QStringLiteral("%1: %2 (%3)")
                .arg(QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))),
                     QString::fromUtf8(error->message), QString::fromUtf8(debug ? debug : ""));
        g_error_free(error);
        g_free(debug);
        QCoreApplication::postEvent(system, new TBusEvent(type, generation, text));
    }
    // Nobody pops the bus: every message is dropped here.
    return GST_BUS_DROP;
}

GstElement *Make(const char *factory, const char *name = nullptr)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element)
        qCWarning(lcPreview) << "GStreamer element missing:" << factory;
    return element;
}

// A bin of the elements given, linked in order after the first (a
// decodebin, linked when it exposes its pad), with a ghost sink pad on a
// queue in front, so that each chain streams on a thread of its own and
// the splitter never waits for one sink to preroll before feeding the
// other.
GstElement *MakeChain(const char *name, std::initializer_list<GstElement *> elements)
{
    GstElement *bin = gst_bin_new(name);
    gst_object_ref_sink(bin);
    GstElement *queue = Make("queue");
    gst_bin_add(GST_BIN(bin), queue);
    GstElement *previous = nullptr;
    for (GstElement *element : elements) {
        gst_bin_add(GST_BIN(bin), element);
        if (previous)
            gst_element_link(previous, element);
        previous = element;
    }
    GstElement *decoder = *elements.begin();
    gst_element_link(queue, decoder);
    GstPad *queueSink = gst_element_get_static_pad(queue, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", queueSink));
    gst_object_unref(queueSink);
    return bin;
}

// decodebin exposes its decoded pad late; it joins the rest of the chain.
void OnDecodedPad(GstElement *, GstPad *pad, gpointer next)
{
    GstPad *sink = gst_element_get_static_pad(GST_ELEMENT(next), "sink");
    if (!gst_pad_is_linked(sink))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

// How long one picture of these caps lasts, as the decoder counts it;
// GST_CLOCK_TIME_NONE when the caps give no picture rate.
GstClockTime PictureDuration(const GstStructure *caps)
{
    int numerator = 0, denominator = 0;
    if (!gst_structure_get_fraction(caps, "framerate", &numerator, &denominator) || numerator <= 0
        || denominator <= 0)
        return GST_CLOCK_TIME_NONE;
    return gst_util_uint64_scale_int(GST_SECOND, denominator, numerator);
}

// The picture's own time and duration in the pipeline's stream time (ns):
// after an accurate seek the decoder cuts the picture holding the target
// so that it seems to start there, leaving its end where it was. Such a
// picture starts a whole picture before its end. False without a time.
bool PictureTimes(GstSample *sample, GstBuffer *buffer, const GstStructure *caps, guint64 &start,
                  GstClockTime &duration)
{
    if (!GST_BUFFER_PTS_IS_VALID(buffer))
        return false;
    const GstSegment *segment = gst_sample_get_segment(sample);
    GstClockTime pts = GST_BUFFER_PTS(buffer);
    duration = GST_BUFFER_DURATION(buffer);
    const GstClockTime whole = PictureDuration(caps);
    if (GST_CLOCK_TIME_IS_VALID(duration) && GST_CLOCK_TIME_IS_VALID(whole) && pts == segment->start
        && duration < whole && pts + duration >= whole) {
        pts = pts + duration - whole;
        duration = whole;
    }
    return gst_segment_to_stream_time_full(segment, GST_FORMAT_TIME, pts, &start) > 0;
}

GstFlowReturn OnAppSample(GstAppSink *sink, bool preroll, gpointer system)
{
    GstSample *sample = preroll ? gst_app_sink_pull_preroll(sink) : gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    const GstStructure *s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    auto frame = std::make_shared<TVideoFrame>();
    gst_structure_get_int(s, "width", &frame->Width);
    gst_structure_get_int(s, "height", &frame->Height);
    frame->Stride = frame->Width * 4;
    std::int64_t time = -1;
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        if (map.size >= gsize(frame->Stride) * gsize(frame->Height)) {
            frame->Pixels =
                QByteArray(reinterpret_cast<const char *>(map.data), frame->Stride * frame->Height);
            guint64 start = 0;
            GstClockTime duration = GST_CLOCK_TIME_NONE;
            if (PictureTimes(sample, buffer, s, start, duration))
                time = std::int64_t(start / 100);
            if (GST_CLOCK_TIME_IS_VALID(duration))
                frame->Duration = std::int64_t(duration / 100);
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    if (!frame->Pixels.isEmpty())
        static_cast<TMediaSystem *>(system)->FrameArrived(std::move(frame), time);
    return GST_FLOW_OK;
}

GstFlowReturn OnAppPreroll(GstAppSink *sink, gpointer system)
{
    return OnAppSample(sink, true, system);
}

GstFlowReturn OnAppNewSample(GstAppSink *sink, gpointer system)
{
    return OnAppSample(sink, false, system);
}

// A clip's duration as the clip list knows it (its pictures counted); for
// other devices, the pipeline's once it has paused.
std::int64_t ClipDuration(TMediaDevice *device)
{
    if (auto *clip = dynamic_cast<Tm2tsFileDevice *>(device); clip && clip->Duration() > 0)
        return clip->Duration();
    return device->GetDuration();
}

}  // namespace

// Which splitter pad feeds which chain. The splitter announces its pads on
// a streaming thread once the pipeline starts; each wanted pad is linked
// to its chain there, the others drop their data.
struct TMediaSystem::TRouting
{
    struct TSide
    {
        GstElement *Splitter = nullptr;  // of the source's device
        int Index = -1;  // among the splitter's pads of the kind
        GstPad *Sink = nullptr;  // the chain's sink pad
        GstElement *Chain = nullptr;
        bool Linked = false;
    };
    TMediaSystem *System;
    std::mutex Lock;
    TSide Video, Audio;
    std::map<GstElement *, std::array<int, 5>> Seen;  // pads seen per splitter and kind

    void Route(TSide &side, GstElement *chain, TMediaDevice *device, int number);
    static void OnPadAdded(GstElement *splitter, GstPad *pad, gpointer self);
    static void OnNoMorePads(GstElement *splitter, gpointer self);
};

void TMediaSystem::TRouting::OnPadAdded(GstElement *splitter, GstPad *pad, gpointer self)
{
    auto *routing = static_cast<TRouting *>(self);
    const TPinKind kind = PinKindOf(pad);
    std::lock_guard lock(routing->Lock);
    const int index = routing->Seen[splitter][int(kind)]++;
    TSide *side = kind == TPinKind::Video   ? &routing->Video
                  : kind == TPinKind::Audio ? &routing->Audio
                                            : nullptr;
    if (side && side->Splitter == splitter && side->Index == index && !side->Linked) {
        if (kind == TPinKind::Audio) {
            GstCaps *caps = gst_pad_get_current_caps(pad);
            if (!caps)
                caps = gst_pad_query_caps(pad, nullptr);
            SetAudioCodecName(AudioCodecName(MediaTypeOfCaps(caps)));
            if (caps)
                gst_caps_unref(caps);
        }
        side->Linked = gst_pad_link(pad, side->Sink) == GST_PAD_LINK_OK;
        if (side->Linked)
            return;
    }
    gst_pad_add_probe(
        pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        [](GstPad *, GstPadProbeInfo *, gpointer) { return GST_PAD_PROBE_DROP; }, nullptr, nullptr);
}

// A wanted stream the splitter does not have would hold its chain waiting
// for a first picture or sample for ever, and the pause with it: the UI
// thread takes that chain out of the pipeline.
void TMediaSystem::TRouting::OnNoMorePads(GstElement *splitter, gpointer self)
{
    auto *routing = static_cast<TRouting *>(self);
    std::lock_guard lock(routing->Lock);
    for (TSide *side : {&routing->Video, &routing->Audio})
        if (side->Splitter == splitter && side->Index >= 0 && !side->Linked && side->Chain) {
            qCWarning(lcPreview) << "The clip has no stream" << side->Index + 1 << "of the kind wanted";
            QCoreApplication::postEvent(routing->System,
                                        new TMissingStreamEvent(side->Chain, routing->System->Generation()));
        }
}

TMediaSystem::TMediaSystem() : FRouting(std::make_unique<TRouting>())
{
    FRouting->System = this;
    // main() initialises GStreamer; a program that did not (a test of the
    // window) gets it here.
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    FGraph = gst_pipeline_new("Tavrel preview");
    gst_object_ref_sink(FGraph);
    GstBus *bus = gst_element_get_bus(FGraph);
    gst_bus_set_sync_handler(bus, OnBusMessage, this, nullptr);
    gst_object_unref(bus);
    FVideoNotifier = std::make_unique<TNotifier>("Video Native Notifier");
    FAudioNotifier = std::make_unique<TNotifier>("Audio Native Notifier");
    BuildChains();
}

TMediaSystem::~TMediaSystem()
{
    Teardown();
    GstBus *bus = gst_element_get_bus(FGraph);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(FGraph);
    gst_object_unref(FVideoChain);
    gst_object_unref(FAudioChain);
}

GstElement *TMediaSystem::MakeAudioRenderer()
{
    // autoaudiosink quietly plays into a fakesink that keeps no time when
    // no sound device answers; a clocked fakesink keeps playing at the
    // speed of the clip instead.
    GstElement *automatic = Make("autoaudiosink", "Audio Renderer");
    if (automatic) {
        gst_object_ref_sink(automatic);
        bool real = gst_element_set_state(automatic, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        GstIterator *children = gst_bin_iterate_sinks(GST_BIN(automatic));
        GValue child = G_VALUE_INIT;
        if (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
            real = real && !g_str_equal(G_OBJECT_TYPE_NAME(g_value_get_object(&child)), "GstFakeSink");
            g_value_unset(&child);
        } else {
            real = false;
        }
        gst_iterator_free(children);
        gst_element_set_state(automatic, GST_STATE_NULL);
        if (real)
            return automatic;
        gst_object_unref(automatic);
    }
    FAudioOutput = false;
    qCInfo(lcPreview) << "No sound device: the audio plays into a clocked fakesink";
    GstElement *silent = Make("fakesink", "Audio Renderer");
    g_object_set(silent, "sync", TRUE, nullptr);
    gst_object_ref_sink(silent);
    return silent;
}

void TMediaSystem::BuildChains()
{
    GstElement *videoDecoder = Make("decodebin", "Video Decoder");
    GstElement *videoNotifier = FVideoNotifier->Filter();
    GstElement *scale = Make("videoscale");
    GstElement *convert = Make("videoconvert");
    GstElement *size = Make("capsfilter");
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                        kFrameWidth, "height", G_TYPE_INT, kFrameHeight, "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(size, "caps", caps, nullptr);
    gst_caps_unref(caps);
    // Pictures are scaled inside the 320 × 180 frame with black borders,
    // keeping the picture's own aspect.
    g_object_set(scale, "add-borders", TRUE, nullptr);
    GstElement *renderer = Make("appsink", "Video Renderer");
    GstAppSinkCallbacks callbacks {};
    callbacks.new_preroll = OnAppPreroll;
    callbacks.new_sample = OnAppNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(renderer), &callbacks, this, nullptr);
    g_object_set(renderer, "enable-last-sample", FALSE, "max-buffers", 2, nullptr);
    FVideoRenderer = renderer;
    FVideoChain = MakeChain("Video Chain", {videoDecoder, videoNotifier, scale, convert, size, renderer});
    g_signal_connect(videoDecoder, "pad-added", G_CALLBACK(OnDecodedPad), videoNotifier);

    GstElement *audioDecoder = Make("decodebin", "Audio Decoder");
    GstElement *audioNotifier = FAudioNotifier->Filter();
    FVolume = Make("volume");
    GstElement *output = MakeAudioRenderer();
    FAudioChain = MakeChain("Audio Chain", {audioDecoder, audioNotifier, Make("audioconvert"),
                                            Make("audioresample"), FVolume, output});
    gst_object_unref(output);
    g_signal_connect(audioDecoder, "pad-added", G_CALLBACK(OnDecodedPad), audioNotifier);
}

void TMediaSystem::SetVideoWindow(QObject *window)
{
    std::lock_guard lock(FFrameLock);
    FVideoWindow = window;
}

void TMediaSystem::SetNotifyWindow(QObject *window)
{
    FVideoNotifier->SetNotifyWindow(window);
    FAudioNotifier->SetNotifyWindow(window);
}

void TMediaSystem::FrameArrived(std::shared_ptr<TVideoFrame> frame, std::int64_t pipelineTime)
{
    if (pipelineTime >= 0) {
        std::int64_t unknown = -1;
        FOrigin.compare_exchange_strong(unknown, pipelineTime);
        frame->Time = std::max<std::int64_t>(pipelineTime - FOrigin, 0);
    }
    std::lock_guard lock(FFrameLock);
    FLastFrame = std::move(frame);
    if (FVideoWindow && TPendingEvent::Claim(FFramePending))
        QCoreApplication::postEvent(FVideoWindow, new TFrameEvent(FFramePending));
    if (FAwaitingFrame.exchange(false))
        QCoreApplication::postEvent(this, new QEvent(kFrameWakeEventType));
}

std::shared_ptr<const TVideoFrame> TMediaSystem::LastFrame() const
{
    std::lock_guard lock(FFrameLock);
    return FLastFrame;
}

bool TMediaSystem::AddDevice(TMediaDevice *device)
{
    const bool joined = device->CurrentGraph() == FGraph;
    if (!device->AddToGraph(FGraph) || !device->OutputFilter())
        return false;
    if (!joined) {
        g_signal_connect(device->OutputFilter(), "pad-added", G_CALLBACK(TRouting::OnPadAdded),
                         FRouting.get());
        g_signal_connect(device->OutputFilter(), "no-more-pads", G_CALLBACK(TRouting::OnNoMorePads),
                         FRouting.get());
    }
    return true;
}

// The chain's sink pad, the splitter and the index the routing waits for.
void TMediaSystem::TRouting::Route(TSide &side, GstElement *chain, TMediaDevice *device, int number)
{
    std::lock_guard guard(Lock);
    side.Splitter = device->OutputFilter();
    side.Index = number - 1;
    side.Sink = gst_element_get_static_pad(chain, "sink");
    gst_object_unref(side.Sink);  // the chain keeps its pad
    side.Chain = chain;
    side.Linked = false;
}

bool TMediaSystem::AddVideo(TVideoSource *source)
{
    if (source == FVideoSource)
        return true;
    gst_element_set_state(FGraph, GST_STATE_NULL);
    TMediaDevice *device = source->Device();
    if (!device || !AddDevice(device))
        return false;
    FVideoSource = source;
    source->Notifier = FVideoNotifier.get();
    FVideoNotifier->Reset();
    FVideoNotifier->ReportFormat = true;
    FVideoNotifier->ReportPicture = true;
    FVideoNotifier->TrackTiming = true;
    gst_bin_add(GST_BIN(FGraph), FVideoChain);
    FRouting->Route(FRouting->Video, FVideoChain, device, source->Number());
    return true;
}

bool TMediaSystem::AddAudio(TAudioSource *source)
{
    if (source == FAudioSource)
        return true;
    gst_element_set_state(FGraph, GST_STATE_NULL);
    TMediaDevice *device = source->Device();
    if (!device || !AddDevice(device))
        return false;
    FAudioSource = source;
    source->Notifier = FAudioNotifier.get();
    FAudioNotifier->Reset();
    FAudioNotifier->ReportAudio = true;
    FAudioNotifier->TrackTiming = false;
    SetAudioCodecName("???");
    gst_bin_add(GST_BIN(FGraph), FAudioChain);
    FRouting->Route(FRouting->Audio, FAudioChain, device, source->Number());
    return true;
}

void TMediaSystem::Teardown()
{
    ++FGeneration;
    gst_element_set_state(FGraph, GST_STATE_NULL);
    for (GstElement *chain : {FVideoChain, FAudioChain})
        if (chain && GST_OBJECT_PARENT(chain) == GST_OBJECT(FGraph))
            gst_bin_remove(GST_BIN(FGraph), chain);
    for (TavSource *source :
         {static_cast<TavSource *>(FVideoSource), static_cast<TavSource *>(FAudioSource)}) {
        source->Notifier = nullptr;
        source->Pin = nullptr;
        if (TMediaDevice *device = source->Device(); device && device->CurrentGraph() == FGraph)
            device->RemoveFromGraph();
    }
    FVideoNotifier->ReportFormat = false;
    FAudioNotifier->ReportAudio = false;
    {
        std::lock_guard lock(FRouting->Lock);
        FRouting->Video = TRouting::TSide();
        FRouting->Audio = TRouting::TSide();
        FRouting->Seen.clear();
    }
    FVideoSource = NoVideo;
    FAudioSource = NoAudio;
    FStepped = false;
    FOrigin = -1;
    std::lock_guard lock(FFrameLock);
    FLastFrame.reset();
    if (FVideoWindow)
        QCoreApplication::postEvent(FVideoWindow, new QEvent(kFrameEventType));
}

bool TMediaSystem::SetSources(TVideoSource *video, TAudioSource *audio)
{
    const bool wasRunning = IsRunning();
    TVideoSource *newVideo = video ? video : FVideoSource;
    TAudioSource *newAudio = audio ? audio : FAudioSource;
    // No sound is played at maximum speed.
    if (FMaxSpeed == 1)
        newAudio = NoAudio;
    bool result = true;
    if (newVideo != FVideoSource || newAudio != FAudioSource) {
        // A splitter cannot lose one stream and keep the other across a
        // stop (its pads are made again): both sides are built afresh.
        Teardown();
        if (newVideo != NoVideo && !AddVideo(newVideo)) {
            Teardown();
            FVideoSource = newVideo;  // recorded all the same: the viewer lays out its controls
            result = false;
        } else if (newAudio != NoAudio && !AddAudio(newAudio)) {
            Teardown();
            FAudioSource = newAudio;
        }
    }
    if (result) {
        SetVolume(0);
        SetMaxSpeed(FMaxSpeed);
        FPaused = false;
        FFailed = false;
        gst_element_set_state(FGraph, GST_STATE_PAUSED);
        WaitPaused();
    }
    FDuration = 0;
    if (TavSource *source = HasVideo() ? static_cast<TavSource *>(FVideoSource) : FAudioSource;
        source->Device())
        FDuration = ClipDuration(source->Device());
    if (!result)
        return false;
    if (wasRunning)
        Play();
    return true;
}

bool TMediaSystem::Close()
{
    Teardown();
    FDuration = 0;
    return true;
}

bool TMediaSystem::IsRunning() const
{
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(FGraph, &state, &pending, 0);
    return (pending == GST_STATE_VOID_PENDING ? state : pending) == GST_STATE_PLAYING;
}

void TMediaSystem::Play()
{
    if (!HasVideo() && !HasAudio())
        return;
    if (FStepped)
        Seek(CurrentPosition, false);
    gst_element_set_state(FGraph, GST_STATE_PLAYING);
}

void TMediaSystem::Pause()
{
    if (HasVideo() || HasAudio())
        gst_element_set_state(FGraph, GST_STATE_PAUSED);
}

std::int64_t TMediaSystem::PictureTime() const
{
    const auto shown = HasVideo() ? LastFrame() : nullptr;
    return shown ? shown->Time : -1;
}

std::int64_t TMediaSystem::StepBase() const
{
    const auto shown = HasVideo() ? LastFrame() : nullptr;
    if (!shown || shown->Time < 0)
        return CurrentPosition;
    return shown->Time + std::max<std::int64_t>(shown->Duration, 0) / 2;
}

std::int64_t TMediaSystem::GetPosition()
{
    if (const std::int64_t shown = PictureTime(); shown >= 0)
        return CurrentPosition = shown;
    if (!IsRunning())
        return CurrentPosition;
    TavSource *source = HasVideo() ? static_cast<TavSource *>(FVideoSource) : FAudioSource;
    if (source->Device() && source->Device()->CurrentGraph() == FGraph)
        CurrentPosition = source->Device()->GetPosition() - std::max<std::int64_t>(FOrigin, 0);
    return CurrentPosition;
}

void TMediaSystem::SetPosition(std::int64_t position)
{
    if (position < 0)
        position = 0;
    if (position + 100'000 > FDuration)
        position = FDuration - 100'000;
    CurrentPosition = position;
    if (!StepTo(position))
        Seek(position, true);
    // The picture shown tells where the system is, whatever was asked.
    if (const std::int64_t shown = PictureTime(); shown >= 0)
        CurrentPosition = shown;
}

bool TMediaSystem::StepTo(std::int64_t position)
{
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    if (!HasVideo() || FFailed || GST_OBJECT_PARENT(FVideoChain) != GST_OBJECT(FGraph)
        || gst_element_get_state(FGraph, &state, &pending, 0) != GST_STATE_CHANGE_SUCCESS
        || state != GST_STATE_PAUSED)
        return false;
    const auto shown = LastFrame();
    if (!shown || shown->Time < 0 || shown->Duration <= 0 || position < shown->Time)
        return false;
    const std::int64_t pictures = (position - shown->Time) / shown->Duration;
    if (pictures < 1 || pictures > kMostPicturesStepped)
        return false;
    // Only the video sink steps; the audio sink keeps its sound until the
    // seek that starts playing.
    FStepped = true;
    FAwaitingFrame = true;
    const int generation = FGeneration;
    const bool arrived =
        gst_element_send_event(FVideoRenderer,
                               gst_event_new_step(GST_FORMAT_BUFFERS, pictures, 1.0, TRUE, FALSE))
        && WaitFor([&] { return LastFrame() != shown; });
    FAwaitingFrame = false;
    // A clip change or close inside the wait has its own state.
    if (generation != FGeneration)
        return true;
    // A picture missing from the stream: the seek finds the right one.
    const auto now = LastFrame();
    return arrived && now && now->Time <= position
           && (now->Duration <= 0 || position < now->Time + now->Duration);
}

void TMediaSystem::Seek(std::int64_t position, bool wait)
{
    if (!HasVideo() && !HasAudio())
        return;
    TavSource *source = HasVideo() ? static_cast<TavSource *>(FVideoSource) : FAudioSource;
    TMediaDevice *device = source->Device();
    if (!device || device->CurrentGraph() != FGraph)
        return;
    const bool wasRunning = IsRunning();
    const int generation = FGeneration;
    FPaused = false;
    FFailed = false;
    FStepped = false;
    if (wasRunning)
        gst_element_set_state(FGraph, GST_STATE_PAUSED);
    // A position names a whole 100-ns unit, in which a picture may start a
    // few nanoseconds late: the seek goes to the unit's end, so that such
    // a picture is the one shown.
    device->SetPosition(std::max<std::int64_t>(FOrigin, 0) + position + 1);
    if (wait)
        WaitPaused();
    // A clip change or close inside the wait has its own state.
    if (wasRunning && generation == FGeneration)
        Play();
}

bool TMediaSystem::WaitFor(const std::function<bool()> &condition)
{
    const QDeadlineTimer deadline(kPauseTimeoutMs);
    QTimer tick;
    tick.start(10);
    while (!FFailed && !condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return !FFailed && condition();
}

void TMediaSystem::WaitPaused()
{
    const bool settled = WaitFor(
        [this] { return gst_element_get_state(FGraph, nullptr, nullptr, 0) != GST_STATE_CHANGE_ASYNC; });
    if (!settled && !FFailed)
        qCWarning(lcPreview) << "The pause did not complete within" << kPauseTimeoutMs << "ms";
}

int TMediaSystem::VolumeHundredthsDb(int volume)
{
    volume = std::clamp(volume, 0, 10000);
    return int(std::lround(1085.73 * std::log(volume + 1.0))) - 10000;
}

void TMediaSystem::SetVolume(int volume)
{
    if (!HasAudio())
        return;
    const int level = VolumeHundredthsDb(volume);
    // -100 dB is the silence of the scale, not a faint sound.
    const double factor = level <= -10000 ? 0.0 : std::pow(10.0, level / 2000.0);
    g_object_set(FVolume, "volume", factor, nullptr);
}

double TMediaSystem::VolumeFactor() const
{
    double factor = 0;
    g_object_get(FVolume, "volume", &factor, nullptr);
    return factor;
}

void TMediaSystem::SetMaxSpeed(std::uint8_t maxSpeed)
{
    FMaxSpeed = maxSpeed;
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(FGraph, &state, &pending, 0);
    const GstState target = pending == GST_STATE_VOID_PENDING ? state : pending;
    // The pipeline chooses its clock on its way to playing.
    if (target == GST_STATE_PLAYING)
        gst_element_set_state(FGraph, GST_STATE_PAUSED);
    if (maxSpeed == 1)
        gst_pipeline_use_clock(GST_PIPELINE(FGraph), nullptr);
    else
        gst_pipeline_auto_clock(GST_PIPELINE(FGraph));
    if (target == GST_STATE_PLAYING)
        gst_element_set_state(FGraph, GST_STATE_PLAYING);
}

bool TMediaSystem::event(QEvent *event)
{
    if (event->type() == kFrameWakeEventType)
        return true;
    if (event->type() == kMissingStreamEventType) {
        // Out of the pipeline, the chain no longer holds its pause; its
        // source stays recorded, so the viewer keeps its layout.
        const auto *missing = static_cast<TMissingStreamEvent *>(event);
        if (missing->Generation == FGeneration && GST_OBJECT_PARENT(missing->Chain) == GST_OBJECT(FGraph)) {
            gst_element_set_state(missing->Chain, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(FGraph), missing->Chain);
        }
        return true;
    }
    if (event->type() != kBusEventType)
        return QObject::event(event);
    const auto *bus = static_cast<TBusEvent *>(event);
    // Messages of a clip already closed say nothing about this one.
    if (bus->Generation != FGeneration)
        return true;
    if (bus->Message == GST_MESSAGE_ASYNC_DONE)
        FPaused = true;
    else if (bus->Message == GST_MESSAGE_ERROR) {
        FFailed = true;
        qCWarning(lcPreview) << "Preview stopped:" << bus->Text;
    }
    return true;
}
