#include "src/authoring/burnthread.h"

#include "src/platform/logging.h"

#include <chrono>
#include <thread>

TBurnThread::TBurnThread(std::shared_ptr<const TDiscList> discList, const TSettings &settings, TBurnStep burn,
                         TListener listener)
    : DiscList(std::move(discList)), FSettings(settings), FBurn(std::move(burn)),
      FListener(std::move(listener))
{ }

std::shared_ptr<TBurnThread> TBurnThread::Start(std::shared_ptr<const TDiscList> discList,
                                                const TSettings &settings, TBurnStep burn, TListener listener)
{
    std::shared_ptr<TBurnThread> thread(
        new TBurnThread(std::move(discList), settings, std::move(burn), std::move(listener)));
    // The thread holds the object until its pass has ended.
    std::thread([self = thread] { self->Execute(); }).detach();
    return thread;
}

void TBurnThread::Execute()
{
    const ToolOutputHandler output = [this](const QByteArray &out, const QByteArray &err, bool &abort) {
        if (FListener.Output)
            FListener.Output(out, err, abort);
        abort = abort || FStopRequested;
    };
    try {
        const int count = DiscList->Count();
        for (int index = 0; index < count && !FStopRequested; ++index) {
            CurrentDisc = DiscList->At(index);
            if (!CurrentDisc || !CurrentDisc->ReadyForBurn || CurrentDisc->Burnt)
                continue;
            if (FListener.Started)
                FListener.Started(CurrentDisc);
            const TStepResult result = FBurn(*CurrentDisc, FSettings, output, FListener.Log);
            if (FListener.Ended)
                FListener.Ended(CurrentDisc, result);
        }
    } catch (const std::exception &e) {
        qCWarning(lcAuthoring) << "the burn thread's pass ended early:" << e.what();
    } catch (...) {
        qCWarning(lcAuthoring) << "the burn thread's pass ended early on an unknown exception";
    }
    CurrentDisc.reset();
    if (FListener.Finished)
        FListener.Finished();
    std::lock_guard lock(FMutex);
    FFinished = true;
    FEnded.notify_all();
}

bool TBurnThread::Finished() const
{
    std::lock_guard lock(FMutex);
    return FFinished;
}

bool TBurnThread::WaitFor(int timeoutMs) const
{
    std::unique_lock lock(FMutex);
    return FEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FFinished; });
}
