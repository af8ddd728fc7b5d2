// Stands in for the platform's monitor enumeration; QScreen gives the screens, but tests must put a described layout in their place.
#include "monitors.h"

#include <QGuiApplication>
#include <QScreen>
#include <mutex>

namespace {

std::mutex &sourceMutex()
{
    static std::mutex m;
    return m;
}

TMonitorSource &source()
{
    static TMonitorSource s;
    return s;
}

QList<TRect> screenRects()
{
    QList<TRect> rects;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return rects;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        rects.append(TRect{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()});
    }
    return rects;
}

} // namespace

TMonitorSource SetMonitorSource(TMonitorSource Source)
{
    std::lock_guard lock(sourceMutex());
    TMonitorSource previous = std::move(source());
    source() = std::move(Source);
    return previous;
}

QList<TRect> GetMonitorRects()
{
    TMonitorSource current;
    {
        std::lock_guard lock(sourceMutex());
        current = source();
    }
    return current ? current() : screenRects();
}
