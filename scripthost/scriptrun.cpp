// One run of a learner's program on its worker thread: its phases, delay()
// and the run's own reports.
#include "scriptrun.h"

#include "controls.h"
#include "interfacebase.h"
#include "keyboard.h"
#include "memorywatch.h"
#include "packetcodes.h"
#include "valuelist.h"

#include <QFile>
#include <QJSEngine>
#include <QMetaMethod>
#include <malloc.h>
#include <thread>

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
    FPrelude = QJSValue();
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
        if (S->Cancel)
            FEngine->setInterrupted(true);
    }
    auto State = S;
    FMemory = std::make_unique<TMemoryWatch>([State] { State->StopForMemory(); });
    if (InstallPrelude() && Evaluate(S->Code, KProgramFile) && !Ending()) {
        if (!IsCallable("setup") || CallGlobal("setup"))
            MainLoop();
    }
    CheckEnd();
    RunShutdown();
    FMemory.reset();
}

bool TScriptRun::Ending() const
{
    return FEndRun || S->Cancel.load() || S->OutOfMemory.load();
}

bool TScriptRun::InstallPrelude()
{
    QJSValue Fn = FEngine->evaluate(PreludeText(), KPreludeFile);
    if (!Fn.isCallable())
        return false;
    FPrelude = Fn.callWithInstance(FEngine->globalObject(), {FEngine->newQObject(this)});
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    FObjects.Bind(FEngine, FPrelude.property("idOf"), FPrelude.property("wrap"));
    for (int Id : std::as_const(S->FunctionHosts)) {
        const QMetaObject *M = nullptr;
        QString Name;
        if (!S->Describe(Id, M, Name))
            continue;
        QStringList Names;
        for (int I = QObject::staticMetaObject.methodCount(); I < M->methodCount(); ++I) {
            const QMetaMethod Mm = M->method(I);
            if (Mm.access() == QMetaMethod::Public && Mm.methodType() != QMetaMethod::Signal
                && !Names.contains(QString::fromLatin1(Mm.name())))
                Names << QString::fromLatin1(Mm.name());
        }
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

bool TScriptRun::IsCallable(const char *AName)
{
    return FEngine->globalObject().property(QLatin1String(AName)).isCallable();
}

bool TScriptRun::CallGlobal(const char *AName)
{
    return Evaluate(QLatin1String(AName) + QLatin1String("()"), QString());
}

bool TScriptRun::Evaluate(const QString &ACode, const QString &AFileName)
{
    QStringList Trace;
    const QJSValue R = FEngine->evaluate(ACode, AFileName, 1, &Trace);
    if (S->OutOfMemory && !FMemoryReported) {
        FMemoryReported = true;
        FEndRun = true;
        Report(ReportOn(-1,
                        QStringLiteral("The program took more than %1 MB of memory and was stopped")
                            .arg(TMemoryWatch::Limit() / (1024 * 1024)),
                        FLines));
        return false;
    }
    if (Trace.isEmpty())
        return !(R.isError() && Ending()); // interrupted, or a normal end
    if (Ending())
        return false; // the error came from the interruption itself
    Report(DiagnoseError(R, Trace, FLines, AFileName == KProgramFile));
    FEndRun = true;
    return false;
}

void TScriptRun::Report(const TErrorReport &AReport)
{
    auto State = S;
    FBridge.Queue(
        [State, AReport] {
            if (!State->Core)
                return;
            TValueList L;
            L.SetIntegers(PacketKey::LineNo, AReport.Line);
            L.SetValues(PacketKey::ErrorMsg, AReport.Message);
            L.SetValues(PacketKey::ErrorText, AReport.Text);
            if (IView *V = State->Core->GetView())
                V->sp_CodeError(&L);
        },
        false, true);
}

void TScriptRun::message(const QString &AText)
{
    auto State = S;
    FBridge.Queue(
        [State, AText] {
            if (State->Core)
                if (IView *V = State->Core->GetView())
                    V->sp_Message(AText);
        },
        true);
}

void TScriptRun::MainLoop()
{
    auto NextLoop = TClock::now();
    while (!Ending()) {
        if (!RunDueRepeaters())
            return;
        const bool HasLoop = IsCallable("loop");
        const auto Now = TClock::now();
        if (HasLoop && Now >= NextLoop) {
            NextLoop = Now + KLoopPeriod;
            if (!CallGlobal("loop"))
                return;
            continue;
        }
        const auto Due = FScheduler.NextDue();
        if (!HasLoop && !Due)
            return; // nothing left to run: the program has finished
        auto Until = HasLoop ? NextLoop : TClock::time_point::max();
        if (Due && *Due < Until)
            Until = *Due;
        WaitUntil(Until);
    }
}

bool TScriptRun::CheckEnd()
{
    if (S->Cancel || S->Detached || FEndRun)
        return true;
    // A write still queued may yet fail; a failure that no later call
    // could throw would otherwise be lost.
    FBridge.Flush();
    QString Error;
    {
        std::lock_guard L(S->Lock);
        Error.swap(S->PendingError);
        S->HasPendingError = false;
    }
    if (Error.isEmpty())
        return true;
    Report(ReportOn(-1, Error, FLines));
    return false;
}

void TScriptRun::RunShutdown()
{
    {
        std::lock_guard L(S->Lock);
        if (S->Detached)
            return; // the window is gone: nothing of it may be touched
        S->InShutdown = true;
        S->Cancel = false;
        S->OutOfMemory = false;
        FEngine->setInterrupted(false);
    }
    FEndRun = false;
    if (!IsCallable("shutdown"))
        return;
    // shutdown() of a greedy program starts the count afresh from what the
    // program still holds.
    if (FMemoryReported) {
        FEngine->collectGarbage();
        FMemory->Rebase();
    }
    // A watchdog interrupts a shutdown() that outlives its time limit.
    bool TimedOut = false;
    std::thread Watchdog([this, &TimedOut] {
        std::unique_lock L(S->Lock);
        const auto Until = TClock::now() + KShutdownLimit;
        if (!S->Wake.wait_until(L, Until, [this] { return FShutdownDone || S->Detached.load(); })) {
            TimedOut = true;
            S->Cancel = true;
            FEngine->setInterrupted(true);
            S->Wake.notify_all();
        }
    });
    CallGlobal("shutdown");
    {
        std::lock_guard L(S->Lock);
        FShutdownDone = true;
        S->Wake.notify_all();
    }
    Watchdog.join();
    if (TimedOut && !S->Detached)
        Report(ReportOn(-1, QStringLiteral("shutdown() did not end within %1 ms and was stopped").arg(KShutdownLimit.count()),
                        FLines));
}

void TScriptRun::WaitUntil(TClock::time_point AUntil)
{
    std::unique_lock L(S->Lock);
    S->Wake.wait_until(L, AUntil, [this] { return S->Cancel.load() || S->OutOfMemory.load(); });
}

bool TScriptRun::RunDueRepeaters()
{
    if (FInRepeater)
        return true; // a repeater that waits does not run the others inside itself
    FInRepeater = true;
    bool Ok = true;
    for (size_t I = 0; I < FScheduler.Count() && Ok && !Ending(); ++I)
        if (FScheduler.TakeDue(I, TClock::now()))
            Ok = Evaluate(QStringLiteral("this[' kb'].rep[%1]()").arg(I), QString());
    FInRepeater = false;
    return Ok;
}

void TScriptRun::delay(double AMs)
{
    if (FObjects.ThrowPending())
        return;
    if (!(AMs > 0))
        AMs = 0;
    const auto Deadline = TClock::now() + std::chrono::duration_cast<TClock::duration>(
                                              std::chrono::duration<double, std::milli>(std::min(AMs, 1e12)));
    while (!Ending()) {
        if (!RunDueRepeaters()) {
            FEngine->setInterrupted(true); // a repeater failed: unwind the program
            return;
        }
        if (TClock::now() >= Deadline)
            return;
        auto Until = Deadline;
        if (const auto Due = FScheduler.NextDue(); Due && *Due < Until && !FInRepeater)
            Until = *Due;
        WaitUntil(Until);
    }
}

bool TScriptRun::key(int AKey)
{
    return TKeyboardState::IsDown(AKey);
}

void TScriptRun::digitalWrite(int APin, bool AHigh)
{
    if (FObjects.ThrowPending())
        return;
    auto State = S;
    FBridge.Queue([State, APin, AHigh] {
        if (State->Pins)
            State->Pins->SetLevel(APin, AHigh);
    });
}
