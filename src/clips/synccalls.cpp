#include "src/clips/synccalls.h"

#include "src/platform/logging.h"

#include <QCoreApplication>
#include <QEvent>

static const QEvent::Type CallsWaitingEvent = QEvent::Type(QEvent::registerEventType());

TSyncCalls::TSyncCalls(QObject *parent) : QObject(parent)
{ }

TSyncCalls::~TSyncCalls()
{
    Close();
}

bool TSyncCalls::Call(std::function<void()> call)
{
    TRequest request {std::move(call)};
    std::unique_lock lock(FMutex);
    if (FClosed)
        return false;
    FQueue.push_back(&request);
    // Made under the mutex that event() takes before reading it.
    auto *wake = new QEvent(CallsWaitingEvent);
    lock.unlock();
    QCoreApplication::postEvent(this, wake);
    lock.lock();
    FDone.wait(lock, [&] { return request.Done; });
    return request.Ran;
}

void TSyncCalls::RunPending()
{
    std::unique_lock lock(FMutex);
    while (!FQueue.empty()) {
        TRequest *request = FQueue.front();
        FQueue.pop_front();
        lock.unlock();
        // The caller is released whatever the call did.
        try {
            request->Run();
        } catch (const std::exception &e) {
            qCWarning(lcClips) << "a call from an opening worker failed:" << e.what();
        } catch (...) {
            qCWarning(lcClips) << "a call from an opening worker failed with an unknown exception";
        }
        lock.lock();
        request->Ran = true;
        request->Done = true;
        FDone.notify_all();
    }
}

void TSyncCalls::Close()
{
    std::lock_guard lock(FMutex);
    FClosed = true;
    for (TRequest *request : FQueue)
        request->Done = true;
    FQueue.clear();
    FDone.notify_all();
}

bool TSyncCalls::event(QEvent *e)
{
    // The event queue hands the event over under Qt's own locks, which race
    // checkers do not see; this mutex orders its creation before this read.
    {
        std::lock_guard lock(FMutex);
    }
    if (e->type() != CallsWaitingEvent)
        return QObject::event(e);
    RunPending();
    return true;
}
