// Hands functions from any thread to the thread that made the post, to run
// from that thread's event loop, in the order they were handed. Once the
// post is closed (its owner going away), what was handed and has not run is
// dropped, and so is anything handed later: a worker that outlives the
// owner can keep posting harmlessly.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

class TThreadPost
{
public:
    // On the thread that will run the calls.
    TThreadPost();
    ~TThreadPost();
    TThreadPost(const TThreadPost &) = delete;
    TThreadPost &operator=(const TThreadPost &) = delete;

    // From any thread.
    void Post(std::function<void()> call);
    // On the thread that runs the calls.
    void Close();

private:
    std::mutex FMutex;
    std::unique_ptr<QObject> FReceiver;
};
