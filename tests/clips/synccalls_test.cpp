// Synchronous calls from a worker thread into the thread of an object.
#include "clips/synccalls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

int argc = 1;
char name[] = "synccalls_test";
char *argv[] = {name, nullptr};

class SyncCallsTest : public ::testing::Test {
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
    std::atomic<bool> finished{false};
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
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(SyncCallsTest, CloseReleasesAWaitingCallerWithoutRunningItsCall)
{
    TSyncCalls calls;
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    std::thread worker([&] { result = calls.Call([&] { ran = true; }) ? 1 : 0; });
    // The call is queued (or refused when the close comes first), and its
    // event is never handled.
    QThread::msleep(30);
    calls.Close();
    worker.join();
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
