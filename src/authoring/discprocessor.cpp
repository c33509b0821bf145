#include "src/authoring/discprocessor.h"

#include "src/authoring/abort.h"
#include "src/authoring/failurereasons.h"
#include "src/authoring/tooloutput.h"
#include "src/platform/foldercheck.h"

namespace {

// Enough of a program's error output to find why it failed.
constexpr qsizetype kErrorsKept = 16384;
constexpr int64_t kNsPer100Ns = 100;

QString StepFailureText(TStepKind step)
{
    return step == skDemux ? QStringLiteral("Erreur pendant l'exécution de eac3to")
                           : QStringLiteral("Erreur pendant l'exécution de tsMuxeR");
}

// Steps of the disc still to run in a run without burning.
int PendingSteps(const TDisque &disc)
{
    return int(!disc.ReadyForMux) + int(!disc.ReadyForBurn);
}

}  // namespace

void TDiscProcessor::TStepShown::Start(TStepKind step, const QString &discName)
{
    Active = true;
    Step = step;
    DiscName = discName;
    Progress = ErrorProgress = TToolProgress();
    Errors.clear();
    LastLogLine.clear();
    Clock.start();
}

TDiscProcessor::TDiscProcessor(TProcessingView &view, std::shared_ptr<TDiscList> discs,
                               const TSettings &settings, TDiscSteps steps)
    : FView(view), FDiscs(std::move(discs)), FSettings(settings), FSteps(std::move(steps))
{ }

TDiscProcessor::~TDiscProcessor()
{
    if (FPost)
        FPost->Close();
}

TStepLog TDiscProcessor::StepLog(TStepShown &shown)
{
    return [this, &shown](const QString &line) {
        shown.LastLogLine = line;
        FView.AppendLog(line);
    };
}

QString TDiscProcessor::LogText(const QByteArray &toolText)
{
    if (toolText.isEmpty())
        return {};
    QByteArray text = NormaliseLineBreaks(toolText);
    qsizetype first = 0, end = text.size();
    while (first < end && uint8_t(text[first]) <= ' ')
        ++first;
    while (end > first && uint8_t(text[end - 1]) <= ' ')
        --end;
    text = text.mid(first, end - first).replace("\r\n", "\n");
    return QString::fromLocal8Bit(text);
}

void TDiscProcessor::TakeOutput(TStepShown &shown, const QByteArray &output, const QByteArray &errorOutput)
{
    const int before = shown.Progress.Percent();
    const QString out = LogText(shown.Progress.Feed(output));
    if (!out.isEmpty())
        FView.AppendLog(out);
    const QString err = LogText(shown.ErrorProgress.Feed(errorOutput));
    if (!err.isEmpty()) {
        FView.AppendLog(err);
        FView.AppendLog(QString());
        shown.Errors = (shown.Errors + errorOutput).right(kErrorsKept);
    }
    if (shown.Progress.Percent() != before)
        ShowRunStatus();
}

void TDiscProcessor::LogToolOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    TakeOutput(FMainStep, output, errorOutput);
    FView.ProcessEvents();
    abort = AbortRequested;
}

void TDiscProcessor::OnDemuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    LogToolOutput(output, errorOutput, abort);
}

void TDiscProcessor::OnMuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    LogToolOutput(output, errorOutput, abort);
}

void TDiscProcessor::OnBurnOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    TakeOutput(FMainStep, output, errorOutput);
    FView.ProcessEvents();
    abort = FStopBurnHere;
}

QString TDiscProcessor::StopBurnQuestion() const
{
    const TStepShown &burn = FMainStep.Active && FMainStep.Step == skBurn ? FMainStep : FThreadStep;
    if (!burn.Active)
        return {};
    return QStringLiteral("La gravure du ") + burn.DiscName
           + QStringLiteral(" est en cours. L'interrompre rendra ce disque inutilisable. Interrompre ?");
}

void TDiscProcessor::StopBurn()
{
    if (FMainStep.Active && FMainStep.Step == skBurn)
        FStopBurnHere = true;
    if (FBurnThread)
        FBurnThread->RequestStop();
}

void TDiscProcessor::SetMark(const TDiscPtr &disc, TDiscMark mark)
{
    switch (mark) {
    case dmReadyForMux: disc->ReadyForMux = true; break;
    case dmReadyForBurn: disc->ReadyForBurn = true; break;
    case dmBurnt: disc->Burnt = true; break;
    }
    if (FView.ActiveDisc() == disc)
        FView.TickMark(mark);
}

