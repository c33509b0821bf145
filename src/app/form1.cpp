#include "src/app/form1.h"

#include "src/app/listeframe.h"
#include "src/app/parentfolder.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "src/clips/clipcheck.h"
#include "src/clips/fichierlistbox.h"
#include "src/clips/mimefiles.h"
#include "src/platform/pathdelim.h"
#include "src/platform/shell.h"
#include "src/platform/shellopen.h"
#include "src/preview/mediadevice.h"
#include "src/preview/mediasystem.h"
#include "src/preview/viewframe.h"
#include "src/prefs/fichiersmanquantsform.h"
#include "src/prefs/localiserfichiersform.h"
#include "src/prefs/localiserfichiersframe.h"
#include "src/prefs/optionsframe.h"
#include "src/prefs/saveprefsform.h"
#include "src/widgets/actionlist.h"
#include "src/widgets/aproposframe.h"
#include "src/widgets/imagelist.h"
#include "src/widgets/superaction.h"
#include "src/widgets/widedialogedit.h"
#include "src/widgets/windowplace.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace {

const QString FormTitle = QStringLiteral("Tavrel 1.0.3 fr de Morvek");

// Where windows can be put: each screen less its panels and docks.
QList<QRect> AvailableScreens()
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return screens;
}

// Image indexes of il.
enum : int {
    imgPaste = 0,
    imgOpen = 5,
    imgQuit = 7,
    imgEmpty = 8,
    imgFolder = 11,
    imgListPage = 23,
    imgOptions = 26,
    imgDiscs = 62,
    imgAbort = 64,
    imgAllDiscs = 65,
    imgAbout = 66,
};

struct ActionSpec
{
    TSuperAction *TForm1::*member;
    const char *name;
    const char *category;
    const char *caption;
    const char *shortcut;
    int image;
    const char *hint;
};

// The super actions in list order; the two toggles are placed among them.
const ActionSpec SuperActions[] = {
    {&TForm1::saOpenFiles, "saOpenFiles", "open", "Fichiers", "Ctrl+O", imgOpen,
     "Ouvrez des fichiers m2ts issus d'un camescope AVCHD"},
    {&TForm1::saOpenFolder, "saOpenFolder", "open", "Dossier", "Ctrl+D", imgOpen,
     "Ouvrez tous les fichiers m2ts contenus dans un dossier.\r\n"
     "Ils seront classés par ordre alphabétique, ce qui est en général l'ordre chronologique."},
    {&TForm1::saVider, "saVider", "open", "Vider", "Ctrl+X", imgEmpty, "Vider la liste des fichiers"},
    {&TForm1::saQuitter, "saQuitter", "general", "Quitter", "Alt+F4", imgQuit, "Quitter le programme"},
    {&TForm1::saPaste, "saPaste", "open", "Coller", "Ctrl+V", imgPaste, ""},
    {&TForm1::saParentFichiersM2ts, "saParentFichiersM2ts", "general", "Fichiers m2ts", "F3", imgFolder,
     "Ouvrir le dossier contenant le fichier m2ts actif"},
    {&TForm1::saParentAVCHD, "saParentAVCHD", "general", "Dossier AVCHD", "F4", imgFolder,
     "Ouvrir le dossier où seront créées les structures AVCHD à copier sur des DVD.\r\n"
     "On peut graver manuellement une structure en intégrant les dossiers BDMV et CERTIFICATE "
     "(et leurs sous-dossiers)\r\n"
     "et en prenant le File System UDF 2.50"},
    {&TForm1::saDisqueActuel, "saDisqueActuel", "executer", "Disque Actuel", "Ctrl+D", imgDiscs,
     "Traiter le disque sélectionné.\r\n"
     "Le traitement passe d'abord par eac3to pour créer des flux démuxés groupant tous les fichiers m2ts\r\n"
     "puis par tsmuxer qui crée une structure AVCHD\r\n"
     "puis par imgBurn qui peut graver un DVD."},
    {&TForm1::saAbort, "saAbort", "general", "Interrompre", "Escape", imgAbort,
     "Interrompre le traitement en  cours"},
    {&TForm1::saDisques, "saDisques", "Morvek", "Disques", "F6", imgDiscs,
     "Ouvrir la page des Disques pour les transformer en disques AVCHD.\r\n"
     "Les fichiers retenus seront regroupés en disques de taille adpatée."},
    {&TForm1::saListe, "saListe", "Morvek", "Liste", "F7", imgListPage,
     "Afficher la liste des fichiers (avec le lecteur vidéo)"},
    {&TForm1::saGraver, "saGraver", "executer", "Graver", "", imgDiscs,
     "Graver les disques prêts à être gravés qui ne l'ont pas encore été.\r\n"
     "On peut modifier les coches pour modifier leur liste."},
    {&TForm1::saTousDisques, "saTousDisques", "executer", "Tous Disques", "", imgAllDiscs,
     "Traiter tous les disques.\r\n"
     "La gravure est sur un thread spécifique qui peut donc être réalisée au fur et à mesure\r\n"
     "qu'on remet des disques vierges. On peut donc laisser tourner le traitement toute la nuit\r\n"
     "et graver le résultat le lendemain."},
};

