#include "scripthost.h"

#include "controls.h"
#include "debugtrace.h"
#include "keyboard.h"
#include "runstate.h"
#include "scriptrun.h"
#include "valuelist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QWidget>

QEvent::Type DrainEventType();
std::shared_ptr<TRunState> DrainEventState(QEvent *AEvent);

namespace {

QString FromUtf16(const char16_t *AText)
{
    return AText ? QString::fromUtf16(AText) : QString();
}

// The engine of one module window; a child of the window on the UI thread.
class TScriptHost : public QObject
{
public:
    TScriptHost(QWidget *AWindow, ICore *ACore)
        : QObject(AWindow), FCore(ACore), FPins(TPinBoard::For(AWindow))
    {
    }

    ~TScriptHost() override
    {
        // The window is going: end every run without touching it again.
        for (auto &R : FRuns)
            R.State->Detach();
        for (auto &R : FRuns) {
            if (R.Thread->wait(QDeadlineTimer(KGiveUpMs)))
                delete R.Thread;
            else
                Orphan(R.Thread);
            FreeInstances(*R.State);
        }
        if (FPrepared)
            FreeInstances(*FPrepared);
        if (FPending)
            FreeInstances(*FPending);
    }

    void Prepare()
    {
        Stop();
        if (FPrepared)
            FreeInstances(*FPrepared);
        FPrepared = NewState();
    }

    void AddGlobalFunctions(const QMetaObject *AClass)
    {
        if (!AClass)
            return;
        QObject *I = AClass->newInstance();
        if (!I)
            I = AClass->newInstance(Q_ARG(QObject *, nullptr));
        if (!I) {
            DebugTrace(QStringLiteral("AddGlobalFunctions - %1 has no invokable constructor\r\n")
                           .arg(QString::fromLatin1(AClass->className())));
            return;
        }
        auto &S = Prepared();
        S.OwnedInstances.push_back(I);
        S.FunctionHosts << S.AddObject(I);
    }

    void AddObject(QObject *AObject, const QString &AName)
    {
        if (!AObject || AName.isEmpty())
            return;
        auto &S = Prepared();
        S.Named << qMakePair(AName, S.AddObject(AObject, AName));
    }

    void ObjectCreated(QObject *AObject)
    {
        // During a call from the script the object belongs to that run.
        if (FDraining)
            FDraining->AddObject(AObject);
        else if (!FRuns.empty())
            FRuns.back().State->AddObject(AObject);
        else
            Prepared().AddObject(AObject);
    }

    void Start(const QString &ACode)
    {
        auto S = FPrepared ? std::move(FPrepared) : NewState();
        FPrepared.reset();
        S->Code = ACode;
        Stop();
        if (FRuns.empty())
            Launch(std::move(S));
        else
            FPending = std::move(S); // starts when the ending run has ended
    }

    void Stop()
    {
        if (FPending) {
            FreeInstances(*FPending);
            FPending.reset();
        }
        for (auto &R : FRuns) {
            R.State->RequestStop();
            // A program that does not honour the interruption is given up.
            QTimer::singleShot(KGiveUpMs, this, [this, Serial = R.Serial] { GiveUp(Serial); });
        }
    }

protected:
    bool event(QEvent *AEvent) override
    {
        if (AEvent->type() != DrainEventType())
            return QObject::event(AEvent);
        if (auto S = DrainEventState(AEvent))
            Drain(S);
        return true;
    }

private:
    struct TRun
    {
        std::shared_ptr<TRunState> State;
        QThread *Thread;
        quint64 Serial;
    };

    // How long a stopped run may take to end (its shutdown() included)
    // before it is given up.
    static constexpr int KGiveUpMs = 2000;

    // A thread that would not end: cut off from everything, it is left to
    // finish on its own and frees itself if it ever does.
    static void Orphan(QThread *AThread)
    {
        QObject::connect(AThread, &QThread::finished, AThread, &QObject::deleteLater);
        if (AThread->isFinished())
            AThread->deleteLater();
        DebugTrace(QStringLiteral("ScriptHost - a program ignored Stop and was given up\r\n"));
    }