void TDiscProcessor::ShowStatusOnce(const QString &text, TStatusKind kind)
{
    if (text == FShownText && kind == FShownKind)
        return;
    FShownText = text;
    FShownKind = kind;
    FView.ShowStatus(text, kind);
}

int64_t TDiscProcessor::TimeLeft() const
{
    if (!FEstimating || !FMainStep.Active)
        return -1;
    const int percent = std::max(0, FMainStep.Progress.Percent());
    const int64_t now = FUnitsDone + FDiscUnitsDone + FCurrentSize * percent / 100;
    return EstimateTimeLeft(FCheckpointElapsed, FCheckpointUnits, now, FUnitsTotal);
}

void TDiscProcessor::ShowRunStatus()
{
    QStringList parts;
    const TStepShown *gauge = nullptr;
    for (const TStepShown *step : {&FMainStep, &FThreadStep}) {
        if (!step->Active)
            continue;
        const bool verifying = step->Progress.Stage() == "Verifying";
        parts << StepProgressText(step->Step, step->DiscName, step->Progress.Percent(), verifying);
        if (!gauge)
            gauge = step;
    }
    if (gauge) {
        if (!FGaugeShown)
            FView.ShowGauge(100);
        FGaugeShown = true;
        FView.SetGaugePosition(std::max(0, gauge->Progress.Percent()));
    } else if (FGaugeShown) {
        FView.HideGauge();
        FGaugeShown = false;
    }
    if (parts.isEmpty()) {
        if (FRunStarted)
            ShowStatusOnce(FSummary.Text(), FSummary.Kind());
        return;
    }
    if (const int64_t left = TimeLeft(); left >= 0)
        parts << TimeLeftText(left);
    // A failure stays in sight while the run goes on.
    if (FSummary.Failed > 0)
        parts << FSummary.FailuresText();
    ShowStatusOnce(parts.join(QStringLiteral(" — ")),
                   FSummary.Failed > 0 ? TStatusKind::Error : TStatusKind::ToolRunning);
}

void TDiscProcessor::StepEnded(TStepShown &shown, const TDiscPtr &disc, TStepResult result)
{
    for (TToolProgress *progress : {&shown.Progress, &shown.ErrorProgress})
        if (const QString rest = LogText(progress->Finish()); !rest.isEmpty())
            FView.AppendLog(rest);
    const int64_t duration = shown.Clock.nsecsElapsed() / kNsPer100Ns;
    FView.AppendLog(StepEndText(shown.Step, shown.DiscName, result, duration));
    shown.Active = false;
    if (StepSucceeded(result)) {
        if (shown.Step == skBurn)
            FView.AppendLog(BurnDoneText(*disc, BurnTargetOf(*disc, FSettings)));
        if (!disc->Failure.isEmpty()) {
            disc->Failure.clear();
            FView.ShowDiscFailure(disc);
        }
        if (result == TStepResult::Warnings)
            ++FSummary.Warnings;
        return;
    }
    if (result == TStepResult::Interrupted) {
        ++FSummary.Interrupted;
        return;
    }
    ++FSummary.Failed;
    QString reason = ToolFailureReason(shown.Errors);
    if (reason.isEmpty())
        reason = shown.LastLogLine;
    // A disc refused for lack of room already says all there is to say.
    if (result == TStepResult::BurnNoRoom)
        reason.clear();
    const QString failure = shown.Step == skBurn ? BurnFailure(*disc, result) : StepFailureText(shown.Step);
    disc->Failure = failure + (reason.isEmpty() ? QString() : QStringLiteral(" : ") + reason);
    FView.AppendLog(disc->Failure);
    FView.ShowDiscFailure(disc);
}

TStepResult TDiscProcessor::CallStep(TdecoupeDisque &disc, TStepKind step)
{
    using TOutputMethod = void (TDiscProcessor::*)(const QByteArray &, const QByteArray &, bool &);
    const auto handler = [this](TOutputMethod method) -> ToolOutputHandler {
        return
            [this, method](const QByteArray &o, const QByteArray &e, bool &a) { (this->*method)(o, e, a); };
    };
    const TStepLog log = StepLog(FMainStep);
    switch (step) {
    case skDemux: return FSteps.Demux(disc, FSettings, handler(&TDiscProcessor::OnDemuxOutput), log);
    case skMux: return FSteps.Mux(disc, FSettings, handler(&TDiscProcessor::OnMuxOutput), log);
    case skBurn: break;
    }
    return FSteps.Burn(disc, FSettings, handler(&TDiscProcessor::OnBurnOutput), log);
}

