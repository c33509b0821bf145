#include "authoring/discprocessor.h"

#include "authoring/abort.h"
#include "authoring/tooloutput.h"
#include "platform/datetime.h"
#include "platform/findfiles.h"
#include "platform/pathdelim.h"

TDiscProcessor::TDiscProcessor(TProcessingView &view, std::shared_ptr<TDiscList> discs, const TSettings &settings,
                               TDiscSteps steps)
    : FView(view), FDiscs(std::move(discs)), FSettings(settings), FSteps(std::move(steps))
{
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
    FView.ShowStatus(QStringLiteral("En train de traiter eac3to pour le disque ") + disc.DiscName(), ssWorking);
    FView.ShowGauge(int(disc.TotalSize / 1'000'000));
    FView.ShowCancelButton(true);
    FView.ProcessEvents();
    const uint8_t result = FSteps.Demux(disc, FSettings, [this](const QByteArray &o, const QByteArray &e, bool &a) {
        OnDemuxOutput(o, e, a);
    });
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
        FView.ShowStatus(QStringLiteral("Erreur pendant l'exécution de ") + tool, ssError);
        return false;
    }
    return true;
}

bool TDiscProcessor::Mux(TdecoupeDisque &disc)
{
    FView.ShowStatus(QStringLiteral("En train d'exécuter tsMuxeR pour ") + disc.DiscName(), ssWorking);
    FView.ProcessEvents();
    const uint8_t result = FSteps.Mux(disc, FSettings, [this](const QByteArray &o, const QByteArray &e, bool &a) {
        OnMuxOutput(o, e, a);
    });
    return ReportStep(result, QStringLiteral("tsMuxeR"));
}

void TDiscProcessor::Burn(TdecoupeDisque &disc)
{
    FView.ShowStatus(QStringLiteral("En train de graver le disque ") + disc.DiscName(), ssWorking);
    FView.ProcessEvents();
    FSteps.Burn(disc, FSettings);
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
            Burn(*held);
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
    FBurnThread = TBurnThread::Start(FDiscs, FSettings, FSteps.Burn);
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
        if (const TDiscPtr disc = FView.ActiveDisc())
            ProcessDisc(disc, true);
    });
}

void TDiscProcessor::saTousDisquesexecute()
{
    RunAction([this] {
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
        const int count = FDiscs->Count();
        for (int index = 0; index < count; ++index) {
            FView.ProcessEvents();
            if (AbortRequested)
                break;
            const TDiscPtr disc = FDiscs->At(index);
            if (!disc)
                break;
            if (disc->ReadyForBurn && !disc->Burnt)
                FSteps.Burn(*disc, FSettings);
        }
    });
}
