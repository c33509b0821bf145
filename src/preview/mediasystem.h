// The preview engine of the list page: one GStreamer pipeline for the whole
// life of the program, playing at most one video and one audio source of a
// clip's media device. The clip's splitter feeds a video chain (decodebin,
// the video notifier, scaling into an appsink whose pictures the viewer
// paints) and an audio chain (decodebin, the audio notifier, the volume and
// the audio output). It offers play, pause, absolute and relative seeking,
// the volume and a maximum-speed mode in which the pipeline runs without a
// clock.
//
// Everything here runs on the UI thread; the pipeline's messages reach it
// as posted events, and the notifiers and the appsink post theirs to the
// viewer. Times are int64_t counts of 100 ns from the clip's first picture
// (GStreamer's own times start where the splitter says, often most of a
// second before it).
#pragma once

#include "src/preview/avsource.h"
#include "src/preview/streamformat.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class TNotifier;
typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

// The last known playing position: the time of the picture shown (or,
// without one, of the last seek). Written by SetPosition and GetPosition,
// read by the relative steps.
extern std::int64_t CurrentPosition;

// Posted to the video window when a new picture is ready (at most one
// pending at a time).
inline constexpr QEvent::Type kFrameEventType = QEvent::Type(QEvent::User + 7);

// One picture for the video area: 32-bit pixels (blue, green, red, unused
// byte in memory order), already scaled with its aspect kept.
struct TVideoFrame
{
    QByteArray Pixels;
    int Width = 0, Height = 0, Stride = 0;
    std::int64_t Time = -1;  // presentation time from the clip's first picture, 100-ns units; -1 unknown
    std::int64_t Duration = -1;  // how long the picture lasts, 100-ns units; -1 unknown
};

class TMediaSystem : public QObject
{
public:
    TMediaSystem();
    ~TMediaSystem() override;

    // Size of the pictures the appsink delivers.
    static constexpr int kFrameWidth = 320, kFrameHeight = 180;
    // One image step; never changed.
    static constexpr std::int64_t ImageStep = 400'000;
    // Longest a pause or seek waits for its picture before giving up and
    // leaving the viewer usable.
    static constexpr int kPauseTimeoutMs = 5000;

    // Receiver of the frame events (the viewer's video area).
    void SetVideoWindow(QObject *window);
    // Receiver of the notifiers' report and position events.
    void SetNotifyWindow(QObject *window);

    // Replaces the sources; null leaves that side as it is, a sentinel
    // removes it. False when the video source could not be added (it stays
    // recorded all the same) or an error escaped.
    bool SetSources(TVideoSource *video, TAudioSource *audio);
    // Stops the pipeline and removes both sides.
    bool Close();

    void Play();
    void Pause();
    // The time of the picture on screen; without one, the pipeline's
    // position while it plays, else CurrentPosition as it is.
    std::int64_t GetPosition();
    // Clamped to 0 … Duration - 100,000, then the picture holding the
    // position is shown, waiting for it: paused, a picture or two after the
    // one shown is reached by stepping the video sink, otherwise by an
    // accurate seek, which decodes from the previous keyframe.
    // CurrentPosition is then the time of the picture shown.
    void SetPosition(std::int64_t position);
    // The relative steps count from the middle of the picture shown, so
    // that 40 ms always reach the next or the previous picture at 25 and
    // 29.97 pictures a second, however the picture times are rounded.
    void ForwardImage() { SetPosition(StepBase() + ImageStep); }
    void ForwardSecond() { SetPosition(StepBase() + 10'000'000); }
    void ForwardMinute() { SetPosition(StepBase() + 600'000'000); }
    void ToEnd() { SetPosition(StepBase() + FDuration + 1); }
    void BackImage() { SetPosition(StepBase() - ImageStep); }
    void BackSecond() { SetPosition(StepBase() - 10'000'000); }
    void BackMinute() { SetPosition(StepBase() - 600'000'000); }
    void ToStart() { SetPosition(StepBase() - (FDuration + 1)); }

    // 0 … 10000; acts only while an audio source plays.
    void SetVolume(int volume);
    // 0: the pipeline's clock; 1: no clock, every picture shown as soon as
    // it is decoded.
    void SetMaxSpeed(std::uint8_t maxSpeed);
    std::uint8_t MaxSpeed() const { return FMaxSpeed; }

