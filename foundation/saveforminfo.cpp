#include "saveforminfo.h"

#include "debugtrace.h"
#include "disk.h"
#include "tavgraphics.h"

#include <QEvent>
#include <QWidget>
#include <exception>
#include <mutex>

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
    const int32_t left = ReadIniInteger(file, FSection, QStringLiteral("Left"), ALeft);
    const int32_t top = ReadIniInteger(file, FSection, QStringLiteral("Top"), ATop);
    int32_t width = ReadIniInteger(file, FSection, QStringLiteral("Width"), AWidth);
    if (width <= 0)
        width = AWidth;
    int32_t height = ReadIniInteger(file, FSection, QStringLiteral("Height"), AHeight);
    if (height <= 0)
        height = AHeight;

    if (CoversMonitor(left, top, width, height)) {
        // The size is left alone, so the user restores to the form's own size.
        AOwner->move(left, top);
        AOwner->setWindowState((AOwner->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    } else if (IsOnAnyMonitor(left, top, width, height)) {
        AOwner->move(left, top);
        setOuterSize(AOwner, width, height);
        if (!frameKnown(AOwner) && !AOwner->windowFlags().testFlag(Qt::FramelessWindowHint)) {
            FPendingOuterSize = QSize(width, height);
            AOwner->installEventFilter(this);
        }
    }
}

bool TSaveFormInfo::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    QWidget *form = FForm.data();
    if (AWatched == form && FPendingOuterSize.isValid()) {
        const QEvent::Type type = AEvent->type();
        if ((type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) && frameKnown(form)) {
            const QSize outer = FPendingOuterSize;
            FPendingOuterSize = QSize();
            form->removeEventFilter(this);
            if (!(form->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
                setOuterSize(form, outer.width(), outer.height());
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

void TSaveFormInfo::SaveInfo()
{
    QWidget *form = FForm.data();
    if (!form)
        return;
    const QRect bounds = form->frameGeometry();
    const QString file = FileName();
    WriteIniInteger(file, FSection, QStringLiteral("Left"), bounds.x());
    WriteIniInteger(file, FSection, QStringLiteral("Top"), bounds.y());
    WriteIniInteger(file, FSection, QStringLiteral("Width"), bounds.width());
    WriteIniInteger(file, FSection, QStringLiteral("Height"), bounds.height());
}
