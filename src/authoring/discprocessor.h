// The processing driver of the disc page: runs the demux, mux and burn
// steps of one disc or of the whole disc list, keeps the discs' marks, the
// status bar, the gauge and the log up to date, and starts the burn thread
// of "Tous Disques". It needs no widget: the page and the main window show
// what it reports through TProcessingView.
#pragma once

#include "authoring/burnthread.h"
#include "authoring/destination.h"
#include "authoring/disclist.h"
#include "authoring/threadpost.h"
#include "authoring/toolsteps.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// Status kinds the driver uses (those of the main window's status bar).
enum TStepStatus : int { ssReady = 0, ssInterrupted = 1, ssWorking = 3, ssError = 4 };

enum TDiscMark { dmReadyForMux, dmReadyForBurn, dmBurnt };

// What the driver shows while it works; every call comes on the main thread.
class TProcessingView
{
public:
    virtual ~TProcessingView() = default;
    virtual void ShowStatus(const QString &text, int kind) = 0;
    // The gauge from 0 to maximum, at 0, shown.
    virtual void ShowGauge(int maximum) = 0;
    virtual void SetGaugePosition(int position) = 0;
    virtual void HideGauge() = 0;
    virtual void ShowCancelButton(bool shown) = 0;
    // "Interrompre" visible while processing, the three processing actions
    // visible otherwise.
    virtual void ShowProcessingActions(bool processing) = 0;
    // Appends lines (separated by "\n") to the log; "" appends one empty line.
    virtual void AppendLog(const QString &lines) = 0;
    // Ticks the check box of the mark; called for the active disc only.
    virtual void TickMark(TDiscMark mark) = 0;
    virtual TDiscPtr ActiveDisc() const = 0;
    // Lets the user interface handle its pending events.
    virtual void ProcessEvents() = 0;
};

// The three disc steps; tests may wrap them.
struct TDiscSteps
{
    using TStep =
        std::function<uint8_t(TDisque &, const TSettings &, const ToolOutputHandler &, const TStepLog &)>;
    TStep Demux = DemuxDisc;
    TStep Mux = MuxDisc;
    TBurnThread::TBurnStep Burn = BurnDisc;
    // Asks the burner which drives it finds, before a run to a chosen drive.
    std::function<TDriveListing(const QString &imgburn, const std::function<void()> &whileWaiting)>
        ListDrives = ListBurnerDrives;
};

class TDiscProcessor
{
public:
    // settings is read at each step (the program's Settings); discs is the
    // disc list the loops and the burn thread walk.
    TDiscProcessor(TProcessingView &view, std::shared_ptr<TDiscList> discs, const TSettings &settings,
                   TDiscSteps steps = {});
    // What the burn thread still reports is dropped from now on.
    ~TDiscProcessor();

    // The steps of disc that have not run yet; burning only when burn.
    void ProcessDisc(const TDiscPtr &disc, bool burn);
    void SetProcessing(bool on);
    // Starts the one burn thread of this run, unless it was started before.
    // Its burns are logged, and the discs it burnt marked, on this thread.
    void StartBurnThread();

    // Output handlers of the demux, mux and burn steps.
    void OnDemuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);
    void OnMuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);
    void LogToolOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);

    // "Disque Actuel", "Tous Disques" and "Graver". A call while one of
    // them runs (from the events handled meanwhile) does nothing.
    void saDisqueActuelexecute();
    void saTousDisquesexecute();
    void saGraverexecute();

    bool Processing() const { return FProcessing; }
    // The burn thread once started, for the rest of the run; null before.
    std::shared_ptr<TBurnThread> BurnThread() const { return FBurnThread; }

    // What the log shows of a tool's output text: line breaks normalised,
    // surrounding blanks and control characters removed, lines separated
    // by "\n"; empty when nothing is left.
    static QString LogText(const QByteArray &toolText);
    // Bytes written so far by the demux step of disc into folder: the files
    // named StreamBase* written since DemuxStart.
    static int64_t StreamBytes(const TDisque &disc, const QString &folder);

private:
    bool Demux(TdecoupeDisque &disc);
    bool Mux(TdecoupeDisque &disc);
    bool ReportStep(uint8_t result, const QString &tool);
    bool Burn(TdecoupeDisque &disc);
    // Runs the burn step on this thread, with its output in the log.
    uint8_t RunBurn(const TDisque &disc);
    // Shows a failure in red in the status bar and in the log.
    void ShowFailure(const QString &text);
    // The failure a burn's result shows.
    QString BurnFailure(const TDisque &disc, uint8_t result) const;
    // Before a run that burns the discs: whether they can go where the
    // settings send them; the failure is shown when not.
    bool DestinationReady(const std::vector<TDiscPtr> &toBurn);
    // The discs of the list not burnt yet; only those ready for burning
    // when readyOnly.
    std::vector<TDiscPtr> DiscsToBurn(bool readyOnly) const;
    // A burn of the burn thread has ended (on this thread).
    void BurnEnded(const TDiscPtr &disc, uint8_t result);
    void SetMark(const TDiscPtr &disc, TDiscMark mark);
    TStepLog StepLog();
    // Runs work between SetProcessing(true) and SetProcessing(false),
    // unless another action is running.
    void RunAction(const std::function<void()> &work);

    TProcessingView &FView;
    std::shared_ptr<TDiscList> FDiscs;
    const TSettings &FSettings;
    TDiscSteps FSteps;
    TDiscPtr FCurrent;  // the disc whose demux the gauge follows
    bool FProcessing = false;
    std::shared_ptr<TBurnThread> FBurnThread;
    // Where the burn thread's reports reach this thread, once it is started.
    std::shared_ptr<TThreadPost> FPost;
};