const ActionSpec MesOptions = {
    &TForm1::saMesOptions, "saMesOptions", "Morvek", "Mes Options", "Ctrl+Alt+F10", -1, ""};

QString Text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

TSuperAction *NewSuperAction(QObject *parent, const ActionSpec &spec)
{
    auto *action = new TSuperAction(parent);
    action->setObjectName(QString::fromLatin1(spec.name));
    action->SetCategory(Text(spec.category));
    action->SetCaption(Text(spec.caption));
    action->SetShortCut(QKeySequence(Text(spec.shortcut)));
    action->SetHint(Text(spec.hint));
    action->Setimageindex(spec.image);
    return action;
}

struct ToggleSpec
{
    const char *name;
    const char *caption;
    const char *shortcut;
    const char *falseHint;
    const char *trueCaption;
    const char *trueHint;
    int image;
};

TtoggleAction *NewToggleAction(QObject *parent, const ToggleSpec &spec)
{
    auto *toggle = new TtoggleAction(parent);
    toggle->setObjectName(QString::fromLatin1(spec.name));
    toggle->SetCategory(QStringLiteral("general"));
    toggle->SetCaption(Text(spec.caption));
    toggle->SetShortCut(QKeySequence(Text(spec.shortcut)));
    toggle->SetHint(Text(spec.falseHint));
    toggle->SetAutoCheck(true);
    toggle->TrueCaption = Text(spec.trueCaption);
    toggle->FalseCaption = Text(spec.caption);
    toggle->TrueHint = Text(spec.trueHint);
    toggle->FalseHint = Text(spec.falseHint);
    toggle->TrueImageIndex = spec.image;
    toggle->FalseImageIndex = spec.image;
    toggle->Setimageindex(spec.image);
    return toggle;
}

const ToggleSpec OptionsToggle = {"taOptions", "Options",
                                  "F10",       "Ouvrir la page des Options pour les gérer.",
                                  "Sortir",    "Quitter la page des Options",
                                  imgOptions};
const ToggleSpec AproposToggle = {
    "taApropos", "A propos",
    "F1",        "Ouvrir la page \"A Propos\" pour avoir des informations sur ce programme.",
    "Retour",    "Fermer le panneau \"A propos\"",
    imgAbout};

}  // namespace

// What a fixed single border adds around the client area of a 696 × 556
// window whose client is 687 × 523; stored bounds are outer bounds.
const QSize TForm1::FrameExtra(9, 33);

QSize TForm1::ClientSizeFor(int width, int height)
{
    // A stored size too small to hold the pages (a damaged setting) would
    // leave an unusable window; the default outer size stands in for it.
    if (width < 100 || height < 100) {
        width = 696;
        height = 556;
    }
    return QSize(width, height) - FrameExtra;
}

