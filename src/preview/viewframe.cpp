#include "src/preview/viewframe.h"

#include "src/preview/mediadevice.h"
#include "src/preview/mediasystem.h"
#include "src/preview/notifier.h"
#include "src/platform/timetexts.h"
#include "src/preview/timeformats.h"
#include "src/widgets/actionlist.h"
#include "src/widgets/imagelist.h"
#include "src/widgets/superaction.h"
#include "src/widgets/textgauge.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

TAudioSource *SavedAudio = nullptr;

namespace {

enum : int {
    imgHome,
    imgBackMinute,
    imgBackSecond,
    imgBackImage,
    imgForwardImage,
    imgForwardSecond,
    imgForwardMinute,
    imgEnd,
    imgPlay,
    imgPlayFast,
};

// Shown until the notifier has reported a frame duration.
constexpr std::int64_t kDefaultFrameDuration = 400'000;

QFont Arial8(bool italic = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    font.setItalic(italic);
    return font;
}

// A text about the clip's format (picture size, when it was filmed):
// italic, right-aligned, hidden until there is something to say.
QLabel *NewFormatLabel(QWidget *parent, const char *name, const QRect &place)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFont(Arial8(true));
    label->hide();
    return label;
}

QLineEdit *NewTimeEdit(QWidget *parent, const char *name, int x)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, 8, 89, 16);
    edit->setFrame(false);
    edit->setReadOnly(true);
    edit->setFont(Arial8());
    edit->setAutoFillBackground(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    edit->setPalette(palette);
    edit->hide();
    return edit;
}

// The still picture shown without video: a film frame on transparent.
QPixmap StillPicture()
{
    QPixmap picture(320, 180);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QIcon icon = QIcon::fromTheme(QStringLiteral("video-x-generic"));
    if (!icon.isNull()) {
        icon.paint(&painter, QRect(112, 42, 96, 96));
        return picture;
    }
    painter.setPen(QPen(QColor(120, 120, 140), 4));
    painter.setBrush(QColor(220, 225, 235));
    painter.drawRoundedRect(QRect(100, 50, 120, 80), 8, 8);
    painter.setBrush(QColor(120, 120, 140));
    painter.drawPolygon(QPolygon({QPoint(148, 72), QPoint(148, 108), QPoint(178, 90)}));
    return picture;
}

}  // namespace

// --- TVideoArea

TVideoArea::TVideoArea(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TVideoArea::event(QEvent *event)
{
    if (event->type() == kFrameEventType) {
        update();
        if (OnNewPicture)
            OnNewPicture();
        return true;
    }
    return QWidget::event(event);
}

void TVideoArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const auto frame = FSystem ? FSystem->LastFrame() : nullptr;
    if (!frame)
        return;
    const QImage image(reinterpret_cast<const uchar *>(frame->Pixels.constData()), frame->Width,
                       frame->Height, frame->Stride, QImage::Format_RGB32);
    const QSize shown = image.size().scaled(size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown),
                      image);
}

// --- TviewFrame

TviewFrame::TviewFrame(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("viewFrame"));
    resize(376, 300);
    setAutoFillBackground(true);
    FImages = std::make_unique<TImageList>(22, 22);
    const TImageList::Entry entries[] = {
        {imgHome, QStringLiteral("media-skip-backward")},
        {imgBackMinute, QStringLiteral("media-seek-backward")},
        {imgBackSecond, QStringLiteral("go-previous")},
        {imgBackImage, QStringLiteral("go-first")},
        {imgForwardImage, QStringLiteral("go-last")},
        {imgForwardSecond, QStringLiteral("go-next")},
        {imgForwardMinute, QStringLiteral("media-seek-forward")},
        {imgEnd, QStringLiteral("media-skip-forward")},
        {imgPlay, QStringLiteral("media-playback-start")},
        {imgPlayFast, QStringLiteral("media-seek-forward")},
    };
    for (const TImageList::Entry &entry : entries)
        FImages->Add(entry);
    CreateActions();
    CreateControls();
}

TviewFrame::~TviewFrame()
{
    DetachSystem();
}

