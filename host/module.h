#pragma once

#include "interfacebase.h"
#include "kbhost_export.h"
#include "modulelibrary.h"

#include <QObject>
#include <QPointer>

// The process-wide module loader. Holds at most one module library
// ("Modules/lib<Name>.so" in the program folder) and the window that its
// CreateModule made last. Made when the host library is loaded, before the
// application object exists, and never freed.
class KBHOST_EXPORT TModule : public QObject
{
    Q_OBJECT

public:
    explicit TModule(QObject *AOwner = nullptr);
    ~TModule() override;

    static TModule *Obj();

    // Frees the library held, then loads the one named AModuleName, makes its
    // window, hands it the core and shows it at 0,0 without a parent unless
    // AParent is given. A missing library or a missing export gives nullptr
    // silently; an exception of CreateModule, SetCore or the show reaches the
    // caller.
    TModuleInterface *LoadModule(QWidget *AParent, const QString &AModuleName);

    // Frees the library held, if any.
    void Finalize();

    // The window that CreateModule returned last, or nullptr once that window
    // has been deleted: Run and Stop never reach a freed window.
    TModuleInterface *CurrentModule() const { return FCurrentModule.data(); }

    // For tests only: whether a module library is held.
    bool IsLoaded() const { return FLibrary.IsLoaded(); }

    static QString ModulePath(const QString &AModuleName);

private:
    void FreeLibrary();

    TModuleLibrary FLibrary;
    QPointer<TModuleInterface> FCurrentModule;
};