bool TDiscProcessor::RunStep(const TDiscPtr &disc, TStepKind step)
{
    FMainStep.Start(step, disc->DiscName());
    // A stop asked for from here on is this burn's.
    FStopBurnHere = false;
    FView.ShowCancelButton(true);
    ShowRunStatus();
    FView.ProcessEvents();
    const TStepResult result = CallStep(*disc, step);
    StepEnded(FMainStep, disc, result);
    ShowRunStatus();
    return StepSucceeded(result);
}

void TDiscProcessor::ProcessDisc(const TDiscPtr &disc, bool burn)
{
    if (!disc)
        return;
    // Held for the whole of the steps: the list may be rebuilt or emptied
    // from the events handled meanwhile.
    const TDiscPtr held = disc;
    FCurrentSize = held->TotalSize;
    FDiscUnitsDone = 0;
    const int pending = PendingSteps(*held);
    // Counts the disc in the run's summary once its steps have all run.
    [&] {
        if (!held->ReadyForMux) {
            if (!RunStep(held, skDemux))
                return false;
            SetMark(held, dmReadyForMux);
            FDiscUnitsDone += held->TotalSize;
            FView.AppendLog(QString());
            FView.AppendLog(QString());
        }
        if (!held->ReadyForBurn) {
            if (!RunStep(held, skMux))
                return false;
            SetMark(held, dmReadyForBurn);
            FView.AppendLog(QString());
            FView.AppendLog(QString());
        }
        if (burn && !held->Burnt) {
            if (!RunStep(held, skBurn))
                return false;
            SetMark(held, dmBurnt);
            ++FSummary.Burnt;
            return true;
        }
        ++FSummary.Ready;
        return true;
    }();
    FView.ShowCancelButton(false);
    // The pace of the run so far, for the time it has left.
    FUnitsDone += held->TotalSize * pending;
    FDiscUnitsDone = 0;
    FCheckpointUnits = FUnitsDone;
    FCheckpointElapsed = FRunClock.isValid() ? FRunClock.nsecsElapsed() / kNsPer100Ns : 0;
}

void TDiscProcessor::SetProcessing(bool on)
{
    AbortRequested = false;
    FView.ShowProcessingActions(on);
}

void TDiscProcessor::ThreadBurnStarted(const TDiscPtr &disc)
{
    FThreadStep.Start(skBurn, disc->DiscName());
    ShowRunStatus();
}

void TDiscProcessor::ThreadBurnEnded(const TDiscPtr &disc, TStepResult result)
{
    StepEnded(FThreadStep, disc, result);
    if (StepSucceeded(result)) {
        SetMark(disc, dmBurnt);
        ++FSummary.Burnt;
    }
    ShowRunStatus();
}

void TDiscProcessor::StartBurnThread()
{
    if (FBurnThread)
        return;
    // Everything the thread reports runs here, on this thread, while this
    // processor lives.
    FPost = std::make_shared<TThreadPost>();
    const std::shared_ptr<TThreadPost> post = FPost;
    TBurnThread::TListener listener;
    listener.Started = [this, post](const TDiscPtr &disc) {
        post->Post([this, disc] { ThreadBurnStarted(disc); });
    };
    listener.Output = [this, post](const QByteArray &output, const QByteArray &errorOutput, bool &) {
        if (!output.isEmpty() || !errorOutput.isEmpty())
            post->Post([this, output, errorOutput] { TakeOutput(FThreadStep, output, errorOutput); });
    };
    listener.Log = [this, post](const QString &line) {
        post->Post([this, line] {
            FThreadStep.LastLogLine = line;
            FView.AppendLog(line);
        });
    };
    listener.Ended = [this, post](const TDiscPtr &disc, TStepResult result) {
        post->Post([this, disc, result] { ThreadBurnEnded(disc, result); });
    };
    listener.Finished = [this, post] { post->Post([this] { ShowRunStatus(); }); };
    FBurnThread = TBurnThread::Start(FDiscs, FSettings, FSteps.Burn, std::move(listener));
}

QString TDiscProcessor::WorkFoldersProblem(const TSettings &settings)
{
    const std::pair<QString, QString> folders[] = {
        {QStringLiteral("des flux"), settings.DossierFlux},
        {QStringLiteral("meta"), settings.Dossiermeta},
        {QStringLiteral("AVCHD"), settings.DossierAVCHD},
    };
    for (const auto &[name, folder] : folders)
        if (const QString problem = WritableFolderMessage(name, folder); !problem.isEmpty())
            return problem;
    return {};
}

