#include "authoring/threadpost.h"

TThreadPost::TThreadPost() : FReceiver(std::make_unique<QObject>())
{
}

TThreadPost::~TThreadPost()
{
    Close();
}

void TThreadPost::Post(std::function<void()> call)
{
    std::lock_guard lock(FMutex);
    if (FReceiver)
        QMetaObject::invokeMethod(FReceiver.get(), std::move(call), Qt::QueuedConnection);
}

void TThreadPost::Close()
{
    // Destroying the receiver removes the calls still queued for it; under
    // the lock, no call can be queued meanwhile.
    std::lock_guard lock(FMutex);
    FReceiver.reset();
}