// A system that outlives the frame must not post to it any more.
void TviewFrame::DetachSystem()
{
    if (!FSystem)
        return;
    FSystem->SetVideoWindow(nullptr);
    FSystem->SetNotifyWindow(nullptr);
    vw->SetSystem(nullptr);
    vw->OnNewPicture = nullptr;
    FSystem = nullptr;
}

void TviewFrame::CreateActions()
{
    ActionList = new TActionList(this);
    ActionList->SetImages(FImages.get());
    const struct
    {
        TSuperAction *TviewFrame::*member;
        const char *name, *hint;
        int image;
        void (TMediaSystem::*step)();
    } steps[] = {
        {&TviewFrame::saReculeHome, "saReculeHome", "Reculer au début de la vidéo", imgHome,
         &TMediaSystem::ToStart},
        {&TviewFrame::saReculeHigh, "saReculeHigh", "Reculer d'une minute", imgBackMinute,
         &TMediaSystem::BackMinute},
        {&TviewFrame::saReculeMedium, "saReculeMedium", "Reculer d'une seconde", imgBackSecond,
         &TMediaSystem::BackSecond},
        {&TviewFrame::saReculeLow, "saReculeLow", "Reculer d'une image", imgBackImage,
         &TMediaSystem::BackImage},
        {&TviewFrame::saAvanceLow, "saAvanceLow", "Avancer d'une image", imgForwardImage,
         &TMediaSystem::ForwardImage},
        {&TviewFrame::saAvanceMedium, "saAvanceMedium", "Avancer d'une seconde", imgForwardSecond,
         &TMediaSystem::ForwardSecond},
        {&TviewFrame::saAvanceHigh, "saAvanceHigh", "Avancer d'une minute", imgForwardMinute,
         &TMediaSystem::ForwardMinute},
        {&TviewFrame::saAvanceEnd, "saAvanceEnd", "Avancer à la fin de la vidéo", imgEnd,
         &TMediaSystem::ToEnd},
    };
    for (const auto &s : steps) {
        auto *action = new TSuperAction(this);
        action->setObjectName(QString::fromLatin1(s.name));
        action->SetCategory(QStringLiteral("nav"));
        action->SetHint(QString::fromUtf8(s.hint));
        action->Setimageindex(s.image);
        const auto step = s.step;
        action->SetOnexecute([this, step](TCustomSuperAction *) { Navigate(step); });
        ActionList->Add(action);
        this->*s.member = action;
    }

    taPausePlay = new TtoggleAction(this);
    taPausePlay->setObjectName(QStringLiteral("taPausePlay"));
    taPausePlay->SetCategory(QStringLiteral("nav"));
    taPausePlay->FalseCaption = QStringLiteral("Play");
    taPausePlay->TrueCaption = QStringLiteral("Pause");
    taPausePlay->SetCaption(QStringLiteral("Play"));
    taPausePlay->SetHint(QString::fromUtf8("Jouer la vidéo.\r\nSi Vitesse Maxi est coché, elle jouera à la "
                                           "vitesse maxi permise par votre système,\r\n"
                                           "ce qui peut être plus lent que sa vitesse normale, mais permet "
                                           "de la jouer sans saccades ni blocage."));
    taPausePlay->SetShortCut(QKeySequence(QStringLiteral("Ctrl+Space")));
    taPausePlay->TrueImageIndex = taPausePlay->FalseImageIndex = imgPlay;
    taPausePlay->Setimageindex(imgPlay);
    taPausePlay->OnfalseExecute = [this](TCustomSuperAction *) {
        taPausePlay->SetChecked(true);
        if (FSystem)
            FSystem->Play();
    };
    taPausePlay->OnTrueExecute = [this](TCustomSuperAction *) {
        taPausePlay->SetChecked(false);
        if (FSystem)
            FSystem->Pause();
    };
    ActionList->Add(taPausePlay);

    taVitesseMaxi = new TtoggleAction(this);
    taVitesseMaxi->setObjectName(QStringLiteral("taVitesseMaxi"));
    taVitesseMaxi->SetCategory(QStringLiteral("nav"));
    taVitesseMaxi->TrueCaption = taVitesseMaxi->FalseCaption = QStringLiteral("Vitesse Maxi");
    taVitesseMaxi->SetCaption(QStringLiteral("Vitesse Maxi"));
    taVitesseMaxi->SetHint(QString::fromUtf8(
        "Cochez pour que la vidéo puisse être jouée à la vitesse maximale permise par votre système.\r\n"
        "Cela peut être plus lent que la vitesse normale, mais permet de la jouer sans saccades ni "
        "blocage."));
    taVitesseMaxi->SetAutoCheck(true);
    taVitesseMaxi->OnfalseExecute = [this](TCustomSuperAction *) {
        if (!FSystem)
            return;
        FSystem->SetMaxSpeed(1);
        SavedAudio = FSystem->AudioSource();
        OpenSources(nullptr, NoAudio);
        taPausePlay->TrueImageIndex = taPausePlay->FalseImageIndex = imgPlayFast;
        taPausePlay->Setimageindex(imgPlayFast);
    };
    taVitesseMaxi->OnTrueExecute = [this](TCustomSuperAction *) {
        if (!FSystem)
            return;
        FSystem->SetMaxSpeed(0);
        OpenSources(nullptr, SavedAudio ? SavedAudio : NoAudio);
        taPausePlay->TrueImageIndex = taPausePlay->FalseImageIndex = imgPlay;
        taPausePlay->Setimageindex(imgPlay);
    };
    ActionList->Add(taVitesseMaxi);

    saIncVolume = new TSuperAction(this);
    saIncVolume->setObjectName(QStringLiteral("saIncVolume"));
    saIncVolume->SetCategory(QStringLiteral("Audio"));
    saIncVolume->SetCaption(QStringLiteral("Augmenter Volume"));
    saIncVolume->SetOnexecute([this](TCustomSuperAction *) {
        Volume = std::min(Volume + 1000, 10000);
        ApplyVolume();
    });
    ActionList->Add(saIncVolume);
    saDecVolume = new TSuperAction(this);
    saDecVolume->setObjectName(QStringLiteral("saDecVolume"));
    saDecVolume->SetCategory(QStringLiteral("Audio"));
    saDecVolume->SetCaption(QStringLiteral("Diminuer Volume"));
    saDecVolume->SetOnexecute([this](TCustomSuperAction *) {
        Volume = std::max(Volume - 1000, 0);
        ApplyVolume();
    });
    ActionList->Add(saDecVolume);
    // + and - first, "ALT+P" and "ALT+M" as the second shortcuts. Qt looks
    // a key up by what the keyboard layout makes of it, which drops the
    // keypad modifier: plain + and - are what the keypad's keys match (and
    // the main keyboard's).
    saIncVolume->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(QStringLiteral("Alt+P"))});
    saDecVolume->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(QStringLiteral("Alt+M"))});

    for (TCustomSuperAction *action : ActionList->Actions()) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

