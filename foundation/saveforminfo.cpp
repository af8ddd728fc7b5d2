#include "saveforminfo.h"

#include "debugtrace.h"
#include "disk.h"
#include "tavgraphics.h"
#include "windowframe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <exception>
#include <mutex>
#include <utility>

namespace {

std::mutex &fileNameMutex()
{
    static std::mutex m;
    return m;
}

QString &fileNameOverride()
{
    static QString name;
    return name;
}

// The rectangle that holds every monitor; empty when there is none.
TRect desktopBounds()
{
    const QList<TRect> monitors = GetMonitorRects();
    if (monitors.isEmpty())
        return TRect{};
    TRect u = monitors.first();
    for (const TRect &m : monitors) {
        u.Left = qMin(u.Left, m.Left);
        u.Top = qMin(u.Top, m.Top);
        u.Right = qMax(u.Right, m.Right);
        u.Bottom = qMax(u.Bottom, m.Bottom);
    }
    return u;
}

// A hostile or stale file must not make a window larger than the window
// system can map (X11 sizes and positions are 16-bit), nor put its title bar
// above every monitor, out of the user's reach.
void keepReachable(int32_t &Left, int32_t &Top, int32_t &Width, int32_t &Height)
{
    constexpr int32_t Largest = 32767;
    const TRect u = desktopBounds();
    Width = std::min(Width, Largest);
    Height = std::min(Height, Largest);
    Left = int32_t(std::clamp<int64_t>(Left, std::max<int64_t>(int64_t(u.Left) - Width, -Largest),
                                       std::min<int32_t>(u.Right, Largest)));
    Top = int32_t(std::clamp<int64_t>(Top, u.Top, std::max(u.Top, std::min<int32_t>(u.Bottom, Largest))));
}

} // namespace

QString TSaveFormInfo::FileName()
{
    {
        std::lock_guard lock(fileNameMutex());
        if (!fileNameOverride().isEmpty())
            return fileNameOverride();
    }
    return GetExecPath() + QStringLiteral("FormInfo.ini");
}

QString TSaveFormInfo::SetFileName(const QString &AFileName)
{
    std::lock_guard lock(fileNameMutex());
    const QString previous = fileNameOverride();
    fileNameOverride() = AFileName;
    return previous;
}

