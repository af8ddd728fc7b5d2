// The road between a run's worker thread and the user-interface thread.
#include "bridge.h"

#include <QColor>
#include <QCoreApplication>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace {

// Posted to the host when its queue of UI calls gets work.
class TDrainEvent : public QEvent
{
public:
    static QEvent::Type Kind()
    {
        static const auto T = QEvent::Type(QEvent::registerEventType());
        return T;
    }
    explicit TDrainEvent(std::weak_ptr<TRunState> AState) : QEvent(Kind()), State(std::move(AState)) {}
    std::weak_ptr<TRunState> State;
};

} // namespace

QEvent::Type DrainEventType() { return TDrainEvent::Kind(); }
QEvent *MakeDrainEvent(const std::shared_ptr<TRunState> &AState) { return new TDrainEvent(AState); }
std::shared_ptr<TRunState> DrainEventState(QEvent *AEvent)
{
    return static_cast<TDrainEvent *>(AEvent)->State.lock();
}

bool TUiBridge::Queue(std::function<void()> AOp, bool AReport, bool AAlways)
{
    std::unique_lock L(S->Lock);
    if (S->Detached)
        return false;
    if (!AAlways) {
        // A full queue holds the writer back: a program that floods the UI
        // thread with calls or lines waits for it instead of outrunning it.
        if (S->Ops.size() >= KQueueHigh || (AReport && S->QueuedReports >= KReportsHigh))
            S->Wake.wait(L, [this] {
                return (S->Ops.size() < KQueueLow && S->QueuedReports < KReportsLow) || S->Cancel || S->Detached;
            });
        if (S->Cancel)
            return false;
    }
    if (S->Detached)
        return false;
    S->Ops.push_back({std::move(AOp), AReport});
    S->QueuedReports += AReport;
    if (!S->OpsPosted) {
        S->OpsPosted = true;
        QCoreApplication::postEvent(S->PostTarget, new TDrainEvent(S));
    }
    return true;
}

bool TUiBridge::Await(const TUiResult &AResult)
{
    std::unique_lock L(S->Lock);
    S->Wake.wait(L, [&] { return AResult.Done || S->Cancel || S->Detached || S->OutOfMemory; });
    return AResult.Done;
}

void TUiBridge::Flush()
{
    auto R = std::make_shared<TUiResult>();
    auto State = S;
    if (Queue([State, R] { Complete(*State, *R); }, false, true))
        Await(*R);
}

bool IsObjectPointer(QMetaType AType)
{
    return AType.flags().testFlag(QMetaType::PointerToQObject);
}

void FinishResult(TRunState &S, QVariant AValue, TUiResult &R)
{
    const QMetaType T = AValue.metaType();
    if (IsObjectPointer(T)) {
        QObject *O = *static_cast<QObject *const *>(AValue.constData());
        R.IsObject = true;
        R.ObjectId = S.AddObject(O);
        return;
    }
    switch (T.id()) {
    case QMetaType::QColor:
        R.Value = AValue.value<QColor>().name();
        return;
    case QMetaType::QPoint:
    case QMetaType::QPointF: {
        const QPointF P = AValue.toPointF();
        R.Value = QVariantMap{{"x", P.x()}, {"y", P.y()}};
        return;
    }
    case QMetaType::QSize: {
        const QSize Z = AValue.toSize();
        R.Value = QVariantMap{{"Width", Z.width()}, {"Height", Z.height()}};
        return;
    }
    case QMetaType::QRect: {
        const QRect Q = AValue.toRect();
        R.Value = QVariantMap{{"Left", Q.left()}, {"Top", Q.top()},
                              {"Right", Q.left() + Q.width()}, {"Bottom", Q.top() + Q.height()}};
        return;
    }
    default:
        break;
    }
    if (T.flags().testFlag(QMetaType::IsEnumeration))
        AValue.convert(QMetaType::fromType<int>());
    R.Value = std::move(AValue);
}

void Complete(TRunState &S, TUiResult &R)
{
    std::lock_guard L(S.Lock);
    R.Done = true;
    S.Wake.notify_all();
}
