// One run of a learner's program on its worker thread: its phases, delay()
// and the run's own reports.
#include "scriptrun.h"

#include "controls.h"
#include "interfacebase.h"
#include "keyboard.h"
#include "memorywatch.h"
#include "packetcodes.h"
#include "shownlines.h"
#include "valuelist.h"

#include <QFile>
#include <QJSEngine>
#include <QJSManagedValue>
#include <QMetaMethod>
#include <malloc.h>

namespace {

const QString KPreludeFile = QStringLiteral("kitebench-engine.js");

QString PreludeText()
{
    QFile F(QStringLiteral(":/scripthost/prelude.js"));
    return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
}

} // namespace

TScriptRun::TScriptRun(std::shared_ptr<TRunState> AState)
    : S(std::move(AState)), FBridge(S), FObjects(S, FBridge), FLines(ProgramLines(S->Code))
{
}

TScriptRun::~TScriptRun()
{
    FRepeaters = QJSValue();
    FPrelude = QJSValue();
    FGlobal = QJSValue();
    FObjects.Release();
    {
        std::lock_guard L(S->Lock);
        S->Engine = nullptr;
    }
    delete FEngine;
    // What a greedy program took goes back to the system, not just to the
    // allocator, so that the next run starts where this one did.
    malloc_trim(0);
}

void TScriptRun::Exec()
{
    FEngine = new QJSEngine;
    {
        std::lock_guard L(S->Lock);
        S->Engine = FEngine;
        if (S->Interrupting())
            FEngine->setInterrupted(true);
    }
    FGlobal = FEngine->globalObject();
    auto State = S;
    FMemory = std::make_unique<TMemoryWatch>([State] { State->Enter(TRunPhase::Stopping, TStopReason::Memory); });
    if (InstallPrelude() && Evaluate(S->Code) && !Ending()) {
        if (const QJSValue Setup = Global("setup"); !Setup.isCallable() || Invoke(Setup))
            MainLoop();
    }
    ReportLateFailure();
    RunShutdown();
    FMemory.reset();
    S->Enter(TRunPhase::Ended);
}

bool TScriptRun::Ending() const
{
    return S->Interrupting();
}

bool TScriptRun::InstallPrelude()
{
    QJSValue Fn = FEngine->evaluate(PreludeText(), KPreludeFile);
    if (!Fn.isCallable())
        return false;
    FPrelude = Fn.callWithInstance(FGlobal, {FEngine->newQObject(this)});
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    FRepeaters = FPrelude.property("rep");
    FObjects.Bind(FEngine, FPrelude.property("idOf"), FPrelude.property("wrap"));
    for (int Id : std::as_const(S->FunctionHosts)) {
        const QMetaObject *M = nullptr;
        QString Name;
        if (!S->Describe(Id, M, Name))
            continue;
        const QStringList Names = ScriptMethods(M);
        QJSValue Arr = FEngine->newArray(uint(Names.size()));
        for (int I = 0; I < Names.size(); ++I)
            Arr.setProperty(quint32(I), Names[I]);
        FPrelude.property("functions").call({Id, Arr});
    }
    QJSValue Define = FPrelude.property("define");
    for (const auto &[Name, Id] : std::as_const(S->Named))
        Define.call({Name, FObjects.Wrap(Id)});
    return true;
}

QJSValue TScriptRun::Global(const char *AName) const
{
    return FGlobal.property(QLatin1String(AName));
}

bool TScriptRun::Evaluate(const QString &ACode)
{
    QStringList Trace;
    const QJSValue R = FEngine->evaluate(ACode, KProgramFile, 1, &Trace);
    // A thrown error comes with its trace; an interruption leaves none. (The
    // text may end in an error value that it did not throw.)
    return Settle(R, Trace, !Trace.isEmpty() || (R.isError() && Ending()), true);
}

bool TScriptRun::CallProgram(const QJSValue &AFn, QJSValue &AError, QStringList &ATrace)
{
    QJSManagedValue(AFn, FEngine).call();
    if (!FEngine->hasError())
        return true;
    // evaluate() hands over a pending exception with the stack it was thrown
    // with, a thrown value that is not an error included.
    AError = FEngine->evaluate(QString(), QString(), 1, &ATrace);
    return false;
}