TSaveFormInfo::TSaveFormInfo(QWidget *AOwner, int ALeft, int ATop, int AWidth, int AHeight)
    : QObject(AOwner), FForm(AOwner)
{
    if (!AOwner)
        return;
    FSection = QString::fromLatin1(AOwner->metaObject()->className());

    const QString file = FileName();
    int32_t left = ReadIniInteger(file, FSection, QStringLiteral("Left"), ALeft);
    int32_t top = ReadIniInteger(file, FSection, QStringLiteral("Top"), ATop);
    int32_t width = ReadIniInteger(file, FSection, QStringLiteral("Width"), AWidth);
    if (width <= 0)
        width = AWidth;
    int32_t height = ReadIniInteger(file, FSection, QStringLiteral("Height"), AHeight);
    if (height <= 0)
        height = AHeight;

    if (CoversMonitor(left, top, width, height)) {
        // The size is left alone, so the user restores to the form's own size.
        // It maximizes on the monitor nearest the centre of the stored
        // bounds; a corner off that monitor (a hostile file) is brought onto
        // it, so the window manager maximizes it there.
        const TRect m = GetMonitorRect(int32_t(std::clamp<int64_t>(int64_t(left) + width / 2, INT32_MIN, INT32_MAX)),
                                       int32_t(std::clamp<int64_t>(int64_t(top) + height / 2, INT32_MIN, INT32_MAX)));
        left = std::clamp(left, m.Left, std::max(m.Left, m.Right - 1));
        top = std::clamp(top, m.Top, std::max(m.Top, m.Bottom - 1));
        AOwner->move(left, top);
        AOwner->setWindowState((AOwner->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    } else if (IsOnAnyMonitor(left, top, width, height)) {
        keepReachable(left, top, width, height);
        const QRect outer(left, top, width, height);
        if (const std::optional<QMargins> margins = FinishedFrameMargins(AOwner)) {
            AOwner->setGeometry(outer.marginsRemoved(*margins));
        } else {
            // No frame yet: the outer bounds stand for the client's until the
            // window manager has finished the frame; then they are corrected.
            AOwner->move(left, top);
            AOwner->resize(width, height);
            if (!AOwner->windowFlags().testFlag(Qt::FramelessWindowHint)) {
                FPendingBounds = outer;
                FrameExtentsChangedEvent();
                AOwner->installEventFilter(this);
            }
        }
    }
}

bool TSaveFormInfo::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    QWidget *form = FForm.data();
    if (form && FPendingBounds.isValid()) {
        const QEvent::Type type = AEvent->type();
        if (AWatched == form) {
            if (type == QEvent::Show && !FExposeWatch && form->windowHandle()) {
                // The first exposure: a backstop for a window manager that
                // finishes the frame without a report after it.
                FExposeWatch = form->windowHandle();
                FExposeWatch->installEventFilter(this);
            }
            if (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize
                || type == FrameExtentsChangedEvent())
                CorrectToFrame();
        } else if (AWatched == FExposeWatch && type == QEvent::Expose) {
            CorrectToFrame();
        }
    }
    return QObject::eventFilter(AWatched, AEvent);
}

void TSaveFormInfo::CorrectToFrame()
{
    QWidget *form = FForm.data();
    const std::optional<QMargins> margins = FinishedFrameMargins(form);
    if (!margins)
        return;
    const QRect outer = std::exchange(FPendingBounds, QRect());
    form->removeEventFilter(this);
    if (FExposeWatch)
        FExposeWatch->removeEventFilter(this);
    // Whatever else follows the frame (a minimum outer size) follows it first.
    QEvent finished(FrameExtentsChangedEvent());
    QCoreApplication::sendEvent(form, &finished);
    if (form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    // Within the size limits the program set (the game's fixed client size,
    // a lesson's minimum), which win over the stored size.
    const QSize client = outer.marginsRemoved(*margins).size().expandedTo(QSize(0, 0)).boundedTo(
        form->maximumSize()).expandedTo(form->minimumSize());
    // As client geometry, which Qt hands the window manager with the frame
    // that has been verified: the frame then stands at the stored corner
    // wherever the window manager first put it.
    const QRect wanted(outer.topLeft() + QPoint(margins->left(), margins->top()), client);
    if (form->geometry() != wanted)
        form->setGeometry(wanted);
}

TSaveFormInfo::~TSaveFormInfo()
{
    try {
        SaveInfo();
    } catch (const std::exception &e) {
        DebugTrace(QStringLiteral("TSaveFormInfo.Destroy - %1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        DebugTrace(QStringLiteral("TSaveFormInfo.Destroy - unknown exception"));
    }
}

bool TSaveFormInfo::Free(TSaveFormInfo *&AInfo)
{
    TSaveFormInfo *info = std::exchange(AInfo, nullptr);
    if (!info)
        return true;
    bool written = false;
    try {
        written = info->SaveInfo();
    } catch (const std::exception &) {
    }
    info->FForm = nullptr; // written once: the destructor has nothing left to write
    delete info;
    return written;
}

bool TSaveFormInfo::SaveInfo()
{
    QWidget *form = FForm.data();
    if (!form)
        return true;
    const QRect bounds = OuterBounds(form);
    int width = bounds.width();
    int height = bounds.height();
    if (form->windowState() & Qt::WindowMaximized) {
        // A window manager maximizes to the work area, short of the monitor
        // by its panels; stored so, the window would not come back maximized.
        const TRect m = GetMonitorRect(bounds.x() + width / 2, bounds.y() + height / 2);
        width = qMax(width, m.Right - m.Left);
        height = qMax(height, m.Bottom - m.Top);
    }
    const QString file = FileName();
    // Every key is tried, whichever fails.
    bool written = WriteIniInteger(file, FSection, QStringLiteral("Left"), bounds.x());
    written &= WriteIniInteger(file, FSection, QStringLiteral("Top"), bounds.y());
    written &= WriteIniInteger(file, FSection, QStringLiteral("Width"), width);
    written &= WriteIniInteger(file, FSection, QStringLiteral("Height"), height);
    return written;
}
