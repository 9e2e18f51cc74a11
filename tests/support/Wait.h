// WaitUntil: runs the event loop until a condition holds or time runs out.
// Every wait in the tests is bounded by it.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// Lets the event loop run for a while (to show that something does not happen).
inline void RunEventsFor(int milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}
