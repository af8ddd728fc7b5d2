#pragma once

#include "debugtrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <functional>
#include <mutex>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

// Runs the event loop until Done() holds or TimeoutMs passes, looking after
// every pass (QTest::qWaitFor sleeps 10 ms between passes). The tests that
// watch a run in real time (the script host's and the game's) use it: a
// state that holds for a few milliseconds, such as a missile at the ship's
// nose, is missed between qWaitFor's passes.
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

// Makes a folder refuse new files (its existing files stay writable), or
// undoes it; false when this system does not let the test do so.
inline bool LockFolder(const QString &Folder, bool ALock)
{
    if (geteuid() != 0) {
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        return QFile::setPermissions(Folder, ALock ? all & ~QFile::WriteOwner : all);
    }
    // Permissions do not bind the superuser; the immutable flag does.
    const int fd = ::open(QFile::encodeName(Folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = ALock ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
