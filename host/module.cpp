#include "module.h"

#include "core.h"
#include "debugtrace.h"
#include "disk.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

namespace {

TModule *GModule = nullptr;

// The loader exists before the application object, as the rest of the host
// expects.
[[maybe_unused]] TModule *const GModuleAtStart = TModule::Obj();

} // namespace

TModule::TModule(QObject *AOwner)
    : QObject(AOwner)
{
}

TModule::~TModule()
{
    Finalize();
}

TModule *TModule::Obj()
{
    if (!GModule)
        GModule = new TModule(nullptr);
    return GModule;
}

QString TModule::ModulePath(const QString &AModuleName)
{
    return GetExecPath() + QStringLiteral("Modules/lib%1.so").arg(AModuleName);
}

TModuleInterface *TModule::LoadModule(QWidget *AParent, const QString &AModuleName)
{
    FreeLibrary();

    // A library that lacks the export stays loaded until the next load.
    if (!FLibrary.Load(ModulePath(AModuleName)))
        return nullptr;
    const auto createModule = FLibrary.Resolve<TCreateModule>("CreateModule");
    if (!createModule)
        return nullptr;

    TModuleInterface *window = createModule(qApp, this);
    FCurrentModule = window;

    void *core = nullptr;
    TCore::Obj()->QueryInterface(ICore::IID, &core);
    window->SetCore(static_cast<ICore *>(core));
    if (AParent)
        window->setParent(AParent);
    window->move(0, 0);
    window->show();
    return window;
}

void TModule::Finalize()
{
    FreeLibrary();
}

void TModule::FreeLibrary()
{
    if (!FLibrary.IsLoaded())
        return;
    // A window must be gone before the code behind it: closed windows free
    // themselves through deferred deletes, so deliver those first, and free a
    // window that is still alive here rather than leave it pointing into an
    // unloaded library.
    if (QCoreApplication::instance())
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (FCurrentModule) {
        DebugTrace(QStringLiteral("TModule.FreeLibrary - %1 still open, closed first\n")
                       .arg(QString::fromUtf8(FCurrentModule->metaObject()->className())));
        // Its own close step leaves the bus and stops its program.
        FCurrentModule->close();
        if (QCoreApplication::instance())
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete FCurrentModule.data();
    }
    FLibrary.Free();
}
