#include "modulebase.h"

#include "appexception.h"
#include "debugtrace.h"
#include "modulelibrary.h"
#include "packetcodes.h"
#include "saveforminfo.h"
#include "scripthost.h"
#include "sprite.h"
#include "strg.h"
#include "tavgraphics.h"
#include "windowframe.h"
#include "wholenumbers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPalette>
#include <string>

namespace {

TScriptHostApi &Api()
{
    static TScriptHostApi api{::CreateScriptHost, ::PrepareScriptHost, ::AddGlobalFunctions,
                              ::AddObject,        ::ObjectCreated,     ::CreateObject,
                              ::StartScriptHost,  ::StopScriptHost};
    return api;
}

const QString FileFilter = QStringLiteral("All file(s)|*.*");

// The host unloads a module library when it loads the next one or shuts
// down. This library and the engine must outlive that: both leave objects
// with the application (the engine's keyboard filter, the type records
// below) whose code would otherwise be unmapped under them. The module's own
// code goes; these two stay once loaded.
[[maybe_unused]] const bool GPinned = [] {
    TModuleLibrary::Pin(reinterpret_cast<const void *>(&ScriptHost));
    TModuleLibrary::Pin(reinterpret_cast<const void *>(&::StopScriptHost));
    return true;
}();

// Every library compiles in its own copy of Qt's type record for each type
// that its published members name, and Qt's registry keeps for good the
// first copy registered under a type's name. A module's copy would be
// unmapped with the module, so this library's classes, which modules name,
// are registered from here as it loads: before any module that links it
// runs. (The loader does the same for the types of the libraries under
// this one.)
[[maybe_unused]] const bool GSharedTypes = [] {
    qRegisterMetaType<TModuleBase *>();
    qRegisterMetaType<TFileDialog *>();
    qRegisterMetaType<TOpenDialog *>();
    qRegisterMetaType<TSaveDialog *>();
    qRegisterMetaType<TLabel *>();
    qRegisterMetaType<TPanel *>();
    qRegisterMetaType<TImage *>();
    qRegisterMetaType<TShape *>();
    qRegisterMetaType<TImageList *>();
    qRegisterMetaType<TSprite *>();
    return true;
}();

// The application's exception event while at least one module window
// exists: the first window hooks it, the last one gone restores what was
// there before.
class TApplicationEvents : public QObject
{
public:
    explicit TApplicationEvents(TModuleBase *AOwner)
        : QObject(AOwner)
    {
        setObjectName(QStringLiteral("ApplicationEvents"));
        if (FInstances++ == 0) {
            // Every window's handler does the same, so one hook serves all.
            FPrevious = SetApplicationOnException([](const std::exception &E) {
                TModuleBase::ApplicationEventsException(nullptr, E);
            });
        }
    }
    ~TApplicationEvents() override
    {
        if (--FInstances == 0)
            SetApplicationOnException(std::move(FPrevious));
    }

private:
    static inline int FInstances = 0;
    static inline TExceptionEvent FPrevious;
};

// Outer frame minus client, for the form's outer Width and Height.
QSize FrameExtra(const QWidget *W)
{
    const QRect frame = OuterBounds(W);
    return {frame.width() - W->width(), frame.height() - W->height()};
}

// Holds a window's minimum outer size. Qt's minimum is on the client area,
// so it follows the frame once the window manager has finished it; until
// then the outer minimum stands for the client's. The placement memory
// sizes the outer frame on the same reports; this filter must see them
// first, else the old minimum would hold the frame larger than asked.
// Installed after the placement memory, it does (the filter installed last
// runs first).
class TOuterMinimum : public QObject
{
public:
    TOuterMinimum(QWidget *AForm, QSize AOuter)
        : QObject(AForm), FOuter(AOuter)
    {
        AForm->setMinimumSize(AOuter);
        Apply(AForm);
        FrameExtentsChangedEvent();
        AForm->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override
    {
        const QEvent::Type T = AEvent->type();
        if (T == QEvent::Show || T == QEvent::Move || T == QEvent::Resize || T == FrameExtentsChangedEvent())
            Apply(static_cast<QWidget *>(AWatched));
        return false;
    }

private:
    void Apply(QWidget *AForm)
    {
        const std::optional<QMargins> margins = FinishedFrameMargins(AForm);
        if (!margins)
            return;
        const QSize client(qMax(0, FOuter.width() - margins->left() - margins->right()),
                           qMax(0, FOuter.height() - margins->top() - margins->bottom()));
        if (AForm->minimumSize() != client)
            AForm->setMinimumSize(client);
    }

    QSize FOuter;
};

} // namespace

const TScriptHostApi &ScriptHost()
{
    return Api();
}

TScriptHostApi SetScriptHostApi(const TScriptHostApi &AApi)
{
    const TScriptHostApi previous = Api();
    Api() = AApi;
    return previous;
}

void ScriptAddObject(QObject *AObject, const QString &AName)
{
    const std::u16string name = AName.toStdU16String();
    Api().AddObject(AObject, name.c_str());
}

QWidget *ScriptCreateObject(QObject *AOwner, const QString &AClassName, const QString &AParams,
                            const QImage *APicture)
{
    const std::u16string className = AClassName.toStdU16String();
    const std::u16string params = AParams.toStdU16String();
    return Api().CreateObject(AOwner, className.c_str(), params.c_str(), APicture);
}

// TFileDialog

TFileDialog::TFileDialog(bool ASave, QObject *AOwner)
    : QObject(AOwner), FSave(ASave)
{
}

QString TFileDialog::QtFilter(const QString &AFilter)
{
    const QStringList parts = AFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

bool TFileDialog::Execute()
{
    // Modal to its module window alone: a program that asks again and again
    // (from loop(), say) leaves the host's Stop and Close within reach, and
    // they close the dialog.
    QPointer<TFileDialog> self(this);
    QPointer<QFileDialog> dialog = new QFileDialog(qobject_cast<QWidget *>(parent()));
    FDialog = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(FSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(FSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setNameFilter(QtFilter(FFilter));
    if (!FFileName.isEmpty())
        dialog->selectFile(FFileName);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    // While it showed, the window may have closed and freed the dialog, and
    // this object with it.
    const QStringList files = dialog ? dialog->selectedFiles() : QStringList();
    delete dialog.data();
    if (!self)
        return false;
    FDialog = nullptr;
    if (!accepted || files.isEmpty())
        return false;
    FFileName = files.constFirst();
    return true;
}

void TFileDialog::Cancel()
{
    if (FDialog)
        FDialog->reject();
}

// TModuleBase

TModuleBase::TModuleBase(QObject *, ICore **ACore)
    : TModuleInterface(nullptr, Qt::Window), FCore(ACore)
{
    // Owned by nothing: a top-level window with its own task-bar entry that
    // frees itself when closed.
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    setWindowIcon(QIcon(QStringLiteral(":/framework/icon.png")));
    FApplicationEvents = new TApplicationEvents(this);
    FSaveFormInfo = nullptr;
    FOpenDialog = new TOpenDialog(this);
    FOpenDialog->SetFilter(FileFilter);
    FSaveDialog = new TSaveDialog(this);
    FSaveDialog->SetFilter(FileFilter);
}

TModuleBase::~TModuleBase()
{
    // A window freed without its close step must not stay on the bus.
    if (Core() && Core()->GetView())
        Core()->GetView()->Remove(this);
    Stop();
    delete FOpenDialog;
    FOpenDialog = nullptr;
    delete FSaveDialog;
    FSaveDialog = nullptr;
    // Its destructor writes the placement and reports no failure.
    delete FSaveFormInfo;
    FSaveFormInfo = nullptr;
    delete FApplicationEvents;
    FApplicationEvents = nullptr;
}

void TModuleBase::InitForm(const QString &ACaption)
{
    setWindowTitle(ACaption);
    SetColor(0xFFFFFF);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);
    resize(480, 600);
    FMinOuterSize = QSize(480, 600);
}

void TModuleBase::SendSourceCode(const QPlainTextEdit *ASource)
{
    QString text = ASource->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text = TrimText(text);
    if (text.isEmpty() || !Core() || !Core()->GetView())
        return;
    Core()->GetView()->sp_SetSourceCode(text);
}

QString TModuleBase::LessonProgramText(const QString &AResource)
{
    QFile file(AResource);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TModuleBase::PlaceCreatedControl(QWidget *AControl, int ALeft, int ATop, int AWidth, int AHeight)
{
    if (!AControl)
        return;
    AControl->move(ALeft, ATop);
    AControl->resize(AWidth, AHeight);
    AControl->setParent(this);
    AControl->show();
}

void TModuleBase::SetCore(ICore *ACore)
{
    *FCore = ACore;
    if (ACore && ACore->GetView())
        ACore->GetView()->Add(this);
    Api().CreateScriptHost(qApp, this, ACore);
}

int TModuleBase::DefaultLeft(int ALeft, int ATop)
{
    const TRect monitor = GetMonitorRect(ALeft, ATop);
    return monitor.Right - monitor.Left >= 1024 + 480 ? 1024 : 0;
}

void TModuleBase::DoShow()
{
    const int left = DefaultLeft(GetLeft(), GetTop());
    if (!FSaveFormInfo) {
        FSaveFormInfo = new TSaveFormInfo(this, left, 0, 480, 600);
        if (!FMinOuterSize.isEmpty())
            new TOuterMinimum(this, FMinOuterSize);
    }
    if (Core() && Core()->GetView())
        Core()->GetView()->sp_SetToolBar(ToolBarMode::Module);
}

void TModuleBase::setVisible(bool AVisible)
{
    // The show step runs before the window appears and before its own show
    // handler, so that "SetToolBar" is posted ahead of a lesson's program.
    if (AVisible && isHidden()) {
        DoShow();
        FormShow();
    }
    TModuleInterface::setVisible(AVisible);
}

void TModuleBase::closeEvent(QCloseEvent *AEvent)
{
    if (Core() && Core()->GetView()) {
        Core()->GetView()->Remove(this);
        Core()->GetView()->sp_SetToolBar(ToolBarMode::Main);
    }
    Stop();
    AEvent->accept();
}

void TModuleBase::rp_CloseModules(TValueList *)
{
    close();
}

void TModuleBase::Start(const QString &ACode)
{
    raise();
    activateWindow();
    // The engine ends a run that is going on; so does its dialog.
    CancelDialogs();
    Api().PrepareScriptHost();
    AddObjects();
    ScriptAddObject(FOpenDialog, QStringLiteral("OpenDialog"));
    ScriptAddObject(FSaveDialog, QStringLiteral("SaveDialog"));
    // Never a null pointer: an empty program is an empty text.
    const std::u16string code = ACode.toStdU16String();
    Api().StartScriptHost(code.c_str());
}

void TModuleBase::Stop()
{
    Api().StopScriptHost();
    CancelDialogs();
}

void TModuleBase::CancelDialogs()
{
    // A dialog that a program opened goes with its run.
    if (FOpenDialog)
        FOpenDialog->Cancel();
    if (FSaveDialog)
        FSaveDialog->Cancel();
}

void TModuleBase::AddObjects()
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QStringLiteral("TModuleBase.AddObjects가 구현되지 않았습니다. (%1)")
                        .arg(QString::fromUtf8(metaObject()->className())),
                    QMessageBox::Ok, this);
    box.exec();
}

void TModuleBase::ApplicationEventsException(QObject *, const std::exception &E)
{
    DebugTrace(QStringLiteral("TfmModule.ApplicationEventsException - %1")
                   .arg(QString::fromUtf8(E.what())));
}

int TModuleBase::GetLeft() const
{
    return frameGeometry().left();
}

void TModuleBase::SetLeft(int V)
{
    move(V, frameGeometry().top());
}

int TModuleBase::GetTop() const
{
    return frameGeometry().top();
}

void TModuleBase::SetTop(int V)
{
    move(frameGeometry().left(), V);
}

int TModuleBase::GetWidth() const
{
    return frameGeometry().width();
}

void TModuleBase::SetWidth(int V)
{
    resize(std::clamp(SaturatedInt(int64_t(V) - FrameExtra(this).width()), 0, KMaxExtent), height());
}

int TModuleBase::GetHeight() const
{
    return frameGeometry().height();
}

void TModuleBase::SetHeight(int V)
{
    resize(width(), std::clamp(SaturatedInt(int64_t(V) - FrameExtra(this).height()), 0, KMaxExtent));
}

int TModuleBase::GetColor() const
{
    const QColor c = palette().color(QPalette::Window);
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void TModuleBase::SetColor(int V)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(V & 0xFF, (V >> 8) & 0xFF, (V >> 16) & 0xFF));
    setPalette(pal);
}
