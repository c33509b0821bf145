// Hands functions from any thread to the thread that made the post, to run
// there in the order they were handed. The calls wait in a queue under a
// standard mutex that a timer of the receiving thread drains, so nothing
// crosses threads through Qt's own (uninstrumented) locks and race checkers
// see every hand-over. Once the post is closed (its owner going away), what
// was handed and has not run is dropped, and so is anything handed later: a
// worker that outlives the owner can keep posting harmlessly.
#pragma once

#include <QTimer>

#include <deque>
#include <functional>
#include <mutex>

class TThreadPost
{
public:
    // On the thread that will run the calls, which needs an event loop.
    TThreadPost();
    ~TThreadPost();
    TThreadPost(const TThreadPost &) = delete;
    TThreadPost &operator=(const TThreadPost &) = delete;

    // From any thread.
    void Post(std::function<void()> call);
    // On the receiving thread: runs the calls waiting now.
    void RunPending();
    // On the receiving thread.
    void Close();

private:
    std::mutex FMutex;
    std::deque<std::function<void()>> FQueue;
    bool FClosed = false;
    QTimer FTimer;
};
