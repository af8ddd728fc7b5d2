#pragma once

#include "foundation_export.h"
#include "valuelist.h"

#include <QApplication>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <stdexcept>

// The contract between the host, the module libraries and the script engine.
// All three are built against these declarations; the operations keep their
// order. Interface pointers own nothing: taking or dropping one neither keeps
// the object behind it alive nor frees it.

// Raised by an operation that a class declares but does not implement.
class FOUNDATION_EXPORT EAbstractError : public std::logic_error
{
public:
    EAbstractError() : std::logic_error("Abstract Error") {}
};

// Asking an object for an interface that it does not implement gives nothing.
struct FOUNDATION_EXPORT IInterface
{
    static inline const QUuid IID{"{00000000-0000-0000-C000-000000000046}"};

    // Sets *Obj to the interface IID and returns true, or sets it to nullptr
    // and returns false (the unsupported-interface result).
    virtual bool QueryInterface(const QUuid &IID, void **Obj) = 0;
    // Reference counting does nothing: both return -1.
    virtual int _AddRef() = 0;
    virtual int _Release() = 0;

protected:
    ~IInterface() = default;
};

struct FOUNDATION_EXPORT IView : IInterface
{
    static inline const QUuid IID{"{F73B23CD-6678-48DE-B319-3ECBA15CF3BE}"};

    virtual void Add(QObject *Observer) = 0;
    virtual void Remove(QObject *Observer) = 0;
    virtual void sp_SetToolBar(const QString &AName) = 0;
    virtual void sp_SetSourceCode(const QString &AText) = 0;
    // Copies AError through its text form, sets "Code" to "CodeError" and
    // posts it; AError carries "LineNo", "ErrorMsg" and "ErrorText".
    virtual void sp_CodeError(const TValueList *AError) = 0;
    virtual void sp_Message(const QString &AMsg) = 0;

protected:
    ~IView() = default;
};

struct FOUNDATION_EXPORT ICore : IInterface
{
    static inline const QUuid IID{"{8D8E3643-F14B-45A4-99C7-F1E59647BD01}"};

    // The editor's lines joined with CR LF between them, none after the last.
    virtual QString GetSouceCode() = 0;
    virtual IView *GetView() = 0;

protected:
    ~ICore() = default;
};

// Implemented by every frame of the host's main window; nothing calls it.
struct FOUNDATION_EXPORT IFrameBase : IInterface
{
    static inline const QUuid IID{"{4F736E5A-0A01-4D20-A76B-9DA0F3A78D0B}"};

    virtual void FrameProc() = 0;

protected:
    ~IFrameBase() = default;
};

// The module window as the host sees it. The three operations are abstract:
// a window class that does not override one raises EAbstractError when it is
// called.
class FOUNDATION_EXPORT TModuleInterface : public QWidget
{
    Q_OBJECT

public:
    explicit TModuleInterface(QWidget *AParent = nullptr, Qt::WindowFlags AFlags = {});
    ~TModuleInterface() override;

    virtual void SetCore(ICore *ACore);
    virtual void Start(const QString &ACode);
    virtual void Stop();
};

// The export of every module library, with C linkage: makes the module's
// window with the host's application object as its owner. AModuleLoader is
// the host's loader.
extern "C" {
typedef TModuleInterface *(*TCreateModule)(QApplication *AApplication, QObject *AModuleLoader);
}
