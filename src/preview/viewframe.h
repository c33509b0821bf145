// The small player of the clip list page: the active clip's picture in a
// 320 × 180 video area, play and pause, steps of one image, one second and
// one minute both ways, start and end, a position slider, the position and
// duration texts, the picture size, the volume dial and the maximum-speed
// box. It drives the media system and receives its notifiers' events. With
// no clip it shows a still picture and hides every playback control.
#pragma once

#include <QFrame>

#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;
class TActionList;
class TAudioSource;
class TCustomSuperAction;
class TImageList;
class TMediaSystem;
class TSuperAction;
class TTextGauge;
class TtoggleAction;
class TVideoSource;

// The video area: paints the media system's latest picture, its aspect
// kept, on black.
class TVideoArea : public QWidget
{
public:
    explicit TVideoArea(QWidget *parent = nullptr);
    void SetSystem(TMediaSystem *system) { FSystem = system; }
    // Called when the media system has a new picture to paint.
    std::function<void()> OnNewPicture;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    TMediaSystem *FSystem = nullptr;
};

// The audio source that was playing when maximum speed was switched on.
extern TAudioSource *SavedAudio;

class TviewFrame : public QFrame
{
public:
    explicit TviewFrame(QWidget *parent = nullptr);
    ~TviewFrame() override;

    // Once, after the media system is created: the frame shows its
    // pictures and receives its events; nothing is shown yet.
    void AttachSystem(TMediaSystem *system);
    // Before the media system goes: the frame forgets it.
    void DetachSystem();
    // Gives the media system a clip's sources (null leaves a side, a
    // sentinel removes it) and lays the controls out for what it plays.
    bool OpenSources(TVideoSource *video, TAudioSource *audio);
    // Hides the position, duration and size texts, closes the system and
    // shows the still picture without controls, as with no clip.
    bool ClosePreview();

    TMediaSystem *System() const { return FSystem; }
    int Volume = 5000;

    TVideoArea *vw;
    QLabel *Image1;
    QLineEdit *edPosition, *edDuration;
    QLabel *labImageSize;
    // "Filmé le …" for a clip whose camcorder wrote when it was filmed.
    QLabel *labTournage;
    QSlider *tb;
    QToolButton *ReculeTrackBtn, *ReculeHighBtn, *ReculeMediumBtn, *ReculeLowBtn;
    QToolButton *AvanceLowBtn, *AvanceMediumBtn, *AvanceHighBtn, *AvanceTrackBtn;
    QToolButton *PlayBtn;
    QCheckBox *cbVItesseMaxi;
    TTextGauge *gaugeVolume;

    TActionList *ActionList;
    TSuperAction *saReculeHome, *saReculeHigh, *saReculeMedium, *saReculeLow;
    TSuperAction *saAvanceLow, *saAvanceMedium, *saAvanceHigh, *saAvanceEnd;
    TtoggleAction *taPausePlay, *taVitesseMaxi;
    TSuperAction *saIncVolume, *saDecVolume;

    // Seeks to the slider's place: Duration × value / 1024.
    void navtbChanged();
    void ApplyVolume();

protected:
    bool event(QEvent *event) override;

private:
    void CreateControls();
    void CreateActions();
    QToolButton *NavButton(const char *name, int x, TSuperAction *action);
    // Runs a step with the position text in the busy style meanwhile.
    void Navigate(void (TMediaSystem::*step)());
    void Busy(const std::function<void()> &work);
    void PositionRefresh();
    void ReportRefresh(QEvent *event);
    void LayOut(bool video, bool audio);
    // labTournage shows when the clip of video was filmed, if it tells.
    void ShowRecordingDate(const TVideoSource *video);

    TMediaSystem *FSystem = nullptr;
    std::unique_ptr<TImageList> FImages;
    bool FUserSlide = false;
};
