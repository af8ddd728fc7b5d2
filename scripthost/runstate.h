#pragma once

// What one run shares between its worker thread and the user-interface
// thread: the set-up, the objects the script may use, the queue of calls
// waiting for the UI thread, and the run's phase.
//
// A run's phases, each entered only through TRunState::Enter (or, for the
// cut of shutdown(), CutShutdown and TakeCutLocked, which share its rules):
//
//   SetUp --start--> Running --Stop / memory / error--> Stopping
//                      |                                   |
//                      +-------- end ---------+------------+
//                                             v
//                                        InShutdown --give-up time / memory / error--> Stopping
//                                             |                                          |
//                                             +----------- end --------+-----------------+
//                                                                      v
//                                                                    Ended
//
// The repeaters run only while the phase is Running: shutdown() runs alone.
// Detached (the window is going, or the run was given up) may follow any
// phase; nothing of the run reaches the UI thread after it, and the run no
// longer knows the window's objects.

#include "keptreads.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

struct ICore;
class QJSEngine;
class TKeptWatch;
class TPinBoard;

enum class TRunPhase { SetUp, Running, Stopping, InShutdown, Ended, Detached };

// Why a run left Running, or shutdown(). Finished is given only to a run that
// nothing stopped; a later stop (the give-up time after Stop, the memory
// watch) replaces an earlier reason, so that the last one is reported.
enum class TStopReason { None, Finished, Error, User, Memory, GivenUp };

// The outcome of one call carried out on the user-interface thread.
struct TUiResult
{
    bool Done = false;
    QVariant Value;
    int ObjectId = -1; // the result is this object
    bool IsObject = false;
    QString Error;
};

// A call waiting for the UI thread. The program's messages are marked, so
// that the queue can bound them on their own. A call whose result the
// worker waits for carries it; the UI thread marks it done after the call.
struct TUiOp
{
    std::function<void()> Run;
    std::shared_ptr<TUiResult> Result;
    bool Report = false;
    qsizetype Chars = 0; // of a message: its length, which its cost in the pane follows
};

// One object that the script may use, by its id in the run.
struct TScriptObject
{
    QPointer<QObject> Obj;
    const QMetaObject *Meta = nullptr;
    QString Name; // script name, or the class name for objects handed back
};

// The run's shared state. The set-up fields are written on the UI thread before the worker
// starts and only read afterwards; the rest is guarded by Lock.
class TRunState
{
public:
    // set-up
    QString Code;
    QList<QPair<QString, int>> Named; // script name and object id, in order of adding
    QList<int> FunctionHosts;         // objects whose methods become global functions
    std::vector<QObject *> OwnedInstances; // made for AddGlobalFunctions; freed on the UI thread
    ICore *Core = nullptr;
    QPointer<TPinBoard> Pins;
    QObject *PostTarget = nullptr; // the host; alive until the run is detached
    TKeptWatch *Reads = nullptr;   // UI thread only: made when the run starts, freed when it ends

    std::mutex Lock;
    std::vector<TScriptObject> Objects;
    QJSEngine *Engine = nullptr;

    // The queue of calls for the UI thread, and what the worker waits for.
    enum class TWait { Nothing, Result, Room, Time };
    std::condition_variable Wake; // the worker's; notified only for what it waits for
    TWait Waiting = TWait::Nothing;
    std::deque<TUiOp> Ops;
    size_t QueuedReports = 0;  // of Ops, the program's messages
    size_t Unfinished = 0;     // calls queued and not yet carried out
    size_t DroppedReports = 0; // messages refused once the run was stopping
    bool DrainPosted = false;
    // A write or call that the worker did not wait for, failed on the UI
    // thread: it stopped the run, and the worker reports it.
    struct TFailure
    {
        int Line = -1; // the program's line that made the call, if known
        QString Message;
    };

    TKeptValues Kept; // see keptreads.h

    // The program is over and the run's thread frees the engine and ends;
    // guarded by the lock of the runs left behind (leftruns.h), not by Lock.
    bool Freeing = false;

    TRunPhase Phase() const { return FPhase.load(); }
    TStopReason Reason() const { return FReason.load(); }
    // Neither running nor in shutdown(): the program is being interrupted or is gone.
    bool Interrupting() const
    {
        const TRunPhase P = FPhase.load();
        return P == TRunPhase::Stopping || P == TRunPhase::Detached;
    }

    // UI thread: a call or write that the worker did not wait for failed. The
    // run stops with AFailure as its error, unless it is stopping already.
    void Fail(TFailure AFailure);
    // The worker: the failure Fail recorded, once.
    std::optional<TFailure> TakeFailure();
    // The worker, when the program's main part is over: enters InShutdown
    // and tells why the program stopped, in one step, so that a Stop
    // landing at that moment is never missed.
    bool EnterShutdown(TStopReason &AWhy);

    // The one place a run changes phase. Takes Lock. Interrupts the engine
    // when the phase is Stopping or Detached, and wakes the worker. False
    // when the change is not allowed from the present phase.
    bool Enter(TRunPhase APhase, TStopReason AReason = TStopReason::None);

    // shutdown()'s give-up time, on the UI thread. shutdown() waiting in
    // delay() is cut short at once; one running script is marked, and cut
    // short at its next delay(), so that its report names the line it waits
    // on wherever the give-up time found it. Called again on a marked run,
    // it cuts it short wherever it is, if delay() has not. True when it cut
    // or marked: shutdown() then has a last while to end.
    bool CutShutdown();
    // The worker in delay(), Lock held: takes the cut CutShutdown() marked.
    void TakeCutLocked();

    // Registers AObject (once) and returns its id; -1 for null. Any thread.
    int AddObject(QObject *AObject, const QString &AName = {});
    // UI thread: the live object of an id, or null.
    QObject *ObjectAt(int AId);
    // Any thread: the class and name recorded for an id.
    bool Describe(int AId, const QMetaObject *&AMeta, QString &AName);

private:
    bool EnterLocked(TRunPhase APhase, TStopReason AReason);

    bool FCutMarked = false; // guarded by Lock
    std::optional<TFailure> FFailure; // guarded by Lock; see Fail
    std::atomic<TRunPhase> FPhase{TRunPhase::SetUp};
    std::atomic<TStopReason> FReason{TStopReason::None};
};

// The limits of the queue of calls waiting for the UI thread: the writer
// waits at the high mark until the queue has drained to the low one.
// Reports have limits of their own, far lower: each one becomes a line of
// the pane, which costs the UI thread far more than a write to an object.
constexpr size_t KQueueHigh = 20000;
constexpr size_t KQueueLow = 10000;
constexpr size_t KReportsHigh = 1000;
constexpr size_t KReportsLow = 500;

// How long a stopped run may take to end, its shutdown() included, before
// it is given up; and how long shutdown() may take after a program that
// ended by itself.
constexpr int KGiveUpMs = 2000;
