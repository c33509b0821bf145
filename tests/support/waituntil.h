// Waiting in a test for something the event loop brings about.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

// Handles events until done() or ms milliseconds have passed; false on
// time-out.
inline bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
