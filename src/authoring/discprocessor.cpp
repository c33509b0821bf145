#include "authoring/discprocessor.h"

#include "authoring/abort.h"
#include "authoring/tooloutput.h"
#include "platform/datetime.h"
#include "platform/findfiles.h"
#include "platform/pathdelim.h"

TDiscProcessor::TDiscProcessor(TProcessingView &view, std::shared_ptr<TDiscList> discs,
                               const TSettings &settings, TDiscSteps steps)
    : FView(view), FDiscs(std::move(discs)), FSettings(settings), FSteps(std::move(steps))
{ }

TDiscProcessor::~TDiscProcessor()
{
    if (FPost)
        FPost->Close();
}

TStepLog TDiscProcessor::StepLog()
{
    return [this](const QString &line) { FView.AppendLog(line); };
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

int64_t TDiscProcessor::StreamBytes(const TDisque &disc, const QString &folder)
{
    int64_t total = 0;
    for (const TFindData &entry : FindFiles(folder + disc.StreamBase + QStringLiteral("*.*"))) {
        if (entry.Attributes & faDirectory)
            continue;
        const TFileTime &written = entry.LastWriteTime;
        if (LocalDateTimeFromUnix(written.Seconds, written.Nanoseconds) < disc.DemuxStart)
            continue;
        total += int64_t(entry.SizeHigh) << 32 | entry.SizeLow;
    }
    return total;
}

void TDiscProcessor::LogToolOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    const QString out = LogText(output);
    if (!out.isEmpty())
        FView.AppendLog(out);
    const QString err = LogText(errorOutput);
    if (!err.isEmpty()) {
        FView.AppendLog(err);
        FView.AppendLog(QString());
    }
    FView.ProcessEvents();
    abort = AbortRequested;
}

void TDiscProcessor::OnDemuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    if (FCurrent)
        FView.SetGaugePosition(int(StreamBytes(*FCurrent, FSettings.DossierFlux) / 1'000'000));
    LogToolOutput(output, errorOutput, abort);
}