TForm1::TForm1(const TPrefsLocation &where, const TDeviceFactory &makeDevice, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FWhere(where)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavrel"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(687, 523);

    CreatePages(makeDevice);
    MediaSystem = std::make_unique<TMediaSystem>();
    ListeFrame->viewFrame->AttachSystem(MediaSystem.get());
    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setAlignment(Qt::AlignCenter);
    StatusBar1->setAutoFillBackground(true);
    StatusBar1->setFrameShape(QFrame::Panel);
    StatusBar1->setFrameShadow(QFrame::Sunken);
    StatusBar1->setGeometry(0, height() - 19, width(), 19);

    od = new QFileDialog(this, QStringLiteral("Ouvrez des fichiers m2ts logés dans un même dossier"));
    od->setObjectName(QStringLiteral("od"));
    od->setNameFilter(QStringLiteral("Vidéos AVCHD (*.m2ts *.mts)"));
    od->setDefaultSuffix(QStringLiteral("m2ts"));
    od->setFileMode(QFileDialog::ExistingFiles);
    SetUpFileDialog(*od);
    od->setSizeGripEnabled(true);

    CreateImages();
    CreateActions();
    BindButtons();
    ListenToList();
    BindDiscPage();

    SavePrefsForm = new TSavePrefsForm(this);
    LocaliserFichiersForm = new TLocaliserFichiersForm(this);
    FichiersManquantsForm = new TFichiersManquantsForm(this);
    Localiser = [this] { return LocaliserFichiersForm->Localiser(); };
    ConfirmMissing = [this] { return FichiersManquantsForm->ConfirmMissing(); };
}

// The preview leaves the clips' devices, and the viewer its media system,
// before the media system goes (the pages, children of the window, go
// after the members).
TForm1::~TForm1()
{
    ListeFrame->CloseViewer();
    ListeFrame->viewFrame->DetachSystem();
}

void TForm1::CreatePages(const TDeviceFactory &makeDevice)
{
    ListeFrame = new TListeFrame(this, makeDevice);
    ListeFrame->move(0, 0);
    Disquesframe = CreateDiscPage();
    OptionsFrame = new TOptionsFrame(FWhere, this);
    OptionsFrame->move(-800, 0);
    aproposFrame = new TAProposFrame(this);
    OptionsFrame->hide();
    aproposFrame->hide();
    ListeFrame->raise();
}

void TForm1::CreateImages()
{
    il = std::make_unique<TImageList>(25, 25);
    const TImageList::Entry entries[] = {
        {imgPaste, QStringLiteral("edit-paste")},           {imgOpen, QStringLiteral("document-open")},
        {imgQuit, QStringLiteral("application-exit")},      {imgEmpty, QStringLiteral("edit-clear")},
        {imgFolder, QStringLiteral("folder-open")},         {imgListPage, QStringLiteral("view-list")},
        {imgOptions, QStringLiteral("preferences-system")}, {imgDiscs, QStringLiteral("media-optical")},
        {imgAbort, QStringLiteral("process-stop")},         {imgAllDiscs, QStringLiteral("media-record")},
        {imgAbout, QStringLiteral("help-about")},
    };
    for (const TImageList::Entry &entry : entries)
        il->Add(entry);
}

