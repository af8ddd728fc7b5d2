// The engine of one module window: its runs, their threads and their ends.
#include "runhost.h"

#include "bridge.h"
#include "controls.h"
#include "debugtrace.h"
#include "keptreads.h"
#include "leftruns.h"
#include "scriptrun.h"
#include "uidrain.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

TScriptHost::TScriptHost(QWidget *AWindow, ICore *ACore)
    : QObject(AWindow), FCore(ACore), FPins(TPinBoard::For(AWindow))
{
}

TScriptHost::~TScriptHost()
{
    // The window goes at once: its runs are cut off from it and left to end
    // on their own (leftruns.h), even one inside a long built-in call.
    for (auto &R : FRuns) {
        R.State->Enter(TRunPhase::Detached, TStopReason::GivenUp);
        disconnect(R.Thread, nullptr, this, nullptr);
        LeftRuns::Take(R.Thread, R.State);
        delete R.State->Reads;
        R.State->Reads = nullptr;
        FreeInstances(*R.State);
    }
    if (FPrepared)
        FreeInstances(*FPrepared);
    if (FPending)
        FreeInstances(*FPending);
}

void TScriptHost::Prepare()
{
    Stop();
    if (FPrepared)
        FreeInstances(*FPrepared);
    FPrepared = NewState();
}

void TScriptHost::AddGlobalFunctions(const QMetaObject *AClass)
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

void TScriptHost::AddObject(QObject *AObject, const QString &AName)
{
    if (!AObject || AName.isEmpty())
        return;
    auto &S = Prepared();
    S.Named << qMakePair(AName, S.AddObject(AObject, AName));
}

void TScriptHost::ObjectCreated(QObject *AObject)
{
    // During a call from the script the object belongs to that run.
    if (FDraining)
        FDraining->AddObject(AObject);
    else if (!FRuns.empty())
        FRuns.back().State->AddObject(AObject);
    else
        Prepared().AddObject(AObject);
}

void TScriptHost::Start(const QString &ACode)
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

void TScriptHost::Stop()
{
    if (FPending) {
        FreeInstances(*FPending);
        FPending.reset();
    }
    for (auto &R : FRuns) {
        R.State->Enter(TRunPhase::Stopping, TStopReason::User);
        // A program that does not honour Stop is given up, and so is a
        // shutdown() that outlives the same time.
        if (R.State->Phase() != TRunPhase::Ended)
            ArmGiveUp(R);
    }
}

bool TScriptHost::event(QEvent *AEvent)
{
    if (AEvent->type() != RunEventType())
        return QObject::event(AEvent);
    const auto S = RunEventState(AEvent);
    if (!S)
        return true;
    if (RunEventKind(AEvent) == TRunEventKind::Drain)
        UiDrain::Drain(this, S, FDraining);
    else if (TRun *R = Find(S))
        ArmGiveUp(*R); // shutdown() of a run that ended by itself has the same limit
    return true;
}

std::shared_ptr<TRunState> TScriptHost::NewState()
{
    auto S = std::make_shared<TRunState>();
    S->Core = FCore;
    S->Pins = FPins;
    S->PostTarget = this;
    return S;
}

TRunState &TScriptHost::Prepared()
{
    if (!FPrepared)
        FPrepared = NewState();
    return *FPrepared;
}

TScriptHost::TRun *TScriptHost::Find(const std::shared_ptr<TRunState> &S)
{
    for (auto &R : FRuns)
        if (R.State == S)
            return &R;
    return nullptr;
}

void TScriptHost::Launch(std::shared_ptr<TRunState> S)
{
    if (FPins)
        FPins->Reset();
    S->Reads = new TKeptWatch(*S);
    S->Enter(TRunPhase::Running);
    QThread *T = QThread::create([S] {
        TScriptRun Run(S);
        Run.Exec();
        LeftRuns::BeforeFreeing(*S);
    });
    T->setObjectName(QStringLiteral("ScriptRun"));
    T->setStackSize(16 * 1024 * 1024);
    connect(T, &QThread::finished, this, [this, T] { Ended(T); });
    FRuns.push_back({std::move(S), T, nullptr});
    T->start();
}

void TScriptHost::ArmGiveUp(TRun &ARun)
{
    if (ARun.GiveUp)
        return;
    ARun.GiveUp = new QTimer(this);
    ARun.GiveUp->setSingleShot(true);
    QThread *T = ARun.Thread;
    connect(ARun.GiveUp, &QTimer::timeout, this, [this, T] { GiveUp(T); });
    ARun.GiveUp->start(KGiveUpMs);
}

void TScriptHost::GiveUp(QThread *AThread)
{
    auto It = std::find_if(FRuns.begin(), FRuns.end(), [&](const TRun &R) { return R.Thread == AThread; });
    if (It == FRuns.end())
        return;
    // shutdown() that outlives the give-up time is cut short, in delay() so
    // that it reports the line it was on: at once when it waits there, else
    // at its next delay(), or wherever it is after a last while. Cut short,
    // it has a last while to end.
    if (It->State->CutShutdown()) {
        It->GiveUp->start(KGiveUpMs / 4);
        return;
    }
    if (It->State->Enter(TRunPhase::Stopping, TStopReason::GivenUp)) {
        It->GiveUp->start(KGiveUpMs / 4);
        return;
    }
    const TRunPhase Phase = It->State->Phase();
    if (Phase == TRunPhase::Ended)
        return; // its thread is finishing; Ended follows
    // A program that never reached shutdown() leaves the board as Stop left it: reset.
    const bool Reset = Phase == TRunPhase::Running
                       || (Phase == TRunPhase::Stopping && It->State->Reason() == TStopReason::User);
    It->State->Enter(TRunPhase::Detached, TStopReason::GivenUp);
    disconnect(AThread, nullptr, this, nullptr);
    LeftRuns::Take(AThread, It->State);
    DebugTrace(QStringLiteral("ScriptHost - a program ignored Stop and was given up\r\n"));
    if (Reset && FPins)
        FPins->Reset();
    Retire(It);
}

void TScriptHost::Ended(QThread *AThread)
{
    auto It = std::find_if(FRuns.begin(), FRuns.end(), [&](const TRun &R) { return R.Thread == AThread; });
    if (It == FRuns.end())
        return;
    AThread->wait();
    delete AThread;
    // Calls the run queued before it ended still reach the objects, in order.
    const auto S = It->State;
    QPointer<TScriptHost> Self(this);
    UiDrain::Drain(this, S, FDraining);
    if (!Self)
        return; // a call freed the window and with it this engine
    It = std::find_if(FRuns.begin(), FRuns.end(), [&](const TRun &R) { return R.State == S; });
    if (It != FRuns.end())
        Retire(It);
}

void TScriptHost::Retire(std::vector<TRun>::iterator AIt)
{
    const auto S = AIt->State;
    if (AIt->GiveUp) {
        // Retire may run inside the timer's own timeout.
        AIt->GiveUp->stop();
        AIt->GiveUp->deleteLater();
    }
    FRuns.erase(AIt);
    delete S->Reads;
    S->Reads = nullptr;
    FreeInstances(*S);
    if (FRuns.empty() && FPending) {
        auto P = std::move(FPending);
        FPending.reset();
        Launch(std::move(P));
    }
}

void TScriptHost::FreeInstances(TRunState &S)
{
    for (QObject *I : S.OwnedInstances)
        delete I;
    S.OwnedInstances.clear();
}