    void GiveUp(quint64 ASerial)
    {
        auto It = std::find_if(FRuns.begin(), FRuns.end(), [&](const TRun &R) { return R.Serial == ASerial; });
        if (It == FRuns.end())
            return;
        It->State->Detach();
        QThread *T = It->Thread;
        auto S = It->State;
        FRuns.erase(It);
        disconnect(T, nullptr, this, nullptr);
        Orphan(T);
        FreeInstances(*S);
        if (FRuns.empty() && FPending) {
            auto P = std::move(FPending);
            FPending.reset();
            Launch(std::move(P));
        }
    }

    std::shared_ptr<TRunState> NewState()
    {
        auto S = std::make_shared<TRunState>();
        S->Core = FCore;
        S->Pins = FPins;
        S->PostTarget = this;
        return S;
    }

    TRunState &Prepared()
    {
        if (!FPrepared)
            FPrepared = NewState();
        return *FPrepared;
    }

    static void FreeInstances(TRunState &S)
    {
        for (QObject *I : S.OwnedInstances)
            delete I;
        S.OwnedInstances.clear();
    }

    void Launch(std::shared_ptr<TRunState> S)
    {
        if (FPins)
            FPins->Reset();
        QThread *T = QThread::create([S] {
            TScriptRun Run(S);
            Run.Exec();
        });
        T->setObjectName(QStringLiteral("ScriptRun"));
        T->setStackSize(16 * 1024 * 1024);
        connect(T, &QThread::finished, this, [this, T] { Ended(T); });
        FRuns.push_back({std::move(S), T, ++FSerial});
        T->start();
    }

    void Ended(QThread *AThread)
    {
        auto It = std::find_if(FRuns.begin(), FRuns.end(), [&](const TRun &R) { return R.Thread == AThread; });
        if (It == FRuns.end())
            return;
        AThread->wait();
        delete AThread;
        auto S = It->State;
        FRuns.erase(It);
        // Calls the run queued before it ended still reach the objects, in order.
        Drain(S);
        FreeInstances(*S);
        if (FRuns.empty() && FPending) {
            auto P = std::move(FPending);
            FPending.reset();
            Launch(std::move(P));
        }
    }

    // Carries out the run's queued calls in order, a slice at a time, so that
    // a flood of calls cannot keep input and painting waiting.
    void Drain(const std::shared_ptr<TRunState> &S)
    {
        QPointer<TScriptHost> Self(this);
        QElapsedTimer Slice;
        Slice.start();
        std::deque<std::function<void()>> Batch;
        for (;;) {
            {
                std::lock_guard L(S->Lock);
                if (S->Ops.empty() || S->Detached) {
                    S->OpsPosted = false;
                    S->Wake.notify_all();
                    return;
                }
                if (Slice.elapsed() >= 8) {
                    QCoreApplication::postEvent(this, DrainEventFor(S)); // OpsPosted stays set
                    S->Wake.notify_all();
                    return;
                }
                const size_t N = std::min<size_t>(S->Ops.size(), 256);
                for (size_t I = 0; I < N; ++I) {
                    Batch.push_back(std::move(S->Ops.front()));
                    S->Ops.pop_front();
                }
                if (S->Ops.size() < KQueueLow)
                    S->Wake.notify_all();
            }
            auto Previous = std::exchange(FDraining, S);
            for (auto &Op : Batch) {
                try {
                    Op();
                } catch (...) {
                    DebugTrace(QStringLiteral("ScriptHost - a call from the script failed\r\n"));
                }
                if (!Self)
                    return; // a call freed the window and with it this engine
            }
            FDraining = Previous;
            Batch.clear();
        }
    }

    static QEvent *DrainEventFor(const std::shared_ptr<TRunState> &S);