QToolButton *TviewFrame::NavButton(const char *name, int x, TSuperAction *action)
{
    auto *button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(16, 16));
    button->setGeometry(x, 242, 23, 22);
    return button;
}

void TviewFrame::CreateControls()
{
    vw = new TVideoArea(this);
    vw->setObjectName(QStringLiteral("vw"));
    vw->setGeometry(24, 24, 320, 180);
    vw->hide();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(24, 24, 320, 180);
    Image1->setPixmap(StillPicture());

    edPosition = NewTimeEdit(this, "edPosition", 24);
    edDuration = NewTimeEdit(this, "edDuration", 112);
    labImageSize = NewFormatLabel(this, "labImageSize", QRect(270, 8, 68, 14));
    // Below the controls, where the frame has room for the whole text.
    labTournage = NewFormatLabel(this, "labTournage", QRect(166, 278, 190, 14));

    tb = new QSlider(Qt::Horizontal, this);
    tb->setObjectName(QStringLiteral("tb"));
    tb->setGeometry(23, 200, 330, 30);
    tb->setRange(0, 1024);
    tb->setPageStep(64);
    // Only the user's changes seek: the end of a drag, or a key or click
    // the slider handles; values set from the position do not.
    connect(tb, &QSlider::sliderReleased, this, &TviewFrame::navtbChanged);
    connect(tb, &QSlider::actionTriggered, this, [this](int action) {
        FUserSlide = action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction;
    });
    connect(tb, &QSlider::valueChanged, this, [this] {
        if (FUserSlide && !tb->isSliderDown()) {
            FUserSlide = false;
            navtbChanged();
        }
    });

    ReculeTrackBtn = NavButton("ReculeTrackBtn", 11, saReculeHome);
    ReculeHighBtn = NavButton("ReculeHighBtn", 43, saReculeHigh);
    ReculeMediumBtn = NavButton("ReculeMediumBtn", 75, saReculeMedium);
    ReculeLowBtn = NavButton("ReculeLowBtn", 107, saReculeLow);
    AvanceLowBtn = NavButton("AvanceLowBtn", 254, saAvanceLow);
    AvanceMediumBtn = NavButton("AvanceMediumBtn", 286, saAvanceMedium);
    AvanceHighBtn = NavButton("AvanceHighBtn", 318, saAvanceHigh);
    AvanceTrackBtn = NavButton("AvanceTrackBtn", 345, saAvanceEnd);

    PlayBtn = new QToolButton(this);
    PlayBtn->setObjectName(QStringLiteral("PlayBtn"));
    PlayBtn->setDefaultAction(taPausePlay);
    PlayBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    PlayBtn->setGeometry(156, 238, 72, 26);
    QFont times(QStringLiteral("Times New Roman"));
    times.setPointSize(10);
    PlayBtn->setFont(times);

    cbVItesseMaxi = new QCheckBox(taVitesseMaxi->Caption(), this);
    cbVItesseMaxi->setObjectName(QStringLiteral("cbVItesseMaxi"));
    cbVItesseMaxi->setGeometry(16, 280, 97, 17);
    cbVItesseMaxi->setToolTip(taVitesseMaxi->toolTip());
    connect(cbVItesseMaxi, &QCheckBox::clicked, this, [this] { taVitesseMaxi->Execute(); });
    connect(taVitesseMaxi, &TCustomSuperAction::checkedChanged, cbVItesseMaxi, &QCheckBox::setChecked);
    connect(taVitesseMaxi, &QAction::changed, this,
            [this] { cbVItesseMaxi->setToolTip(taVitesseMaxi->toolTip()); });

    gaugeVolume = new TTextGauge(this);
    gaugeVolume->setObjectName(QStringLiteral("gaugeVolume"));
    gaugeVolume->setGeometry(112, 272, 48, 20);
    gaugeVolume->SetGaugeKind(gkNeedle);
    gaugeVolume->SetBorderStyle(gbNone);
    gaugeVolume->SetForeColor(palette().color(QPalette::Dark));
    gaugeVolume->SetTextKind(tkPercentDone);
    gaugeVolume->SetAlertValue(0);
    gaugeVolume->setToolTip(QString::fromUtf8(
        "Volume de la reproduction sonore.\nTapez + ou - au clavier numérique pour le modifier."));
    gaugeVolume->SetProgress(Volume / 100);

    LayOut(false, false);
}

