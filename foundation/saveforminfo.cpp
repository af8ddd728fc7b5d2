#include "saveforminfo.h"

#include "debugtrace.h"
#include "disk.h"
#include "tavgraphics.h"

#include <QEvent>
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

bool frameKnown(const QWidget *Form)
{
    return Form->frameGeometry().size() != Form->size();
}

// Outer size to the client size resize() takes.
void setOuterSize(QWidget *Form, int Width, int Height)
{
    const QRect frame = Form->frameGeometry();
    const int dw = frame.width() - Form->width();
    const int dh = frame.height() - Form->height();
    Form->resize(qMax(0, Width - dw), qMax(0, Height - dh));
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
        AOwner->move(left, top);
        setOuterSize(AOwner, width, height);
        if (!frameKnown(AOwner) && !AOwner->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            FPendingBounds = QRect(left, top, width, height);
            AOwner->installEventFilter(this);
        }
    }
}

bool TSaveFormInfo::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    QWidget *form = FForm.data();
    if (AWatched == form && FPendingBounds.isValid()) {
        const QEvent::Type type = AEvent->type();
        if ((type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) && frameKnown(form)) {
            const QRect outer = FPendingBounds;
            FPendingBounds = QRect();
            form->removeEventFilter(this);
            if (!(form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
                setOuterSize(form, outer.width(), outer.height());
                // Mapped elsewhere than asked (the window system's first
                // placement can lose the position): once more, now that the
                // frame is known.
                if (form->frameGeometry().topLeft() != outer.topLeft())
                    form->move(outer.topLeft());
            }
        }
    }
    return QObject::eventFilter(AWatched, AEvent);
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
    const QRect bounds = form->frameGeometry();
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
