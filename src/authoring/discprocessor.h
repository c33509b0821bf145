// The processing driver of the disc page: runs the demux, mux and burn
// steps of one disc or of the whole disc list, keeps the discs' marks, the
// status bar, the gauge and the log up to date, and starts the burn thread
// of "Tous Disques". The status bar names the step under way with its
// percentage, read from the programs' output, and once a run has ended
// sums it up until the next one starts. It needs no widget: the page and
// the main window show what it reports through TProcessingView.
#pragma once

#include "src/authoring/burnthread.h"
#include "src/authoring/destination.h"
#include "src/authoring/disclist.h"
#include "src/authoring/runreport.h"
#include "src/authoring/statuskind.h"
#include "src/authoring/threadpost.h"
#include "src/authoring/toolprogress.h"
#include "src/authoring/toolsteps.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

enum TDiscMark { dmReadyForMux, dmReadyForBurn, dmBurnt };

// What the driver shows while it works; every call comes on the main thread.
class TProcessingView
{
public:
    virtual ~TProcessingView() = default;
    virtual void ShowStatus(const QString &text, TStatusKind kind) = 0;
    // The gauge from 0 to maximum, at 0, shown (a percentage: 100).
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
    // The disc's Failure changed; its details show it when it is active.
    virtual void ShowDiscFailure(const TDiscPtr &disc) = 0;
    virtual TDiscPtr ActiveDisc() const = 0;
    // Lets the user interface handle its pending events.
    virtual void ProcessEvents() = 0;
};

// The three disc steps; tests may wrap them.
struct TDiscSteps
{
    using TStep =
        std::function<TStepResult(TDisque &, const TSettings &, const ToolOutputHandler &, const TStepLog &)>;
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

    // Output handlers of the demux, mux and burn steps run here: progress
    // to the gauge and the status bar, the other lines to the log. The
    // demux and mux stop on AbortRequested, a burn on StopBurn() only.
    void OnDemuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);
    void OnMuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);
    void OnBurnOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);
    void LogToolOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort);

    // "La gravure du Disque NN est en cours. …" while a burn runs, here or
    // on the burn thread; empty otherwise.
    QString StopBurnQuestion() const;
    // Stops the burns under way: the burner here, and the burn thread's
    // burner and pass.
    void StopBurn();

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
    // The message of the first of the stream, meta and AVCHD folders that
    // cannot be made or written; empty when all three can.
    static QString WorkFoldersProblem(const TSettings &settings);

private:
    // A step under way, as the status bar and the gauge follow it.
    struct TStepShown
    {
        bool Active = false;
        TStepKind Step = skDemux;
        QString DiscName;
        TToolProgress Progress;  // read from the program's output
        TToolProgress ErrorProgress;  // updates on the error output, left out of the log
        QByteArray Errors;  // the end of its error output, for a failure's reason
        QString LastLogLine;  // how the program ended
        QElapsedTimer Clock;
        void Start(TStepKind step, const QString &discName);
    };

    // Runs one step of disc here and reports how it ended; true when done.
    bool RunStep(const TDiscPtr &disc, TStepKind step);
    TStepResult CallStep(TdecoupeDisque &disc, TStepKind step);
    // Takes a piece of a step's output: progress, log lines, errors.
    void TakeOutput(TStepShown &shown, const QByteArray &output, const QByteArray &errorOutput);
    // Logs how a step ended, counts it in the run's summary and keeps a
    // failure's message on the disc.
    void StepEnded(TStepShown &shown, const TDiscPtr &disc, TStepResult result);
    // The status bar and the gauge for the steps under way, or the run's
    // summary when none is.
    void ShowRunStatus();
    void ShowStatusOnce(const QString &text, TStatusKind kind);
    int64_t TimeLeft() const;
    // A burn of the burn thread (on this thread).
    void ThreadBurnStarted(const TDiscPtr &disc);
    void ThreadBurnEnded(const TDiscPtr &disc, TStepResult result);
    // The failure a burn's result shows.
    QString BurnFailure(const TDisque &disc, TStepResult result) const;
    // Before a run that burns the discs: whether they can go where the
    // settings send them; the run is refused when not.
    bool DestinationReady(const std::vector<TDiscPtr> &toBurn);
    // The discs of the list not burnt yet; only those ready for burning
    // when readyOnly.
    std::vector<TDiscPtr> DiscsToBurn(bool readyOnly) const;
    // A run that cannot start: the problem in red in the status bar and in
    // the log, and no summary.
    void RefuseRun(const QString &problem);
    void SetMark(const TDiscPtr &disc, TDiscMark mark);
    TStepLog StepLog(TStepShown &shown);
    // Runs work between SetProcessing(true) and SetProcessing(false),
    // unless another action is running; a new run's summary starts. A run
    // that demuxes or muxes starts only when its work folders are usable.
    void RunAction(const std::function<void()> &work, bool demuxOrMux);
    // False, with the message in the status bar and the log, when a work
    // folder is not.
    bool WorkFoldersReady();
    // Runs work for each disc of the list in order, handling events before
    // each, until the list ends or AbortRequested is set.
    void ForEachListedDisc(const std::function<void(const TDiscPtr &disc)> &work);

    TProcessingView &FView;
    std::shared_ptr<TDiscList> FDiscs;
    const TSettings &FSettings;
    TDiscSteps FSteps;
    bool FProcessing = false;
    std::shared_ptr<TBurnThread> FBurnThread;
    // Where the burn thread's reports reach this thread, once it is started.
    std::shared_ptr<TThreadPost> FPost;

    TStepShown FMainStep;  // run here
    TStepShown FThreadStep;  // the burn thread's burn
    bool FStopBurnHere = false;
    TRunSummary FSummary;
    bool FRunStarted = false;  // a summary to show
    // What the status bar shows; none at the start of a run, so that its
    // first status is shown whatever it is.
    QString FShownText;
    std::optional<TStatusKind> FShownKind;
    bool FGaugeShown = false;

    // The time left of "Tous Disques", in units of bytes times steps.
    bool FEstimating = false;
    QElapsedTimer FRunClock;
    int64_t FUnitsTotal = 0;
    int64_t FUnitsDone = 0;  // of the discs ended
    int64_t FDiscUnitsDone = 0;  // of the steps of the current disc ended
    int64_t FCheckpointUnits = 0;
    int64_t FCheckpointElapsed = 0;  // 100 ns
    int64_t FCurrentSize = 0;  // of the disc being worked on
};