void TviewFrame::AttachSystem(TMediaSystem *system)
{
    FSystem = system;
    vw->SetSystem(system);
    // The position text names the picture on screen: it follows each new
    // picture, not only the decoder's position messages, which come before
    // the picture is shown.
    vw->OnNewPicture = [this] {
        if (FSystem && FSystem->LastFrame())
            PositionRefresh();
    };
    system->SetVideoWindow(vw);
    system->SetNotifyWindow(this);
    system->SetMaxSpeed(0);
    OpenSources(NoVideo, NoAudio);
}

void TviewFrame::LayOut(bool video, bool audio)
{
    labImageSize->setVisible(video);
    vw->setVisible(video);
    cbVItesseMaxi->setVisible(video);
    Image1->setVisible(!video);
    gaugeVolume->setVisible(audio);
    const bool playing = video || audio;
    edPosition->setVisible(playing);
    tb->setVisible(playing);
    for (QToolButton *button : {ReculeTrackBtn, ReculeHighBtn, ReculeMediumBtn, ReculeLowBtn, AvanceLowBtn,
                                AvanceMediumBtn, AvanceHighBtn, AvanceTrackBtn, PlayBtn})
        button->setVisible(playing);
    for (TCustomSuperAction *action : ActionList->Actions())
        if (action->Category() == QStringLiteral("nav") && action != taVitesseMaxi)
            action->setVisible(playing);
    edDuration->hide();
}

