#pragma once

#include "debugtrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <functional>
#include <mutex>

// Collects trace lines while it lives and restores the previous sink after.
class TraceCapture
{
public:
    TraceCapture()
    {
        FPrevious = SetDebugTraceSink([this](const QString &line) {
            std::lock_guard lock(FMutex);
            FLines << line;
        });
    }
    ~TraceCapture() { SetDebugTraceSink(FPrevious); }
    QStringList lines() const
    {
        std::lock_guard lock(FMutex);
        return FLines;
    }

private:
    TDebugTraceSink FPrevious;
    mutable std::mutex FMutex;
    QStringList FLines;
};

// Runs the event loop until Done() holds or TimeoutMs passes.
inline bool processEventsUntil(const std::function<bool()> &Done, int TimeoutMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
