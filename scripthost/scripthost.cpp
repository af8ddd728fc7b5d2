// The engine library's entry points, and the engine of one module window:
// its runs, their threads, and the UI thread's side of their queued calls.
#include "scripthost.h"

#include "bridge.h"
#include "controls.h"
#include "debugtrace.h"
#include "keyboard.h"
#include "runstate.h"
#include "scriptrun.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

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
    // The most a slice of the drain takes, in time and in reports.
    static constexpr qint64 KSliceMs = 8;
    static constexpr size_t KSliceReports = 256;

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
        ResetBoardAfterStop(*S);
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

    // Stop is a reset of the board: every pin falls back to LOW. A program
    // that ended by itself or with an error leaves the board as it was.
    void ResetBoardAfterStop(const TRunState &S)
    {
        if (S.StoppedByUser && FPins)
            FPins->Reset();
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
        ResetBoardAfterStop(*S);
        FreeInstances(*S);
        if (FRuns.empty() && FPending) {
            auto P = std::move(FPending);
            FPending.reset();
            Launch(std::move(P));
        }
    }

    // Carries out the run's queued calls in order, a slice at a time, so that
    // a flood of calls cannot keep input and painting waiting. A slice ends
    // after a few milliseconds or a batch of reports: each report becomes a
    // packet on the bus and a line of the pane, which are delivered after
    // the slice, and these too must leave room for input.
    void Drain(const std::shared_ptr<TRunState> &S)
    {
        QPointer<TScriptHost> Self(this);
        QElapsedTimer Slice;
        Slice.start();
        size_t Reports = 0;
        std::deque<TUiOp> Batch;
        for (;;) {
            {
                std::lock_guard L(S->Lock);
                if (S->Ops.empty() || S->Detached) {
                    S->OpsPosted = false;
                    S->Wake.notify_all();
                    return;
                }
                if (Slice.elapsed() >= KSliceMs || Reports >= KSliceReports) {
                    QCoreApplication::postEvent(this, MakeDrainEvent(S)); // OpsPosted stays set
                    S->Wake.notify_all();
                    return;
                }
                const size_t N = std::min<size_t>(S->Ops.size(), 256);
                for (size_t I = 0; I < N; ++I) {
                    Reports += S->Ops.front().Report;
                    S->QueuedReports -= S->Ops.front().Report;
                    Batch.push_back(std::move(S->Ops.front()));
                    S->Ops.pop_front();
                }
                S->Wake.notify_all();
            }
            auto Previous = std::exchange(FDraining, S);
            for (auto &Op : Batch) {
                try {
                    Op.Run();
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

    ICore *FCore;
    QPointer<TPinBoard> FPins;
    std::shared_ptr<TRunState> FPrepared;
    std::shared_ptr<TRunState> FPending;
    std::vector<TRun> FRuns; // threads still alive; the last one is the current run
    std::shared_ptr<TRunState> FDraining;
    quint64 FSerial = 0;
};

QPointer<TScriptHost> GCurrent;

} // namespace

extern "C" {

void CreateScriptHost(QApplication *, QWidget *AWindow, ICore *ACore)
{
    if (!AWindow)
        return;
    TKeyboardState::Install(AWindow);
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
    return CreateControl(AOwner, FromUtf16(AClassName), FromUtf16(AParams), APicture);
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
