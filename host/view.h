#pragma once

#include "interfacebase.h"
#include "kbhost_export.h"

#include <QObject>

class TObserverList;
class TValueList;

// The host's message bus: owns the system's one observer list and is the
// only place where packets are made and sent, one sender per code. Host code
// uses the class; modules and the script engine reach it as IView through
// the core.
class KBHOST_EXPORT TView : public QObject, public IView
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)

public:
    explicit TView(QObject *AOwner = nullptr);
    ~TView() override;

    // IInterface: the view answers IView and IInterface; counting does nothing.
    bool QueryInterface(const QUuid &IID, void **Obj) override;
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }

    void Add(QObject *Observer) override;
    void Remove(QObject *Observer) override;

    // Once inactive, the list delivers nothing, queued packets included.
    bool Active() const;
    void SetActive(bool Value);

    void sp_Initialize();
    void sp_Finalize();
    void sp_ClearErrorMessage();
    void sp_CloseModules();

    // The list itself, for tests and diagnostics.
    TObserverList *ObserverList() const { return FObserverList; }

private:
    // Reached only through IView.
    void sp_SetToolBar(const QString &AName) override;
    void sp_SetSourceCode(const QString &AText) override;
    void sp_CodeError(const TValueList *AError) override;
    void sp_Message(const QString &AMsg) override;

    void Send(const QString &ACode, const QString &AKey, const QString &AValue, bool ASynchronous);

    TObserverList *FObserverList = nullptr;
};
