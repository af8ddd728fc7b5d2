#pragma once

// What one run shares between its worker thread and the user-interface
// thread: the set-up, the objects the script may use, the queue of calls
// waiting for the UI thread, and the flags that stop the run.

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct ICore;
class QJSEngine;
class TPinBoard;

// A call waiting for the UI thread. The program's messages are marked, so
// that the queue can bound them on their own and Stop can drop them.
struct TUiOp
{
    std::function<void()> Run;
    bool Report = false;
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
    QObject *PostTarget = nullptr; // the host; alive while Detached is false

    std::mutex Lock;
    // The worker waits here for UI results, time, stop and queue room.
    std::condition_variable Wake;
    std::vector<TScriptObject> Objects;
    std::deque<TUiOp> Ops;
    size_t QueuedReports = 0; // of Ops, the program's messages
    bool OpsPosted = false;
    bool InShutdown = false;
    QJSEngine *Engine = nullptr;
    QString PendingError; // raised by a queued call; thrown at the script's next call

    // Stop asked for; the program is being interrupted (cleared for shutdown()).
    std::atomic<bool> Cancel{false};
    // The window is going: nothing more may reach the UI thread.
    std::atomic<bool> Detached{false};
    // The learner pressed Stop (not an error, not the program's own end).
    std::atomic<bool> StoppedByUser{false};
    // The program took more memory than a run may; it is being interrupted.
    std::atomic<bool> OutOfMemory{false};
    std::atomic<bool> HasPendingError{false};

    // Registers AObject (once) and returns its id; -1 for null. Any thread.
    int AddObject(QObject *AObject, const QString &AName = {});
    // UI thread: the live object of an id, or null.
    QObject *ObjectAt(int AId);
    // Any thread: the class and name recorded for an id.
    bool Describe(int AId, const QMetaObject *&AMeta, QString &AName);

    // Interrupts the program (not shutdown()). UI thread.
    void RequestStop();
    // Interrupts the program because it took too much memory. Any thread.
    void StopForMemory();
    // Ends everything at once; nothing reaches the UI any more. UI thread.
    void Detach();
};

// The limits of the queue of calls waiting for the UI thread: the writer
// waits at the high mark until the queue has drained to the low one.
// Reports have limits of their own, far lower: each one becomes a line of
// the pane, which costs the UI thread far more than a write to an object.
constexpr size_t KQueueHigh = 20000;
constexpr size_t KQueueLow = 10000;
constexpr size_t KReportsHigh = 1000;
constexpr size_t KReportsLow = 500;