void TForm1::CreateActions()
{
    TntActionList1 = new TActionList(this);
    TntActionList1->setObjectName(QStringLiteral("TntActionList1"));
    TntActionList1->SetImages(il.get());
    for (const ActionSpec &spec : SuperActions) {
        this->*spec.member = NewSuperAction(this, spec);
        TntActionList1->Add(this->*spec.member);
    }
    taOptions = NewToggleAction(this, OptionsToggle);
    TntActionList1->Add(taOptions);
    saMesOptions = NewSuperAction(this, MesOptions);
    TntActionList1->Add(saMesOptions);
    taApropos = NewToggleAction(this, AproposToggle);
    TntActionList1->Add(taApropos);
    // Shortcuts work whichever page is in front.
    for (TCustomSuperAction *action : TntActionList1->Actions()) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    saOpenFiles->Onprepare = [this](TCustomSuperAction *) { saOpenFilesprepare(); };
    saOpenFolder->Onprepare = [this](TCustomSuperAction *) { saOpenFolderprepare(); };
    TFichierListBox *lb = ListeFrame->lb;
    saOpenFiles->SetOnexecute([lb](TCustomSuperAction *) { lb->OpenFiles(ActionParams); });
    saOpenFolder->SetOnexecute([lb](TCustomSuperAction *) { lb->OpenFolder(ActionParams.value(0)); });
    saVider->SetOnexecute([this, lb](TCustomSuperAction *) {
        ListeFrame->CloseViewer();
        lb->ClearFiles();
        Disquesframe->lbDisques->ClearObjects();
    });
    saPaste->SetOnexecute([lb](TCustomSuperAction *) { lb->PasteFiles(); });
    saParentFichiersM2ts->SetOnexecute([lb](TCustomSuperAction *) {
        ShowInFolder(lb->count() > 0 ? lb->Record(0)->FullPath() : QString());
    });
    saParentAVCHD->SetOnexecute([this](TCustomSuperAction *) {
        const TDiscPtr disc = Disquesframe->ActiveDisc();
        const QString folder =
            disc ? ParentAVCHDFolder(Settings.DossierAVCHD, disc->Project, disc->DiscName(), true)
                 : ParentAVCHDFolder(Settings.DossierAVCHD, QString(), QString(), false);
        if (!folder.isEmpty())
            ShowInFolder(folder);
        else if (!Settings.DossierAVCHD.isEmpty())
            ShowInFolder(Settings.DossierAVCHD);  // tells the user it does not exist
    });
    saAbort->SetOnexecute([this, lb](TCustomSuperAction *) {
        // A burn stopped half-way ruins its disc: only on the user's word.
        TDiscProcessor &processor = Disquesframe->Processor;
        const QString question = processor.StopBurnQuestion();
        if (!question.isEmpty()) {
            if (!ConfirmStopBurn(question))
                return;
            processor.StopBurn();
        }
        AbortRequested = true;
        lb->StopOpening();
    });
    saQuitter->SetOnexecute([this](TCustomSuperAction *) { close(); });
    saListe->SetOnexecute([this](TCustomSuperAction *) {
        ShowPage(ListeFrame);
        // The disc page closed the viewer: the active clip comes back.
        if (BasePageIsDiscs)
            ShowActiveClip(ListeFrame->lb->Active());
        BasePageIsDiscs = false;
    });
    saDisques->SetOnexecute([this](TCustomSuperAction *) {
        ListeFrame->CloseViewer();
        ShowPage(Disquesframe);
        BasePageIsDiscs = true;
        SplitIntoDiscs();
    });
    taOptions->OnfalseExecute = [this](TCustomSuperAction *) {
        ToggleOpen(taOptions, taApropos, OptionsFrame);
    };
    taOptions->OnTrueExecute = [this](TCustomSuperAction *) {
        ToggleClose(taOptions, OptionsFrame, imgOptions);
    };
    taApropos->OnfalseExecute = [this](TCustomSuperAction *) {
        ToggleOpen(taApropos, taOptions, aproposFrame);
    };
    taApropos->OnTrueExecute = [this](TCustomSuperAction *) {
        ToggleClose(taApropos, aproposFrame, imgAbout);
    };
    saMesOptions->SetOnexecute([this](TCustomSuperAction *) { saMesOptionsexecute(); });
}

void TForm1::BindButtons()
{
    ListeFrame->FichiersBtn->setDefaultAction(saOpenFiles);
    ListeFrame->DossierBtn->setDefaultAction(saOpenFolder);
    ListeFrame->ViderBtn->setDefaultAction(saVider);
    ListeFrame->OptionsBtn->setDefaultAction(taOptions);
    ListeFrame->AproposBtn->setDefaultAction(taApropos);
    ListeFrame->QuitterBtn->setDefaultAction(saQuitter);
    ListeFrame->DisquesBtn->setDefaultAction(saDisques);
    OptionsFrame->OptionsBtn->setDefaultAction(taOptions);
    aproposFrame->OptionsBtn->setDefaultAction(taApropos);
    aproposFrame->ImageBtn->setIcon(il->Icon(imgAbout));
}