    bool HasVideo() const { return FVideoSource != NoVideo; }
    bool HasAudio() const { return FAudioSource != NoAudio; }
    std::int64_t Duration() const { return FDuration; }
    TVideoSource *VideoSource() const { return FVideoSource; }
    TAudioSource *AudioSource() const { return FAudioSource; }
    bool Paused() const { return FPaused; }
    bool IsRunning() const;

    // Last reports, stored by the viewer.
    TaData AudioInfo;
    TvData VideoInfo;

    // The latest picture (null before the first one and after a close).
    std::shared_ptr<const TVideoFrame> LastFrame() const;

    // The volume in hundredths of a decibel for 0 … 10000.
    static int VolumeHundredthsDb(int volume);
    // The linear factor the volume element has now.
    double VolumeFactor() const;
    // False when no sound device answered and the audio goes into a clocked
    // fakesink instead.
    bool HasAudioOutput() const { return FAudioOutput; }

    // Counts the pipeline's rebuilds; read on streaming threads to tag the
    // pipeline's messages.
    int Generation() const { return FGeneration; }

    // Called on a streaming thread by the appsink with the picture's time
    // in the pipeline (100-ns units, -1 unknown), which it makes the
    // frame's time from the clip's first picture.
    void FrameArrived(std::shared_ptr<TVideoFrame> frame, std::int64_t pipelineTime);

protected:
    bool event(QEvent *event) override;

private:
    struct TRouting;

    bool AddVideo(TVideoSource *source);
    bool AddAudio(TAudioSource *source);
    bool AddDevice(TMediaDevice *device);
    // Stops the pipeline and takes both chains and the devices out of it;
    // the sources are forgotten.
    void Teardown();
    void Seek(std::int64_t position, bool wait);
    // The middle of the picture shown; CurrentPosition without one.
    std::int64_t StepBase() const;
    // The time of the picture shown, -1 without one.
    std::int64_t PictureTime() const;
    // Steps the paused video sink forward to the picture holding the
    // position when that is one of the next few; false when it cannot.
    bool StepTo(std::int64_t position);
    // Pumps UI events until the condition holds, an error stopped the
    // pipeline, or the time is up; true when the condition holds.
    bool WaitFor(const std::function<bool()> &condition);
    // Pumps UI events until the pipeline has no state change pending, an
    // error stopped it, or the time is up.
    void WaitPaused();
    void BuildChains();
    GstElement *MakeAudioRenderer();

    GstElement *FGraph = nullptr;
    GstElement *FVideoChain = nullptr;  // decodebin ! notifier ! scale ! convert ! appsink
    GstElement *FAudioChain = nullptr;  // decodebin ! notifier ! convert ! resample ! volume ! output
    GstElement *FVolume = nullptr;
    GstElement *FVideoRenderer = nullptr;  // the appsink, which steps
    std::unique_ptr<TNotifier> FVideoNotifier, FAudioNotifier;
    std::unique_ptr<TRouting> FRouting;
    TVideoSource *FVideoSource = NoVideo;
    TAudioSource *FAudioSource = NoAudio;
    std::int64_t FDuration = 0;
    std::uint8_t FMaxSpeed = 0;
    bool FAudioOutput = true;
    bool FPaused = false;
    bool FFailed = false;
    // The video sink was stepped alone: the audio sink still holds the
    // sound of the picture before, so playing starts with a seek.
    bool FStepped = false;
    // A step waits for its picture: the appsink wakes the UI thread.
    std::atomic<bool> FAwaitingFrame {false};
    // Counts rebuilds, so that a seek whose wait ran a clip change does
    // not restart the new clip.
    std::atomic<int> FGeneration {0};
    // The pipeline's time of the clip's first picture (100-ns units): the
    // first picture shown after the pipeline is built, before any seek;
    // -1 until then.
    std::atomic<std::int64_t> FOrigin {-1};

    mutable std::mutex FFrameLock;  // guards the frame and the video window
    std::shared_ptr<const TVideoFrame> FLastFrame;
    QObject *FVideoWindow = nullptr;
    std::shared_ptr<std::atomic<bool>> FFramePending = std::make_shared<std::atomic<bool>>(false);
};
