// Waiting on a condition with a deadline while the event loop runs, instead of fixed sleeps.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace kestrel::test {

// Runs the event loop until condition() holds or timeoutMs pass; returns condition() at the end.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

} // namespace kestrel::test