// The list's openings show in the status bar; no disc split while they run.
void TForm1::ListenToList()
{
    TFichierListBox *lb = ListeFrame->lb;
    lb->OnOpenStart = [this] {
        ShowStatus(QStringLiteral("En train d'ouvrir des fichiers"), TStatusKind::Opening);
        ListeFrame->DisquesBtn->setEnabled(false);
    };
    lb->OnOpenFolderFound = [this](const QString &folder) {
        ShowStatus(QStringLiteral("En train d'explorer ") + folder, TStatusKind::Opening);
    };
    lb->OnOpenEnd = [this](int) {
        ShowStatus(QStringLiteral("Prêt"), TStatusKind::Normal);
        ListeFrame->DisquesBtn->setEnabled(true);
    };
    // The order chosen in the window is the one saved on leaving.
    ListeFrame->OnSortChosen = [](const TSortIndex &order) { Settings.SortIndex = order.Key; };
    lb->OnActiveChange = [this](TAbstractListFichier *actif) { ShowActiveClip(actif); };
}

void TForm1::ShowActiveClip(TAbstractListFichier *actif)
{
    auto *clip = dynamic_cast<Tm2tsFichier *>(actif);
    if (!clip) {
        ListeFrame->ShowSources(NoVideo, NoAudio);
        return;
    }
    ListeFrame->CloseViewer();
    if (!IsReadableClip(*clip)) {
        ListeFrame->ShowUnreadable(clip->FileName(), UnreadableClipReason(*clip));
        return;
    }
    const TMediaDevice *device = clip->Device();
    TVideoSource *video = device->VideoCount() > 0 ? device->AllVideoSources().Get(0) : nullptr;
    TAudioSource *audio = device->AudioCount() > 0 ? device->AllAudioSources().Get(0) : nullptr;
    ListeFrame->ShowSources(video ? video : NoVideo, audio ? audio : NoAudio);
}

void TForm1::ShowStatus(const QString &text, TStatusKind kind)
{
    StatusBar1->setText(text);
    QColor colour;
    switch (kind) {
    case TStatusKind::Normal: colour = QApplication::palette().color(QPalette::Button); break;
    case TStatusKind::Interrupted: colour = QColor(255, 255, 0); break;
    case TStatusKind::Opening: colour = QColor(166, 202, 240); break;
    case TStatusKind::ToolRunning: colour = QColor(192, 220, 192); break;
    case TStatusKind::Error: colour = QColor(255, 0, 0); break;
    default: return;
    }
    QPalette palette = StatusBar1->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, Qt::black);
    StatusBar1->setPalette(palette);
}

QColor TForm1::StatusColour() const
{
    return StatusBar1->palette().color(QPalette::Window);
}

void TForm1::ShowPage(QWidget *page)
{
    page->move(0, 0);
    page->setVisible(true);
    page->raise();
    StatusBar1->raise();
}

// Opening the options or about page closes the other one first; the
// button then shows the picture of the base page it returns to.
void TForm1::ToggleOpen(TtoggleAction *toggle, TtoggleAction *other, QWidget *page)
{
    if (other->Checked())
        other->Execute();
    ShowPage(page);
    toggle->SetChecked(true);
    toggle->Setimageindex(BasePageIsDiscs ? imgDiscs : imgListPage);
}

void TForm1::ToggleClose(TtoggleAction *toggle, QWidget *page, int image)
{
    page->hide();
    toggle->SetChecked(false);
    toggle->Setimageindex(image);
}

void TForm1::saOpenFilesprepare()
{
    od->setDirectory(Settings.DossierOuvrir);
    ActionProceed = od->exec() == QDialog::Accepted;
    if (ActionProceed)
        ActionParams = od->selectedFiles();
}

void TForm1::saOpenFolderprepare()
{
    ActionProceed = false;
    // The chooser reads and writes the setting itself: a folder that no
    // longer exists is emptied even when the user cancels.
    if (ChooseFolder(QStringLiteral("Sélectionnez le Dossier contenant les images à ouvrir"), QString(),
                     Settings.DossierOuvrir, false, this)) {
        ActionParams.append(Settings.DossierOuvrir);
        ActionProceed = true;
    }
}