void TDiscProcessor::RefuseRun(const QString &problem)
{
    FRunStarted = false;
    FView.AppendLog(problem);
    FShownKind.reset();
    ShowStatusOnce(problem, TStatusKind::Error);
}

bool TDiscProcessor::WorkFoldersReady()
{
    const QString problem = WorkFoldersProblem(FSettings);
    if (problem.isEmpty())
        return true;
    RefuseRun(problem);
    return false;
}

QString TDiscProcessor::BurnFailure(const TDisque &disc, TStepResult result) const
{
    const TBurnTarget target = BurnTargetOf(disc, FSettings);
    return result == TStepResult::BurnNoRoom ? BurnNoRoomText(disc, target) : BurnFailureText(disc, target);
}

bool TDiscProcessor::DestinationReady(const std::vector<TDiscPtr> &toBurn)
{
    if (toBurn.empty())
        return true;
    int64_t largest = 0;
    for (const TDiscPtr &disc : toBurn)
        largest = std::max(largest, disc->TotalSize);
    const QString problem = CheckDestination(FSettings, largest, [this] {
        return FSteps.ListDrives(FSettings.ImgBurnFile, [this] { FView.ProcessEvents(); });
    });
    if (problem.isEmpty())
        return true;
    RefuseRun(problem);
    return false;
}

std::vector<TDiscPtr> TDiscProcessor::DiscsToBurn(bool readyOnly) const
{
    std::vector<TDiscPtr> discs;
    for (int index = 0; index < FDiscs->Count(); ++index)
        if (const TDiscPtr disc = FDiscs->At(index);
            disc && !disc->Burnt && (disc->ReadyForBurn || !readyOnly))
            discs.push_back(disc);
    return discs;
}

void TDiscProcessor::RunAction(const std::function<void()> &work, bool demuxOrMux)
{
    if (FProcessing)
        return;
    // A folder the steps cannot write stops the run before its first
    // program, not after an hour of demultiplexing.
    if (demuxOrMux && !WorkFoldersReady())
        return;
    FProcessing = true;
    FSummary = TRunSummary();
    FRunStarted = true;
    FShownKind.reset();
    SetProcessing(true);
    const auto ended = [this] {
        FProcessing = false;
        FEstimating = false;
        SetProcessing(false);
        ShowRunStatus();
    };
    try {
        work();
    } catch (...) {
        ended();
        throw;
    }
    ended();
}

void TDiscProcessor::saDisqueActuelexecute()
{
    const TDiscPtr active = FView.ActiveDisc();
    RunAction(
        [this] {
            const TDiscPtr disc = FView.ActiveDisc();
            if (disc
                && DestinationReady(disc->Burnt ? std::vector<TDiscPtr>() : std::vector<TDiscPtr> {disc}))
                ProcessDisc(disc, true);
        },
        active && PendingSteps(*active) > 0);
}

void TDiscProcessor::ForEachListedDisc(const std::function<void(const TDiscPtr &disc)> &work)
{
    const int count = FDiscs->Count();
    for (int index = 0; index < count; ++index) {
        FView.ProcessEvents();
        if (AbortRequested)
            break;
        // The list may have been rebuilt or shortened meanwhile.
        const TDiscPtr disc = FDiscs->At(index);
        if (!disc)
            break;
        work(disc);
    }
}

void TDiscProcessor::saTousDisquesexecute()
{
    int64_t units = 0;
    for (int index = 0; index < FDiscs->Count(); ++index)
        if (const TDiscPtr disc = FDiscs->At(index))
            units += disc->TotalSize * PendingSteps(*disc);
    RunAction(
        [this, units] {
            if (!DestinationReady(DiscsToBurn(false)))
                return;
            FUnitsTotal = units;
            FUnitsDone = FCheckpointUnits = FCheckpointElapsed = 0;
            FRunClock.start();
            FEstimating = true;
            ForEachListedDisc([this](const TDiscPtr &disc) {
                ProcessDisc(disc, false);
                StartBurnThread();
            });
        },
        units > 0);
}

void TDiscProcessor::saGraverexecute()
{
    RunAction(
        [this] {
            if (!DestinationReady(DiscsToBurn(true)))
                return;
            ForEachListedDisc([this](const TDiscPtr &disc) {
                // No mark is set here.
                if (disc->ReadyForBurn && !disc->Burnt && RunStep(disc, skBurn))
                    ++FSummary.Burnt;
            });
            FView.ShowCancelButton(false);
        },
        false);
}
