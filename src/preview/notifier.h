// The stream format notifier: a pass-through GStreamer element (our own
// in-place GstBaseTransform) that the media system puts into its decoding
// chains. Buffers go through unchanged; on the way it reads the caps of its
// input as a neutral media type and, where the type leaves details to the
// data, the bytes of the buffers, and reports what it finds to a receiver
// (the viewer) as posted Qt events. A video notifier also measures the
// frame duration from the buffer times and posts a position event per
// buffer.
//
// The reports are two process-wide records shared by every notifier; an
// event carries a copy taken when it was posted, so the receiver never
// reads a record a streaming thread is writing.
#pragma once

#include "src/preview/mediatype.h"
#include "src/preview/streamformat.h"

#include <QEvent>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class QObject;
typedef struct _GstCaps GstCaps;
typedef struct _GstElement GstElement;

// Event types of the two messages a notifier posts.
inline constexpr QEvent::Type kReportEventType = QEvent::Type(QEvent::User + 3);
inline constexpr QEvent::Type kPositionEventType = QEvent::Type(QEvent::User + 6);

// The message's first parameter: what it is about.
enum TReportKind { rkVideo = 1, rkAudio = 2, rkPosition = 3 };

// A video (rkVideo) or audio (rkAudio) report, with a copy of the record.
class TReportEvent : public QEvent
{
public:
    explicit TReportEvent(const TvData &video) : QEvent(kReportEventType), Kind(rkVideo), Video(video) { }
    explicit TReportEvent(const TaData &audio) : QEvent(kReportEventType), Kind(rkAudio), Audio(audio) { }
    const int Kind;
    const TvData Video;
    const TaData Audio;
};

// An event of which at most one is pending at a time: the poster claims
// the shared flag before posting, the event clears it when it has been
// handled (or dropped). A receiver that falls behind (maximum speed) gets
// one event for a run of buffers, not a queue of them.
class TPendingEvent : public QEvent
{
public:
    using TFlag = std::shared_ptr<std::atomic<bool>>;
    TPendingEvent(Type type, TFlag pending) : QEvent(type), FPending(std::move(pending)) { }
    ~TPendingEvent() override { *FPending = false; }
    // True when the caller may post: no event of that flag is pending.
    static bool Claim(const TFlag &pending) { return !pending->exchange(true); }

private:
    TFlag FPending;
};

// "A new buffer went by" (Kind rkPosition).
class TPositionEvent : public TPendingEvent
{
public:
    explicit TPositionEvent(TFlag pending) : TPendingEvent(kPositionEventType, std::move(pending)) { }
    const int Kind = rkPosition;
};

// Snapshots of the process-wide reports.
TvData VideoReport();
TaData AudioReport();
// The media system writes the codec name of the audio source stream.
void SetAudioCodecName(const QByteArray &name);
// Clears both records (a new run of the program, or tests).
void ClearReports();

// The neutral media type of caps (the first structure of fixed caps).
TMediaType MediaTypeOfCaps(const GstCaps *caps);

class TNotifier
{
public:
    // Creates the element; name is its name in a pipeline ("Video Native
    // Notifier", "Audio Native Notifier", "DV Notifier").
    explicit TNotifier(const char *name = nullptr);
    ~TNotifier();
    TNotifier(const TNotifier &) = delete;
    TNotifier &operator=(const TNotifier &) = delete;

    // The element, owned by the notifier (a pipeline holds its own
    // reference while it contains it).
    GstElement *Filter() const { return FFilter; }

    // The three report switches off and every input type accepted again;
    // TrackTiming keeps its value.
    void Reset();
    // Receiver of the posted events (null: post nothing).
    void SetNotifyWindow(QObject *window);

    // Switches, set by the owner before the chain runs.
    std::atomic<bool> ReportFormat {false};  // format part of the video report, sample analysis
    std::atomic<bool> ReportPicture {false};  // picture part of the video report
    std::atomic<bool> ReportAudio {false};  // the audio report
    std::atomic<bool> TrackTiming {false};  // frame duration and a position event per buffer

    bool AnalyseSamples() const { return FAnalyseSamples; }
    TMediaType AcceptedType() const;

    // The input accepts a type whose three GUIDs match the accepted ones
    // (a null accepted GUID matches anything).
    bool CheckInputType(const TMediaType &offered) const;
    // The input's type is known: it becomes the only type accepted until
    // the next Reset; the first reports are posted and sample analysis is
    // decided. Called by the element when its caps are set.
    void StartStreaming(const TMediaType &input);
    // One buffer: analysed when needed, timed when tracking. start and
    // stop are 100-ns times, negative when the buffer has none.
    void Transform(const std::uint8_t *data, std::size_t size, std::int64_t start, std::int64_t stop);

private:
    void Post(QEvent *event);
    void PostVideo();
    void PostAudio();

    GstElement *FFilter = nullptr;
    mutable std::mutex FLock;  // guards the accepted type and the receiver
    TMediaType FAcceptedType;
    QObject *FWindow = nullptr;
    std::atomic<bool> FAnalyseSamples {false};
    TPendingEvent::TFlag FPositionPending = std::make_shared<std::atomic<bool>>(false);
};