bool TScriptRun::Invoke(const QJSValue &AFn)
{
    QJSValue Error;
    QStringList Trace;
    const bool Returned = CallProgram(AFn, Error, Trace);
    return Settle(Error, Trace, !Returned, false);
}

bool TScriptRun::Settle(const QJSValue &AError, const QStringList &ATrace, bool AFailed, bool AWholeProgram)
{
    if (ReportFailure())
        return false;
    if (S->Reason() == TStopReason::Memory && S->Phase() == TRunPhase::Stopping && !FMemoryReported) {
        FMemoryReported = true;
        Report(ReportOn(-1,
                        QStringLiteral("The program took more than %1 MB of memory and was stopped")
                            .arg(TMemoryWatch::Limit() / (1024 * 1024)),
                        FLines));
        return false;
    }
    if (!AFailed)
        return true;
    if (Ending())
        return false; // the error came from the interruption itself
    Report(DiagnoseError(AError, ATrace, FLines, AWholeProgram));
    S->Enter(TRunPhase::Stopping, TStopReason::Error);
    return false;
}

bool TScriptRun::ReportFailure()
{
    const auto F = S->TakeFailure();
    if (F) // worded as the error the call would have thrown
        Report(ReportOn(F->Line, QStringLiteral("Error: ") + F->Message, FLines));
    return bool(F);
}

void TScriptRun::ReportLateFailure()
{
    // A stopping run has nothing more to report: Fail() records nothing then.
    if (!S->Interrupting())
        FBridge.Flush();
    ReportFailure();
}

void TScriptRun::Report(const TErrorReport &AReport)
{
    auto State = S;
    FBridge.Queue({[State, AReport] {
                       if (!State->Core)
                           return;
                       TValueList L;
                       L.SetIntegers(PacketKey::LineNo, AReport.Line);
                       L.SetValues(PacketKey::ErrorMsg, AReport.Message);
                       L.SetValues(PacketKey::ErrorText, AReport.Text);
                       if (IView *V = State->Core->GetView())
                           V->sp_CodeError(&L);
                   },
                   nullptr, false},
                  true);
}

void TScriptRun::message(const QString &AText)
{
    QueueMessage(AText, false);
}

void TScriptRun::QueueMessage(const QString &AText, bool AAlways)
{
    auto State = S;
    // Cut here, so that neither the queue nor the bus carries what the pane
    // would not show.
    const QString Text = CutForShowing(AText);
    FBridge.Queue({[State, Text] {
                       if (State->Core)
                           if (IView *V = State->Core->GetView())
                               V->sp_Message(Text);
                   },
                   nullptr, true, Text.size()},
                  AAlways);
}

void TScriptRun::MainLoop()
{
    auto NextLoop = TClock::now();
    while (!Ending()) {
        if (!RunDueRepeaters())
            return;
        // Looked up on every pass: the program may define loop() anew.
        const QJSValue Loop = Global("loop");
        const bool HasLoop = Loop.isCallable();
        const auto Now = TClock::now();
        if (HasLoop && Now >= NextLoop) {
            NextLoop = Now + KLoopPeriod;
            if (!Invoke(Loop))
                return;
            continue;
        }
        const auto Due = FScheduler.NextDue();
        if (!HasLoop && !Due)
            return; // nothing left to run: the program has finished
        auto First = HasLoop ? NextLoop : TClock::time_point::max();
        if (Due && *Due < First)
            First = *Due;
        auto Until = First;
        if (HasLoop && NextLoop <= First + KMerge)
            Until = std::max(Until, NextLoop);
        if (const auto Last = FScheduler.LatestDueBy(First + KMerge))
            Until = std::max(Until, *Last);
        WaitUntil(Until);
    }
}

void TScriptRun::BeforeShutdown(TStopReason AWhy)
{
    auto State = S;
    // Stop is a reset of the board: every pin falls back to LOW, before
    // shutdown() writes its own. A program that ended by itself or with an
    // error leaves the board as it was.
    if (AWhy == TStopReason::User)
        FBridge.Queue({[State] {
                           if (State->Pins)
                               State->Pins->Reset();
                       },
                       nullptr, false},
                      true);
    size_t Dropped = 0;
    {
        std::lock_guard L(S->Lock);
        std::swap(Dropped, S->DroppedReports);
    }
    if (Dropped > 0) {
        const QString Text = Dropped == 1 ? QStringLiteral("1 line printed before Stop took effect was not shown")
                                          : QStringLiteral("%1 lines printed before Stop took effect were not shown")
                                                .arg(Dropped);
        QueueMessage(Text, true);
    }
}

