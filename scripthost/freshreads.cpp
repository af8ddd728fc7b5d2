// Reads served on the worker's side while nothing changed them.
#include "freshreads.h"

#include <QMetaMethod>
#include <QMetaProperty>

bool TakeFresh(TRunState &S, int AId, int AProp, QVariant &AValue)
{
    std::lock_guard L(S.Lock);
    if (S.Unfinished != 0)
        return false;
    const auto O = S.Fresh.find(AId);
    if (O == S.Fresh.end())
        return false;
    const auto P = O->second.find(AProp);
    if (P == O->second.end())
        return false;
    AValue = P->second;
    return true;
}

void TFreshReads::Keep(QObject *AObject, int AId, const QMetaProperty &AProp, const QVariant &AValue)
{
    if (!AProp.hasNotifySignal())
        return;
    const QPair<QObject *, int> Signal(AObject, AProp.notifySignalIndex());
    if (!FConnected.contains(Signal)) {
        static const QMetaMethod Slot = staticMetaObject.method(staticMetaObject.indexOfSlot("Changed()"));
        if (!connect(AObject, AProp.notifySignal(), this, Slot))
            return;
        if (!FIds.contains(AObject))
            connect(AObject, &QObject::destroyed, this, [this, AObject] { Forget(AObject); });
        FConnected.insert(Signal);
        FIds.insert(AObject, AId);
    }
    std::lock_guard L(FState.Lock);
    FState.Fresh[AId][AProp.propertyIndex()] = AValue;
}

void TFreshReads::Changed()
{
    const auto It = FIds.constFind(sender());
    if (It == FIds.cend())
        return;
    std::lock_guard L(FState.Lock);
    FState.Fresh.erase(*It);
}

void TFreshReads::Forget(QObject *AObject)
{
    // A freed object reads as gone: nothing of it may be served any more.
    const int Id = FIds.take(AObject);
    FConnected.removeIf([AObject](const QPair<QObject *, int> &C) { return C.first == AObject; });
    std::lock_guard L(FState.Lock);
    FState.Fresh.erase(Id);
}
