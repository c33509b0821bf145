// The disc page: the disc list made by the split, the details and the three
// marks of the active disc, the processing buttons, the progress gauge and
// the log of the outside tools. It drives the discs through its processing
// driver and shows what the driver reports.
#pragma once

#include "src/authoring/discprocessor.h"
#include "src/authoring/objetlistbox.h"

#include <QFrame>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;

class TDisquesframe : public QFrame, public TProcessingView
{
    Q_OBJECT
public:
    // settings: read by the steps (the program's Settings); steps: the disc
    // steps the driver runs.
    explicit TDisquesframe(QWidget *parent = nullptr, const TSettings &settings = Settings,
                           TDiscSteps steps = {});
    ~TDisquesframe() override;

    QFrame *Bevel1;
    QToolButton *parentFichiersBtn, *parentAVCHDBtn, *ListeBtn, *OptionsBtn, *AproposBtn, *QuitterBtn;
    TObjetListBox *lbDisques;
    QFrame *TntPanel1;
    QLabel *labProject, *labTitre, *labSize, *labNbFic, *labDuree;
    // Why the active disc's last step failed.
    QLabel *labEchec;
    QCheckBox *cbReadyForMux, *cbReadyforBurn, *cbBurnt;
    QLabel *labDisques;
    QPlainTextEdit *Memo1;
    QProgressBar *Gauge;
    QToolButton *DisqueActuelBtn, *TousDisquesBtn, *GraverBtn, *AnnulerBtn;

    // The discs in list order, as the processing loops and the burn thread
    // read them.
    const std::shared_ptr<TDiscList> Discs;
    TDiscProcessor Processor;

    // The main window's status bar.
    std::function<void(const QString &text, TStatusKind kind)> OnShowStatus;

    // Empties the list and shows the discs of a split in it.
    void ShowDiscs(const std::vector<TDiscPtr> &discs);

    void lbDisquesActiveChange(TAbstractListObjet *actif);
    void ShowDiscDetails(const TDisque &disc);
    void ClearDiscDetails();
    void lbDisquesCountsChange(int iselcount, int icount);
    void cbReadyForMuxClick();
    void cbReadyforBurnClick();
    void cbBurntClick();

    // TProcessingView
    void ShowStatus(const QString &text, TStatusKind kind) override;
    void ShowGauge(int maximum) override;
    void SetGaugePosition(int position) override;
    void HideGauge() override;
    void ShowCancelButton(bool shown) override;
    void ShowProcessingActions(bool processing) override;
    void AppendLog(const QString &lines) override;
    void TickMark(TDiscMark mark) override;
    void ShowDiscFailure(const TDiscPtr &disc) override;
    TDiscPtr ActiveDisc() const override { return FActiveDisc; }
    void ProcessEvents() override;

private:
    void PublishDiscs();
    // The processing buttons (or their actions) enabled when there is
    // something to process and nothing is being processed.
    void EnableProcessingButtons();

    // The disc of the list's active entry, for the whole program.
    TDiscPtr FActiveDisc;
};
