// The main window: four pages stacked in one place (clip list, discs,
// options, about), a one-panel status bar, the open-files dialog, the image
// list and the action list whose actions the page buttons are bound to.
// It also runs the start-up (first showing and painting) and the close.
#pragma once

#include "src/authoring/statuskind.h"
#include "src/clips/listfichier.h"
#include "src/prefs/settings.h"

#include <QWidget>

#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class TAProposFrame;
class TActionList;
class TDisquesframe;
class TCustomSuperAction;
class TImageList;
class TFichiersManquantsForm;
class TListeFrame;
class TMediaSystem;
class TLocaliserFichiersForm;
class TOptionsFrame;
class TSavePrefsForm;
class TSuperAction;
class TtoggleAction;

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    // where: the executable and hive the settings are read from and
    // written to; makeDevice: how each clip's media device is made
    // (probing the file when none is given).
    explicit TForm1(const TPrefsLocation &where = TPrefsLocation::Current(),
                    const TDeviceFactory &makeDevice = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    // Sets the status bar's text and the colour of its kind.
    void ShowStatus(const QString &text, TStatusKind kind);
    QColor StatusColour() const;
    // Copies Settings into the window and its pages.
    void ApplySettings();

    TListeFrame *ListeFrame;
    TDisquesframe *Disquesframe;
    TOptionsFrame *OptionsFrame;
    TAProposFrame *aproposFrame;
    QLabel *StatusBar1;
    QFileDialog *od;
    std::unique_ptr<TImageList> il;
    // The preview engine of the list page's viewer.
    std::unique_ptr<TMediaSystem> MediaSystem;
    TActionList *TntActionList1;
    // The dialogs of the start-up tools check and of the close.
    TSavePrefsForm *SavePrefsForm;
    TLocaliserFichiersForm *LocaliserFichiersForm;
    TFichiersManquantsForm *FichiersManquantsForm;

    TSuperAction *saOpenFiles, *saOpenFolder, *saVider, *saQuitter, *saPaste, *saParentFichiersM2ts,
        *saParentAVCHD, *saDisqueActuel, *saAbort, *saDisques, *saListe, *saGraver, *saTousDisques;
    TtoggleAction *taOptions;
    TSuperAction *saMesOptions;
    TtoggleAction *taApropos;

    // True when the disc page was shown last; chooses the image of the
    // "Sortir" and "Retour" buttons.
    bool BasePageIsDiscs = false;

    // Empties the disc list and fills it with the clip list split into
    // discs; a clip that stops the split is told in a message box.
    void SplitIntoDiscs();
    // Shows the split's message (a message box unless replaced).
    std::function<void(const QString &text)> ShowSplitMessage;
    // Asks whether to stop the burn under way (a message box unless
    // replaced); true to stop it.
    std::function<bool(const QString &question)> ConfirmStopBurn;

    // The tools check of the first painting (the two dialogs unless
    // replaced). Localiser: true when the three tools are there (or were
    // located); ConfirmMissing: true when the user goes on without them,
    // false to end the program.
    std::function<bool()> Localiser;
    std::function<bool()> ConfirmMissing;

    // The client size the stored outer size stands for: the stored window
    // bounds are outer bounds, as the settings have always held them.
    static QSize ClientSizeFor(int width, int height);
    static const QSize FrameExtra;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void CreatePages(const TDeviceFactory &makeDevice);
    void ListenToList();
    // Plays the active clip in the viewer (its first video and audio), or
    // shows the welcome panel when there is none.
    void ShowActiveClip(TAbstractListFichier *actif);
    // The disc page: its buttons, its processing actions and its status.
    TDisquesframe *CreateDiscPage();
    void BindDiscPage();
    void CreateImages();
    void CreateActions();
    void BindButtons();
    void FirstShow();
    // Puts the window's frame at the stored place, or on the nearest screen
    // when that place is off every screen.
    void PlaceFrame(const QPoint &stored);
    void FirstPaint();
    bool CloseQuery();

    void ShowPage(QWidget *page);
    void ToggleOpen(TtoggleAction *toggle, TtoggleAction *other, QWidget *page);
    void ToggleClose(TtoggleAction *toggle, QWidget *page, int image);

    void saOpenFilesprepare();
    void saOpenFolderprepare();
    void saMesOptionsexecute();

    TPrefsLocation FWhere;
    bool FShown = false;
    bool FPainted = false;
};
