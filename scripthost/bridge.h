#pragma once

// The road between a run's worker thread and the user-interface thread: the
// worker queues calls and waits for their results; the UI thread carries
// them out in order when the drain event reaches the host.
#include "runstate.h"

#include <QEvent>
#include <QVariant>
#include <memory>

// The outcome of one call carried out on the user-interface thread.
struct TUiResult
{
    bool Done = false;
    QVariant Value;
    int ObjectId = -1; // the result is this object
    bool IsObject = false;
    QString Error;
};

// The worker's end of the road.
class TUiBridge
{
public:
    explicit TUiBridge(std::shared_ptr<TRunState> AState) : S(std::move(AState)) {}

    // Queues AOp, waiting while the queue is full. AReport marks one of the
    // program's messages, which have their own, lower limit and are dropped
    // by Stop. AAlways: even after Stop (an error report must not be lost).
    // False: the call was dropped.
    bool Queue(std::function<void()> AOp, bool AReport = false, bool AAlways = false);
    // Waits until the UI thread has finished AResult. False: the run is
    // being stopped (its interruption follows) and there is no result.
    bool Await(const TUiResult &AResult);
    // Waits until everything queued so far has been carried out.
    void Flush();

private:
    std::shared_ptr<TRunState> S;
};

// The UI thread's end: the drain event that tells the host a run has work.
QEvent::Type DrainEventType();
QEvent *MakeDrainEvent(const std::shared_ptr<TRunState> &AState);
std::shared_ptr<TRunState> DrainEventState(QEvent *AEvent);

// On the UI thread: stores a value read from an object in R as one the
// worker can take over safely (objects become ids, a few Qt types plain
// values), and marks R finished.
void FinishResult(TRunState &S, QVariant AValue, TUiResult &R);
void Complete(TRunState &S, TUiResult &R);

bool IsObjectPointer(QMetaType AType);