void TDiscProcessor::OnMuxOutput(const QByteArray &output, const QByteArray &errorOutput, bool &abort)
{
    LogToolOutput(output, errorOutput, abort);
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

bool TDiscProcessor::Demux(TdecoupeDisque &disc)
{
    FView.ShowStatus(QStringLiteral("En train de traiter eac3to pour le disque ") + disc.DiscName(),
                     ssWorking);
    FView.ShowGauge(int(disc.TotalSize / 1'000'000));
    FView.ShowCancelButton(true);
    FView.ProcessEvents();
    const uint8_t result = FSteps.Demux(
        disc, FSettings,
        [this](const QByteArray &o, const QByteArray &e, bool &a) { OnDemuxOutput(o, e, a); }, StepLog());
    FView.HideGauge();
    return ReportStep(result, QStringLiteral("eac3to"));
}

// Shows how a demux or mux step of the tool ended, when it did not succeed.
bool TDiscProcessor::ReportStep(uint8_t result, const QString &tool)
{
    if (result == srInterrupted) {
        FView.ShowStatus(QStringLiteral("L'exécution de ") + tool + QStringLiteral(" a été interrompue"),
                         ssInterrupted);
        return false;
    }
    if (result != srDone) {
        ShowFailure(QStringLiteral("Erreur pendant l'exécution de ") + tool);
        return false;
    }
    return true;
}

void TDiscProcessor::ShowFailure(const QString &text)
{
    FView.ShowStatus(text, ssError);
    FView.AppendLog(text);
}

QString TDiscProcessor::BurnFailure(const TDisque &disc, uint8_t result) const
{
    const TBurnTarget target = BurnTargetOf(disc, FSettings);
    return result == srBurnNoRoom ? BurnNoRoomText(disc, target) : BurnFailureText(disc, target);
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
    ShowFailure(problem);
    return false;
}

bool TDiscProcessor::Mux(TdecoupeDisque &disc)
{
    FView.ShowStatus(QStringLiteral("En train d'exécuter tsMuxeR pour ") + disc.DiscName(), ssWorking);
    FView.ProcessEvents();
    const uint8_t result = FSteps.Mux(
        disc, FSettings, [this](const QByteArray &o, const QByteArray &e, bool &a) { OnMuxOutput(o, e, a); },
        StepLog());
    return ReportStep(result, QStringLiteral("tsMuxeR"));
}

uint8_t TDiscProcessor::RunBurn(const TDisque &disc)
{
    // The window keeps answering while the burner runs; its output goes to
    // the log. The handler cannot stop it: the step does not listen.
    return FSteps.Burn(
        disc, FSettings,
        [this](const QByteArray &o, const QByteArray &e, bool &a) { LogToolOutput(o, e, a); }, StepLog());
}

bool TDiscProcessor::Burn(TdecoupeDisque &disc)
{
    const TBurnTarget target = BurnTargetOf(disc, FSettings);
    FView.ShowStatus(BurnStatusText(disc, target), ssWorking);
    FView.ProcessEvents();
    const uint8_t result = RunBurn(disc);
    if (result == srDone) {
        FView.AppendLog(BurnDoneText(disc, target));
        return true;
    }
    ShowFailure(BurnFailure(disc, result));
    return false;
}

void TDiscProcessor::BurnEnded(const TDiscPtr &disc, uint8_t result)
{
    if (result == srDone) {
        SetMark(disc, dmBurnt);
        FView.AppendLog(BurnDoneText(*disc, BurnTargetOf(*disc, FSettings)));
    } else {
        ShowFailure(BurnFailure(*disc, result));
    }
}

void TDiscProcessor::ProcessDisc(const TDiscPtr &disc, bool burn)
{
    if (!disc)
        return;
    // Held for the whole of the steps: the list may be rebuilt or emptied
    // from the events handled meanwhile.
    const TDiscPtr held = disc;
    FCurrent = held;
    const bool completed = [&] {
        if (!held->ReadyForMux) {
            if (!Demux(*held))
                return false;
            SetMark(held, dmReadyForMux);
            FView.AppendLog(QString());
            FView.AppendLog(QString());
        }
        if (!held->ReadyForBurn) {
            if (!Mux(*held))
                return false;
            SetMark(held, dmReadyForBurn);
            FView.AppendLog(QString());
            FView.AppendLog(QString());
        }
        if (burn && !held->Burnt) {
            if (!Burn(*held))
                return false;
            SetMark(held, dmBurnt);
        }
        return true;
    }();
    FCurrent.reset();
    FView.ShowCancelButton(false);
    if (completed)
        FView.ShowStatus(QStringLiteral("Prêt"), ssReady);
}

void TDiscProcessor::SetProcessing(bool on)
{
    AbortRequested = false;
    FView.ShowProcessingActions(on);
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
    listener.Output = [this, post](const QByteArray &output, const QByteArray &errorOutput, bool &) {
        for (const QString &text : {LogText(output), LogText(errorOutput)})
            if (!text.isEmpty())
                post->Post([this, text] { FView.AppendLog(text); });
    };
    listener.Log = [this, post](const QString &line) { post->Post([this, line] { FView.AppendLog(line); }); };
    listener.Ended = [this, post](const TDiscPtr &disc, uint8_t result) {
        post->Post([this, disc, result] { BurnEnded(disc, result); });
    };
    FBurnThread = TBurnThread::Start(FDiscs, FSettings, FSteps.Burn, std::move(listener));
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

void TDiscProcessor::RunAction(const std::function<void()> &work)
{
    if (FProcessing)
        return;
    FProcessing = true;
    SetProcessing(true);
    try {
        work();
    } catch (...) {
        FProcessing = false;
        SetProcessing(false);
        throw;
    }
    FProcessing = false;
    SetProcessing(false);
}

void TDiscProcessor::saDisqueActuelexecute()
{
    RunAction([this] {
        const TDiscPtr disc = FView.ActiveDisc();
        if (disc && DestinationReady(disc->Burnt ? std::vector<TDiscPtr>() : std::vector<TDiscPtr> {disc}))
            ProcessDisc(disc, true);
    });
}

void TDiscProcessor::saTousDisquesexecute()
{
    RunAction([this] {
        if (!DestinationReady(DiscsToBurn(false)))
            return;
        const int count = FDiscs->Count();
        for (int index = 0; index < count; ++index) {
            FView.ProcessEvents();
            if (AbortRequested)
                break;
            // The list may have been rebuilt or shortened meanwhile.
            const TDiscPtr disc = FDiscs->At(index);
            if (!disc)
                break;
            ProcessDisc(disc, false);
            StartBurnThread();
        }
    });
}

void TDiscProcessor::saGraverexecute()
{
    RunAction([this] {
        if (!DestinationReady(DiscsToBurn(true)))
            return;
        const int count = FDiscs->Count();
        for (int index = 0; index < count; ++index) {
            FView.ProcessEvents();
            if (AbortRequested)
                break;
            const TDiscPtr disc = FDiscs->At(index);
            if (!disc)
                break;
            if (!disc->ReadyForBurn || disc->Burnt)
                continue;
            // No mark is set here; how it ended is shown all the same.
            if (const uint8_t result = RunBurn(*disc); result == srDone)
                FView.AppendLog(BurnDoneText(*disc, BurnTargetOf(*disc, FSettings)));
            else
                ShowFailure(BurnFailure(*disc, result));
        }
    });
}
