// Stands in for the platform's debug output: one write per line to standard error through a sink tests can replace; qDebug is not used, its handler being process-wide and Qt's own warnings going through it.
#include "debugtrace.h"

#include <mutex>
#include <unistd.h>

namespace {

std::mutex &sinkMutex()
{
    static std::mutex m;
    return m;
}

TDebugTraceSink &currentSink()
{
    static TDebugTraceSink sink;
    return sink;
}

// Each trace is a separate entry, as a debugger's output window shows them:
// on a stream that means ending it with a line break when it has none.
void writeToStderr(const QString &line)
{
    QByteArray bytes = line.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    // One call, so lines from several threads never interleave mid-line.
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, bytes.constData(), size_t(bytes.size()));
}

} // namespace

void DebugTrace(const QString &AText)
{
    const QString line = QStringLiteral("[QX] ") + AText;
    TDebugTraceSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    try {
        if (sink)
            sink(line);
        else
            writeToStderr(line);
    } catch (...) {
        // The trace never reports a failure.
    }
}

TDebugTraceSink SetDebugTraceSink(TDebugTraceSink Sink)
{
    std::lock_guard lock(sinkMutex());
    TDebugTraceSink previous = std::move(currentSink());
    currentSink() = std::move(Sink);
    return previous;
}
