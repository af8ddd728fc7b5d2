// The kept copy of a run's reads.
#include "keptreads.h"

#include "runstate.h"

#include <QMetaMethod>
#include <QMetaProperty>

bool TKeptValues::Find(int AId, int AProp, QVariant &AValue) const
{
    const auto O = FValues.find(AId);
    if (O == FValues.end())
        return false;
    const auto P = O->second.find(AProp);
    if (P == O->second.end())
        return false;
    AValue = P->second;
    return true;
}

bool TKeptReader::Take(int AId, int AProp, QVariant &AValue)
{
    const qint64 Key = (qint64(AId) << 32) | quint32(AProp);
    auto Kind = FKinds.constFind(Key);
    if (Kind == FKinds.cend()) {
        const QMetaObject *M = nullptr;
        QString Name;
        Kind = FKinds.insert(Key, S.Describe(AId, M, Name) && M->property(AProp).hasNotifySignal());
    }
    if (!*Kind)
        return false;
    std::lock_guard L(S.Lock);
    return S.Unfinished == 0 && S.Kept.Find(AId, AProp, AValue);
}

void TKeptWatch::Keep(QObject *AObject, int AId, const QMetaProperty &AProp, const QVariant &AValue)
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
    FState.Kept.Put(AId, AProp.propertyIndex(), AValue);
}

void TKeptWatch::Changed()
{
    const auto It = FIds.constFind(sender());
    if (It == FIds.cend())
        return;
    std::lock_guard L(FState.Lock);
    FState.Kept.Forget(*It);
}

void TKeptWatch::Forget(QObject *AObject)
{
    // A freed object reads as gone: nothing of it may be served any more.
    const int Id = FIds.take(AObject);
    FConnected.removeIf([AObject](const QPair<QObject *, int> &C) { return C.first == AObject; });
    std::lock_guard L(FState.Lock);
    FState.Kept.Forget(Id);
}
