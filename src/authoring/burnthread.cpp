#include "authoring/burnthread.h"

#include <chrono>
#include <thread>

TBurnThread::TBurnThread(std::shared_ptr<const TDiscList> discList, const TSettings &settings, TBurnStep burn)
    : DiscList(std::move(discList)), FSettings(settings), FBurn(std::move(burn))
{
}

std::shared_ptr<TBurnThread> TBurnThread::Start(std::shared_ptr<const TDiscList> discList, const TSettings &settings,
                                                TBurnStep burn)
{
    std::shared_ptr<TBurnThread> thread(new TBurnThread(std::move(discList), settings, std::move(burn)));
    // The thread holds the object until its pass has ended.
    std::thread([self = thread] { self->Execute(); }).detach();
    return thread;
}

void TBurnThread::Execute()
{
    try {
        const int count = DiscList->Count();
        for (int index = 0; index < count; ++index) {
            CurrentDisc = DiscList->At(index);
            if (CurrentDisc && CurrentDisc->ReadyForBurn && !CurrentDisc->Burnt)
                FBurn(*CurrentDisc, FSettings);
        }
    } catch (...) {
        // Nobody would hear of a failure here: the pass simply ends.
    }
    CurrentDisc.reset();
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
