#pragma once

#include "interfacebase.h"
#include "kbhost_export.h"
#include "view.h"

#include <QMetaType>
#include <QObject>

// Options of the host; nothing reads them yet.
class KBHOST_EXPORT TOption
{
public:
    TOption() = default;
    virtual ~TOption() = default;
};
Q_DECLARE_METATYPE(TOption *)

// The host's process-wide hub: made on first use through Obj and never
// freed. Owns its option object and its view, and is the view's first
// observer (without handlers: it receives nothing).
class KBHOST_EXPORT TCore : public QObject, public ICore
{
    Q_OBJECT
    Q_PROPERTY(TView *View READ View)
    Q_PROPERTY(TOption *Option READ Option)

public:
    // Public so that tests can make cores of their own; the system uses Obj.
    explicit TCore(QObject *AOwner = nullptr);
    ~TCore() override;

    // The one core, made with no owner on the first call.
    static TCore *Obj();

    // Posts "Initialize" once, and never after Finalize.
    void Initialize();
    // Once: leaves the view, broadcasts "Finalize", then makes the view
    // inactive so that later and still-queued packets are dropped.
    void Finalize();

    bool IsInitialized() const { return FIsInitialized; }
    bool IsFinalized() const { return FIsfinalized; }

    // IInterface: the core answers ICore and IInterface; counting does nothing.
    bool QueryInterface(const QUuid &IID, void **Obj) override;
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }

    // The editor's lines joined with CR LF between them, none after the last.
    QString GetSouceCode() override;

    TView *View() const { return FView; }
    TOption *Option() const { return FOption; }

private:
    // Reached only through ICore.
    IView *GetView() override;

    bool FIsInitialized = false;
    bool FIsfinalized = false;
    TView *FView = nullptr;
    TOption *FOption = nullptr;
};