// The developer's own machine: registry mode, a centred 696 × 556 window,
// alphabetical order, and the tools installed beside the program.
void TForm1::saMesOptionsexecute()
{
    Settings.PrefsMode = pmNormal;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    Settings.mainWidth = 696;
    Settings.mainHeight = 556;
    Settings.maintop = (screen.height() - Settings.mainHeight) / 2;
    Settings.mainleft = (screen.width() - Settings.mainWidth) / 2;
    Settings.SortIndex = QStringLiteral("alpha");
    Settings.DossierOuvrir = IncludeTrailingPathDelimiter(VideosFolder()) + QStringLiteral("VideosHD/2010/");
    const QString work =
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QStringLiteral("/AVCHD/");
    Settings.DossierAVCHD = work;
    Settings.Dossiermeta = work;
    Settings.DossierFlux = work;
    const QString tools = ProgramFilesFolder();
    Settings.eac3tofile = tools + QStringLiteral("eac3to");
    Settings.tsMuxerFile = tools + QStringLiteral("tsmuxer");
    Settings.ImgBurnFile = tools + QStringLiteral("imgburn");
    Settings.DeleteMeta = true;
    Settings.DeleteFlux = true;
    ApplySettings();
}

void TForm1::ApplySettings()
{
    setFixedSize(ClientSizeFor(Settings.mainWidth, Settings.mainHeight));
    StatusBar1->setGeometry(0, height() - 19, width(), 19);
    PlaceFrame(QPoint(Settings.mainleft, Settings.maintop));
    // Only the orders the window offers are taken; anything else is "alpha".
    ListeFrame->ShowSortOrder(ChoosableSortIndex(Settings.SortIndex));
    OptionsFrame->ShowSettings(Settings);
    SetEac3toFile(Settings.eac3tofile);
    SetTsMuxerFile(Settings.tsMuxerFile);
    SetImgBurnFile(Settings.ImgBurnFile);
}

// The stored place is that of the frame, title bar included, as the user
// sees it. Before the window manager has framed the window Qt cannot know
// the frame, so move() alone would put the client area there and the
// window would creep up by its title bar at every start; the native window
// is told that the position is the frame's, which the window manager
// honours.
void TForm1::PlaceFrame(const QPoint &stored)
{
    const QRect frame(stored, size() + FrameExtra);
    const QPoint place = PlaceOnScreens(frame, AvailableScreens());
    move(place);
    if (QWindow *window = windowHandle())
        window->setFramePosition(place);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!FShown) {
        FShown = true;
        FirstShow();
    }
}

void TForm1::FirstShow()
{
    setWindowTitle(FormTitle);
    saListe->Execute();
    QString error;
    if (!LoadSettings(Settings, QGuiApplication::primaryScreen()->size(), &error, FWhere))
        QMessageBox::critical(this, FormTitle, error);
    ApplySettings();
    ShowStatus(QStringLiteral("Ouvrez des fichiers m2ts ou un dossier contenant des fichiers m2ts"),
               TStatusKind::Normal);
    setAcceptDrops(true);
}

void TForm1::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!FPainted) {
        FPainted = true;
        // After this paint has ended: the check may open dialogs.
        QTimer::singleShot(0, this, &TForm1::FirstPaint);
    }
}

void TForm1::FirstPaint()
{
    if (!Localiser() && !ConfirmMissing())
        close();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TForm1::CloseQuery()
{
    saListe->Execute();
    AbortRequested = true;
    // With no storage mode the user says where to save; the close box of
    // that question keeps the window open.
    if (Settings.PrefsMode == pmNone) {
        TPrefsMode mode = pmNone;
        if (!SavePrefsForm->Execute(mode))
            return false;
        Settings.PrefsMode = mode;
        OptionsFrame->SetPrefsIndex(mode);
    }
    if (Settings.PrefsMode == pmNone)
        return true;
    Settings.mainleft = frameGeometry().x();
    Settings.maintop = frameGeometry().y();
    Settings.mainWidth = width() + FrameExtra.width();
    Settings.mainHeight = height() + FrameExtra.height();
    Settings.SortIndex = ListeFrame->lb->SortIndex().Key;
    Settings.PortablePath = FWhere.ExeFolder();
    QString error;
    if (!SaveSettings(Settings, &error, FWhere)) {
        QMessageBox::critical(this, FormTitle, error);
        return false;
    }
    return true;
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!MimeDataFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// Files dropped anywhere on the window open in the clip list.
void TForm1::dropEvent(QDropEvent *event)
{
    const QStringList files = MimeDataFiles(*event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    ListeFrame->lb->DropFiles(files);
}