    ICore *FCore;
    QPointer<TPinBoard> FPins;
    std::shared_ptr<TRunState> FPrepared;
    std::shared_ptr<TRunState> FPending;
    std::vector<TRun> FRuns; // threads still alive; the last one is the current run
    std::shared_ptr<TRunState> FDraining;
    quint64 FSerial = 0;
};

QPointer<TScriptHost> GCurrent;

// Frees an engine-made control together with its owner, unless it went first.
class TOwnedControl : public QObject
{
public:
    TOwnedControl(QObject *AOwner, QWidget *AControl) : QObject(AOwner), FControl(AControl) {}
    ~TOwnedControl() override { delete FControl.data(); }

private:
    QPointer<QWidget> FControl;
};

// "Name=Value" pairs separated by ';' (or line breaks), names in any case.
TValueList ParseParams(const QString &AText)
{
    TValueList L;
    for (QString Part : AText.split(QRegularExpression(QStringLiteral("[;\r\n]")), Qt::SkipEmptyParts)) {
        Part = Part.trimmed();
        const qsizetype Eq = Part.indexOf(QLatin1Char('='));
        if (Eq > 0)
            L.SetValues(Part.left(Eq).trimmed(), Part.mid(Eq + 1).trimmed());
    }
    return L;
}

// A colour by name ("red") or as $00BBGGRR.
QColor ParseColor(const QString &AText, const QColor &ADefault)
{
    if (AText.startsWith(QLatin1Char('$'))) {
        bool Ok = false;
        const uint V = AText.mid(1).toUInt(&Ok, 16);
        if (Ok)
            return QColor(int(V & 0xFF), int((V >> 8) & 0xFF), int((V >> 16) & 0xFF));
    }
    QColor C = QColor::fromString(AText);
    return C.isValid() ? C : ADefault;
}

int IntParam(const TValueList &L, const char *AName, int ADefault)
{
    int32_t V = 0;
    return L.Exists(QLatin1String(AName)) && TValueList::ParseInt32(L.Values(QLatin1String(AName)), V) ? V : ADefault;
}

} // namespace

// The drain event is made where the run's side is defined.
QEvent *MakeDrainEvent(const std::shared_ptr<TRunState> &S);
QEvent *TScriptHost::DrainEventFor(const std::shared_ptr<TRunState> &S)
{
    return MakeDrainEvent(S);
}

extern "C" {

void CreateScriptHost(QApplication *, QWidget *AWindow, ICore *ACore)
{
    if (!AWindow)
        return;
    TKeyboardState::Install();
    GCurrent = new TScriptHost(AWindow, ACore);
}

void PrepareScriptHost()
{
    if (GCurrent)
        GCurrent->Prepare();
}

void AddGlobalFunctions(const QMetaObject *AClass)
{
    if (GCurrent)
        GCurrent->AddGlobalFunctions(AClass);
}

void AddObject(QObject *AObject, const char16_t *AName)
{
    if (GCurrent)
        GCurrent->AddObject(AObject, FromUtf16(AName));
}

void ObjectCreated(QObject *AObject)
{
    if (GCurrent && AObject)
        GCurrent->ObjectCreated(AObject);
}

QWidget *CreateObject(QObject *AOwner, const char16_t *AClassName, const char16_t *AParams, const QImage *APicture)
{
    const QString Class = FromUtf16(AClassName);
    const TValueList P = ParseParams(FromUtf16(AParams));
    QWidget *W = nullptr;
    if (Class.compare(QLatin1String("TLED"), Qt::CaseInsensitive) == 0) {
        W = new TLED(TPinBoard::For(AOwner), ParseColor(P.Values(QStringLiteral("Color")), Qt::red));
    } else if (Class.compare(QLatin1String("TDial"), Qt::CaseInsensitive) == 0) {
        W = new TDial(IntParam(P, "MinAngle", 145), IntParam(P, "MaxAngle", 3450), APicture ? *APicture : QImage());
    }
    if (W && AOwner)
        new TOwnedControl(AOwner, W);
    return W;
}

void StartScriptHost(const char16_t *ACode)
{
    if (GCurrent)
        GCurrent->Start(FromUtf16(ACode));
}

void StopScriptHost()
{
    if (GCurrent)
        GCurrent->Stop();
}
}
