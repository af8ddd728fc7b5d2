#pragma once

#include "controls.h"
#include "interfacebase.h"
#include "scripthost.h"
#include "testsupport.h"

#include <QTest>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

// The host's side as the engine sees it: records errors and messages.
class TFakeCore : public ICore, public IView
{
public:
    struct TError
    {
        int LineNo;
        QString ErrorMsg;
        QString ErrorText;
    };

    bool QueryInterface(const QUuid &, void **Obj) override
    {
        *Obj = nullptr;
        return false;
    }
    int _AddRef() override { return -1; }
    int _Release() override { return -1; }
    QString GetSouceCode() override { return {}; }
    IView *GetView() override { return this; }
    void Add(QObject *) override {}
    void Remove(QObject *) override {}
    void sp_SetToolBar(const QString &) override {}
    void sp_SetSourceCode(const QString &) override {}
    void sp_CodeError(const TValueList *AError) override
    {
        WrongThread |= QThread::currentThread() != qApp->thread();
        Errors.push_back({AError->Integers("LineNo"), AError->Values("ErrorMsg"), AError->Values("ErrorText")});
    }
    void sp_Message(const QString &AMsg) override
    {
        WrongThread |= QThread::currentThread() != qApp->thread();
        Messages << AMsg;
    }

    std::vector<TError> Errors;
    QStringList Messages;
    bool WrongThread = false;
};

// An object for the script: records the thread of every access.
class TProbe : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Value READ GetValue WRITE SetValue)
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(int Fixed READ GetFixed)
    Q_PROPERTY(TProbe *Other READ GetOther WRITE SetOther)

public:
    using QObject::QObject;
    int GetValue() const { Touch(); return FValue; }
    void SetValue(int V) { Touch(); FValue = V; Writes << V; }
    QString GetCaption() const { Touch(); return FCaption; }
    void SetCaption(const QString &V) { Touch(); FCaption = V; }
    int GetFixed() const { Touch(); return 7; }
    TProbe *GetOther() const { Touch(); return FOther; }
    void SetOther(TProbe *V) { Touch(); FOther = V; }

    Q_INVOKABLE int Add(int A, int B) const { Touch(); return A + B; }
    Q_INVOKABLE void Start(int ACount) { Touch(); Started << ACount; }
    Q_INVOKABLE bool Same(TProbe *AOther) const { Touch(); return AOther == FOther && AOther; }
    Q_INVOKABLE QString Name() const { Touch(); return objectName(); }
    Q_INVOKABLE void Fail() { Touch(); throw std::runtime_error("probe failed"); }
    Q_INVOKABLE int FailRead() { Touch(); throw std::runtime_error("probe read failed"); }

    QList<int> Writes;
    QList<int> Started;
    mutable bool WrongThread = false;
    mutable int Accesses = 0;

private:
    void Touch() const
    {
        ++Accesses;
        WrongThread |= QThread::currentThread() != qApp->thread();
    }
    int FValue = 0;
    QString FCaption;
    TProbe *FOther = nullptr;
};

// Global functions for AddGlobalFunctions: the engine makes the instance,
// one per run, and frees it as the very last step of the run's end, after
// its last queued call. Alive falling to zero is how a test knows that
// nothing more of its runs can come.
class TProbeFunctions : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TProbeFunctions(QObject *AParent = nullptr) : QObject(AParent) { ++Alive; }
    ~TProbeFunctions() override { --Alive; }
    Q_INVOKABLE void ping() { ++Pings; OnUiThread = QThread::currentThread() == qApp->thread(); }
    Q_INVOKABLE int twice(int V) { return 2 * V; }
    Q_INVOKABLE QObject *makeProbe();

    static inline std::atomic<int> Pings{0};
    static inline std::atomic<bool> OnUiThread{false};
    static inline QWidget *Owner = nullptr;
    static inline std::atomic<int> Alive{0};
};

// Until every run made with TProbeFunctions has ended: its queued calls,
// its reports among them, have then been carried out.
inline bool WaitForRunsToEnd()
{
    return WaitFor([] { return TProbeFunctions::Alive == 0; });
}

inline QObject *TProbeFunctions::makeProbe()
{
    auto *P = new TProbe(Owner);
    P->setObjectName(QStringLiteral("made"));
    ObjectCreated(P);
    return P;
}

// Counts the LED's changes between lit and dark as its board makes them:
// looking at the LED between passes of the event loop would miss changes
// that come and go within one pass.
class TLitChanges
{
public:
    TLitChanges(TPinBoard *ABoard, QWidget *ALed) : FLed(ALed), FLast(Lit())
    {
        FConnection = QObject::connect(ABoard, &TPinBoard::Changed, ALed, [this] {
            const bool Now = Lit();
            Count += Now != FLast;
            FLast = Now;
        });
    }
    ~TLitChanges() { QObject::disconnect(FConnection); }
    bool Lit() const { return FLed->property("Lit").toBool(); }
    int Count = 0;

private:
    QWidget *FLed;
    bool FLast;
    QMetaObject::Connection FConnection;
};

// A plain module window with its engine, and helpers to run programs on it.
class ScriptHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Window = std::make_unique<QWidget>();
        CreateScriptHost(qApp, Window.get(), &Core);
        TProbeFunctions::Owner = Window.get();
    }
    void TearDown() override
    {
        StopScriptHost();
        Window.reset();
        TProbeFunctions::Owner = nullptr;
    }

    // Prepares a run with AObjects added under their object names and starts it.
    void Run(const QString &ACode, const QList<QObject *> &AObjects = {}, bool AFunctions = false)
    {
        PrepareScriptHost();
        if (AFunctions)
            AddGlobalFunctions(&TProbeFunctions::staticMetaObject);
        for (QObject *O : AObjects)
            AddObject(O, O->objectName().toStdU16String().c_str());
        StartScriptHost(ACode.toStdU16String().c_str());
    }

    bool WaitForMessages(int ACount)
    {
        return WaitFor([&] { return Core.Messages.size() >= ACount; });
    }
    bool WaitForErrors(int ACount)
    {
        return WaitFor([&] { return int(Core.Errors.size()) >= ACount; });
    }

    TFakeCore Core;
    std::unique_ptr<QWidget> Window;
};
