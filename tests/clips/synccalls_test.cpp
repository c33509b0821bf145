// Synchronous calls from a worker thread into the thread of an object.
#include "src/clips/synccalls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <thread>

namespace {

int argc = 1;
char name[] = "synccalls_test";
char *argv[] = {name, nullptr};

class SyncCallsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_F(SyncCallsTest, CallRunsOnTheObjectsThreadWhileTheCallerWaits)
{
    TSyncCalls calls;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::vector<int> order;  // written by the calls, on the main thread only
    std::atomic<bool> finished {false};
    bool allRan = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            allRan = calls.Call([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), mainThread);
                order.push_back(i);
            }) && allRan;
            // Each call has run by the time Call returns.
            EXPECT_EQ(int(order.size()), i + 1);
        }
        finished = true;
    });
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_TRUE(allRan);
    EXPECT_EQ(order, (std::vector<int> {0, 1, 2}));
}

// Closes the calls as the event announcing a queued call reaches them, then
// lets the event through: the call is waiting when the close comes.
class CloseOnArrival : public QObject
{
public:
    explicit CloseOnArrival(TSyncCalls &calls) : FCalls(calls) { calls.installEventFilter(this); }
    bool Arrived = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() >= QEvent::User) {
            Arrived = true;
            FCalls.Close();
        }
        return false;
    }

private:
    TSyncCalls &FCalls;
};

TEST_F(SyncCallsTest, CloseReleasesAWaitingCallerWithoutRunningItsCall)
{
    TSyncCalls calls;
    CloseOnArrival closer(calls);
    std::atomic<bool> ran {false};
    std::atomic<int> result {-1};
    std::thread worker([&] { result = calls.Call([&] { ran = true; }) ? 1 : 0; });
    while (result == -1)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_TRUE(closer.Arrived);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
    // Later calls are refused at once.
    std::thread late([&] { result = calls.Call([&] { ran = true; }) ? 1 : 0; });
    late.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
