// The benchmarks' two ways of letting the event loop run.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until ADone() holds, looking after every pass, so that
// the moment it first holds is timed (QTest::qWaitFor sleeps 10 ms between
// passes, which the web engine's start-up feels most: a cold start measured
// 2.8 s instead of 0.1 s with it). False when ATimeoutMs passed first.
inline bool Until(const std::function<bool()> &ADone, int ATimeoutMs = 10000)
{
    QElapsedTimer T;
    T.start();
    while (!ADone()) {
        if (T.elapsed() > ATimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// Runs the event loop for AMs, sleeping while nothing happens, as the
// application does, so that CPU figures are the program's and not a busy
// wait's.
inline void Pump(int AMs)
{
    QEventLoop Loop;
    QTimer::singleShot(AMs, &Loop, &QEventLoop::quit);
    Loop.exec();
}
