// The worker's end of the road to the user-interface thread.
#include "bridge.h"

#include <QCoreApplication>

namespace {

class TRunEvent : public QEvent
{
public:
    static QEvent::Type Kind()
    {
        static const auto T = QEvent::Type(QEvent::registerEventType());
        return T;
    }
    TRunEvent(TRunEventKind AWhat, std::weak_ptr<TRunState> AState)
        : QEvent(Kind()), What(AWhat), State(std::move(AState))
    {
    }
    TRunEventKind What;
    std::weak_ptr<TRunState> State;
};

} // namespace

QEvent::Type RunEventType() { return TRunEvent::Kind(); }
QEvent *MakeRunEvent(TRunEventKind AKind, const std::shared_ptr<TRunState> &AState)
{
    return new TRunEvent(AKind, AState);
}
TRunEventKind RunEventKind(QEvent *AEvent) { return static_cast<TRunEvent *>(AEvent)->What; }
std::shared_ptr<TRunState> RunEventState(QEvent *AEvent)
{
    return static_cast<TRunEvent *>(AEvent)->State.lock();
}

bool TUiBridge::Queue(TUiOp AOp, bool AAlways)
{
    std::unique_lock L(S->Lock);
    if (S->Phase() == TRunPhase::Detached)
        return false;
    if (!AAlways) {
        // A full queue holds the writer back: a program that floods the UI
        // thread with calls or lines waits for it instead of outrunning it.
        if (S->Ops.size() >= KQueueHigh || (AOp.Report && S->QueuedReports >= KReportsHigh)) {
            S->Waiting = TRunState::TWait::Room;
            S->Wake.wait(L, [this] {
                return (S->Ops.size() < KQueueLow && S->QueuedReports < KReportsLow) || S->Interrupting();
            });
            S->Waiting = TRunState::TWait::Nothing;
        }
        if (S->Interrupting()) {
            S->DroppedReports += AOp.Report;
            return false;
        }
    }
    S->QueuedReports += AOp.Report;
    ++S->Unfinished;
    S->Ops.push_back(std::move(AOp));
    if (!S->DrainPosted) {
        S->DrainPosted = true;
        QCoreApplication::postEvent(S->PostTarget, MakeRunEvent(TRunEventKind::Drain, S));
    }
    return true;
}

bool TUiBridge::Call(std::function<void()> AOp, const std::shared_ptr<TUiResult> &AResult)
{
    return Queue({std::move(AOp), AResult, false}) && Await(*AResult);
}

bool TUiBridge::Await(const TUiResult &AResult)
{
    std::unique_lock L(S->Lock);
    S->Waiting = TRunState::TWait::Result;
    S->Wake.wait(L, [&] { return AResult.Done || S->Interrupting(); });
    S->Waiting = TRunState::TWait::Nothing;
    return AResult.Done;
}

void TUiBridge::Flush()
{
    auto R = std::make_shared<TUiResult>();
    if (Queue({[] {}, R, false}, true))
        Await(*R);
}

void TUiBridge::Notify(TRunEventKind AKind)
{
    // Under the lock: a run is detached only under it, before its host goes.
    std::lock_guard L(S->Lock);
    if (S->Phase() != TRunPhase::Detached)
        QCoreApplication::postEvent(S->PostTarget, MakeRunEvent(AKind, S));
}
