#include "src/authoring/threadpost.h"

// Often enough for a log and a mark to look immediate.
static constexpr int kDrainIntervalMs = 20;

TThreadPost::TThreadPost()
{
    FTimer.setInterval(kDrainIntervalMs);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { RunPending(); });
    FTimer.start();
}

TThreadPost::~TThreadPost()
{
    Close();
}

void TThreadPost::Post(std::function<void()> call)
{
    std::lock_guard lock(FMutex);
    if (!FClosed)
        FQueue.push_back(std::move(call));
}

void TThreadPost::RunPending()
{
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(FMutex);
        calls.swap(FQueue);
    }
    // Run outside the lock: a call may post again.
    for (const auto &call : calls)
        call();
}

void TThreadPost::Close()
{
    FTimer.stop();
    std::lock_guard lock(FMutex);
    FClosed = true;
    FQueue.clear();
}
