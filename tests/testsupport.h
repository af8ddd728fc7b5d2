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

// A file's bytes; "<unreadable>" when it cannot be read.
inline QByteArray ReadAll(const QString &APath)
{
    QFile f(APath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Replaces a file's bytes; false when they could not all be written.
[[nodiscard]] inline bool WriteAll(const QString &APath, const QByteArray &AData)
{
    QFile f(APath);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(AData) == AData.size() && f.flush();
}

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

// Every wait in these tests ends when what it waits for happens; its limit
// only turns a hang into a failure, so it is one generous figure, never a
// speed the test expects. KB_TEST_TIME_SCALE (the sanitizer build sets it
// higher) stretches it for builds that run several times slower.
#ifndef KB_TEST_TIME_SCALE
#define KB_TEST_TIME_SCALE 1
#endif
constexpr int TimeScale()
{
    return KB_TEST_TIME_SCALE;
}
inline int HangLimitMs()
{
    return 30000 * TimeScale();
}

// Runs the event loop until ADone() holds; false if it never did.
inline bool WaitFor(const std::function<bool()> &ADone)
{
    return QTest::qWaitFor(ADone, HangLimitMs());
}

// As WaitFor, but looks after every pass of the event loop (QTest::qWaitFor
// sleeps 10 ms between passes). The tests that watch a run in real time
// (the script host's and the game's) use it: a state that holds for a few
// milliseconds, such as a missile at the ship's nose, is missed between
// qWaitFor's passes.
inline bool processEventsUntil(const std::function<bool()> &Done)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.elapsed() > HangLimitMs())
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
