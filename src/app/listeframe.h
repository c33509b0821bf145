// The clip list page: the row of page buttons, the clip list with its
// counts line, the preview of the active clip on the right and the welcome
// panel over it while no clip is shown.
#pragma once

#include "src/clips/listfichier.h"

#include <QFrame>

#include <functional>

class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class TAudioSource;
class TFichierListBox;
class TLinkEdit;
class TVideoSource;
class TviewFrame;

class TListeFrame : public QFrame
{
    Q_OBJECT
public:
    // makeDevice: how each clip's media device is made (probing the file
    // when none is given).
    explicit TListeFrame(QWidget *parent = nullptr, const TDeviceFactory &makeDevice = {});

    QFrame *Bevel1;
    QToolButton *FichiersBtn, *DossierBtn, *ViderBtn, *OptionsBtn, *AproposBtn, *QuitterBtn;
    TFichierListBox *lb;
    // The sort orders the user can choose, under the list.
    QComboBox *cbTri;
    QLabel *labCount;
    TviewFrame *viewFrame;
    TLinkEdit *Disclaimer;
    QToolButton *DisquesBtn;

    // Called once the user has chosen a sort order and the list is sorted
    // by it.
    std::function<void(const TSortIndex &order)> OnSortChosen;

    // Sorts the list by order and shows it as the current choice.
    void ShowSortOrder(const TSortIndex &order);
    // The menu of the choosable orders, the current one checked; choosing
    // an entry sorts the list and raises OnSortChosen.
    QMenu *NewSortMenu(QWidget *parent);

    // The welcome panel shows while neither source is real; then the
    // viewer is given the pair.
    bool ShowSources(TVideoSource *video, TAudioSource *audio);
    // Closes the viewer (before the list is emptied, the disc page is shown
    // or another clip is shown) and shows the welcome panel.
    bool CloseViewer();
    // In place of the preview of a file that is not a readable clip, the
    // panel says why (reason, in French).
    void ShowUnreadable(const QString &fileName, const QString &reason);
    // The "site" link opens the home page, or the help page shipped with
    // the program when none was set at build time.
    void DisclaimerUrlClick(const QString &link);

    // The list accepts a clip file: ".m2ts", or ".mts" as on a camcorder's
    // memory card, in any letter case. Runs on the opening worker: looks
    // at the name only.
    static bool lbOpenTestExtension(const QString &wfilename);
    // The counts line for count clips whose total duration reads
    // durationText ("" under one second).
    static QString CountsLine(int count, const QString &durationText);
    // Shows the number of clips and their total duration under the list.
    void lbCountsChange(int iselcount, int icount);

private:
    void ShowWelcome();
    void ChooseSort(const TSortIndex &order);
};