void TScriptRun::RunShutdown()
{
    // Entering shutdown() clears the interruption; a detached run goes no further.
    TStopReason Why;
    if (!S->EnterShutdown(Why))
        return;
    FRepeatersOver = true;
    BeforeShutdown(Why);
    const QJSValue Shutdown = Global("shutdown");
    if (!Shutdown.isCallable())
        return;
    // The host limits shutdown() to the give-up time, from Stop or from now.
    FBridge.Notify(TRunEventKind::ShutdownBegins);
    // shutdown() of a greedy program starts the count afresh from what the
    // program still holds.
    if (FMemoryReported) {
        FEngine->collectGarbage();
        FMemory->Rebase();
    }
    QJSValue Error;
    QStringList Trace;
    const bool Returned = CallProgram(Shutdown, Error, Trace);
    if (S->Phase() == TRunPhase::Stopping && S->Reason() == TStopReason::GivenUp) {
        // The interruption leaves no trace; a shutdown() cut in delay() knows its line.
        const int Line = Trace.isEmpty() ? FCutLine : DiagnoseError(Error, Trace, FLines, false).Line;
        Report(ReportOn(Line,
                        QStringLiteral("shutdown() did not end within %1 ms of Stop (or of its own start) and was "
                                       "stopped")
                            .arg(KGiveUpMs),
                        FLines));
        return;
    }
    if (Settle(Error, Trace, !Returned, false))
        ReportLateFailure();
}

void TScriptRun::WaitUntil(TClock::time_point AUntil)
{
    FMemory->Rest();
    {
        std::unique_lock L(S->Lock);
        S->Waiting = TRunState::TWait::Time;
        S->Wake.wait_until(L, AUntil, [this] {
            S->TakeCutLocked();
            return S->Interrupting();
        });
        S->Waiting = TRunState::TWait::Nothing;
    }
    FMemory->Resume();
}

bool TScriptRun::RunDueRepeaters()
{
    // A repeater that waits does not run the others inside itself, and
    // shutdown() runs alone.
    if (FInRepeater || FRepeatersOver)
        return true;
    FInRepeater = true;
    bool Ok = true;
    for (size_t I = 0; I < FScheduler.Count() && Ok && !Ending(); ++I)
        if (FScheduler.TakeDue(I, TClock::now()))
            if (const QJSValue Fn = FRepeaters.property(quint32(I)); Fn.isCallable())
                Ok = Invoke(Fn);
    FInRepeater = false;
    return Ok;
}

void TScriptRun::delay(double AMs)
{
    if (!(AMs > 0))
        AMs = 0;
    {
        // shutdown() marked at the give-up time is cut short here, even by
        // a delay() that would not wait.
        std::lock_guard L(S->Lock);
        S->TakeCutLocked();
    }
    const auto Deadline = TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                              std::chrono::duration<double, std::milli>(std::min(AMs, 1e12)));
    while (!Ending()) {
        if (!RunDueRepeaters())
            return; // a repeater failed: the run is stopping, and the program unwinds
        if (TClock::now() >= Deadline)
            return;
        auto Until = Deadline;
        if (const auto Due = FScheduler.NextDue(); Due && *Due < Until && !FInRepeater && !FRepeatersOver)
            Until = *Due;
        WaitUntil(Until);
    }
    if (S->Reason() == TStopReason::GivenUp && FCutLine < 0)
        FCutLine = CurrentLine(FEngine); // where the script waits
}

bool TScriptRun::key(int AKey)
{
    return TKeyboardState::IsDown(AKey);
}

void TScriptRun::digitalWrite(int APin, bool AHigh)
{
    auto State = S;
    FBridge.Queue({[State, APin, AHigh] {
                       if (State->Pins)
                           State->Pins->SetLevel(APin, AHigh);
                   },
                   nullptr, false});
}
