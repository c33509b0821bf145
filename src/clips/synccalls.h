// Synchronous calls into the thread of an object: another thread queues a
// function, the object's thread runs it from its event loop, and the caller
// waits until it has run. The opening worker hands records and events to
// the clip list this way. Closing drops the calls still waiting and refuses
// new ones, so that an owner being destroyed never waits on a worker that
// waits on it. The hand-over goes through a standard mutex, which race
// checkers see, rather than through the event queue alone.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class TSyncCalls : public QObject
{
public:
    // Runs the calls on the thread this object lives in.
    explicit TSyncCalls(QObject *parent = nullptr);
    ~TSyncCalls() override;

    // From another thread: has call run on this object's thread and
    // returns once it has run (true), or once the calls are closed without
    // running it (false).
    bool Call(std::function<void()> call);
    // Runs the calls waiting, in the order they came (this object's thread).
    void RunPending();
    // Drops the waiting calls and refuses new ones (this object's thread).
    void Close();

protected:
    bool event(QEvent *e) override;

private:
    struct TRequest
    {
        std::function<void()> Run;
        bool Done = false;
        bool Ran = false;
    };

    std::mutex FMutex;
    std::condition_variable FDone;
    std::deque<TRequest *> FQueue;
    bool FClosed = false;
};
