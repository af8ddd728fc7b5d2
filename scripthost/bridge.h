#pragma once

// The worker's end of the road to the user-interface thread: the worker
// queues calls and waits for their results; the UI thread carries them out
// in order when the drain event reaches the host (uidrain.h).
#include "runstate.h"

#include <QEvent>
#include <memory>

// Events the worker posts to the host.
enum class TRunEventKind { Drain, ShutdownBegins };

class TUiBridge
{
public:
    explicit TUiBridge(std::shared_ptr<TRunState> AState) : S(std::move(AState)) {}

    // Queues AOp, waiting while the queue is full. AAlways: even while the
    // run is being stopped, and without waiting for room (the engine's own
    // reports, and what it does before shutdown()). False: the call was
    // dropped; a dropped message is counted.
    bool Queue(TUiOp AOp, bool AAlways = false);
    // Queues a call whose result the worker waits for, and waits. False:
    // the run is being stopped (its interruption follows), no result.
    bool Call(std::function<void()> AOp, const std::shared_ptr<TUiResult> &AResult);
    // Waits until everything queued so far has been carried out.
    void Flush();
    // Tells the host AKind, unless the run is detached.
    void Notify(TRunEventKind AKind);

private:
    bool Await(const TUiResult &AResult);

    std::shared_ptr<TRunState> S;
};

QEvent::Type RunEventType();
QEvent *MakeRunEvent(TRunEventKind AKind, const std::shared_ptr<TRunState> &AState);
TRunEventKind RunEventKind(QEvent *AEvent);
std::shared_ptr<TRunState> RunEventState(QEvent *AEvent);