bool TviewFrame::OpenSources(TVideoSource *video, TAudioSource *audio)
{
    if (!FSystem)
        return false;
    const bool result = FSystem->SetSources(video, audio);
    LayOut(FSystem->HasVideo(), FSystem->HasAudio());
    ShowRecordingDate(FSystem->VideoSource());
    Navigate(&TMediaSystem::ToStart);
    ApplyVolume();
    return result;
}

bool TviewFrame::ClosePreview()
{
    if (!FSystem)
        return false;
    edDuration->hide();
    edPosition->hide();
    labImageSize->hide();
    labTournage->hide();
    const bool closed = FSystem->Close();
    LayOut(false, false);
    return closed;
}

// The clip is the file device the video source comes from, directly or
// through a sub-device.
void TviewFrame::ShowRecordingDate(const TVideoSource *video)
{
    const TMediaDevice *device = video != NoVideo ? video->Device() : nullptr;
    while (device && !dynamic_cast<const Tm2tsFileDevice *>(device))
        device = device->Parent();
    const auto *clip = static_cast<const Tm2tsFileDevice *>(device);
    if (clip && clip->RecordingDate()) {
        labTournage->setText(RecordingDateText(*clip->RecordingDate()));
        labTournage->show();
    } else {
        labTournage->hide();
    }
}

void TviewFrame::Navigate(void (TMediaSystem::*step)())
{
    if (FSystem)
        Busy([system = FSystem, step] { std::invoke(step, *system); });
}

void TviewFrame::Busy(const std::function<void()> &work)
{
    QFont font = edPosition->font();
    QPalette palette = edPosition->palette();
    font.setItalic(true);
    palette.setColor(QPalette::Text, QColor(128, 128, 128));
    edPosition->setFont(font);
    edPosition->setPalette(palette);
    work();
    font.setItalic(false);
    palette.setColor(QPalette::Text, Qt::black);
    edPosition->setFont(font);
    edPosition->setPalette(palette);
    PositionRefresh();
}

void TviewFrame::navtbChanged()
{
    if (!FSystem)
        return;
    const std::int64_t target = FSystem->Duration() * tb->value() / 1024;
    Busy([this, target] { FSystem->SetPosition(target); });
}

void TviewFrame::ApplyVolume()
{
    if (FSystem)
        FSystem->SetVolume(Volume);
    gaugeVolume->SetProgress(Volume / 100);
}

void TviewFrame::PositionRefresh()
{
    // Messages of a clip already closed say nothing.
    if (!FSystem->HasVideo() && !FSystem->HasAudio())
        return;
    const std::int64_t position = FSystem->GetPosition();
    std::int64_t frame = VideoReport().FrameDuration;
    if (frame <= 0)
        frame = kDefaultFrameDuration;
    edPosition->setText(QString::fromLatin1(FormatFrameTime(position, frame)));
    edPosition->show();
    if (edDuration->isHidden()) {
        edDuration->setText(QStringLiteral("Durée: ")
                            + QString::fromLatin1(FormatFrameTime(FSystem->Duration(), frame)));
        // The text's start stays in sight when it is wider than the box.
        edDuration->setCursorPosition(0);
        edDuration->show();
    }
    // A clip shorter than 1024 units has no slider steps to show.
    if (const std::int64_t unit = FSystem->Duration() / 1024; unit > 0 && !tb->isSliderDown())
        tb->setValue(int(std::clamp<std::int64_t>(position / unit, 0, 1024)));
}

void TviewFrame::ReportRefresh(QEvent *event)
{
    const auto *report = static_cast<TReportEvent *>(event);
    if (report->Kind == rkVideo) {
        FSystem->VideoInfo = report->Video;
        labImageSize->setText(QString::number(report->Video.Width) + u'x'
                              + QString::number(report->Video.Height));
        labImageSize->show();
    } else if (report->Kind == rkAudio) {
        FSystem->AudioInfo = report->Audio;
    }
}

bool TviewFrame::event(QEvent *event)
{
    if (event->type() == kPositionEventType) {
        if (FSystem)
            PositionRefresh();
        return true;
    }
    if (event->type() == kReportEventType) {
        if (FSystem)
            ReportRefresh(event);
        return true;
    }
    return QFrame::event(event);
}
