#include "runstate.h"

#include <QJSEngine>

int TRunState::AddObject(QObject *AObject, const QString &AName)
{
    if (!AObject)
        return -1;
    std::lock_guard L(Lock);
    for (size_t I = 0; I < Objects.size(); ++I)
        if (Objects[I].Obj == AObject) {
            if (!AName.isEmpty() && Objects[I].Name.isEmpty())
                Objects[I].Name = AName;
            return int(I);
        }
    const QMetaObject *M = AObject->metaObject();
    Objects.push_back({AObject, M, AName.isEmpty() ? QString::fromLatin1(M->className()) : AName});
    return int(Objects.size() - 1);
}

QObject *TRunState::ObjectAt(int AId)
{
    std::lock_guard L(Lock);
    if (AId < 0 || size_t(AId) >= Objects.size())
        return nullptr;
    return Objects[size_t(AId)].Obj.data();
}

bool TRunState::Describe(int AId, const QMetaObject *&AMeta, QString &AName)
{
    std::lock_guard L(Lock);
    if (AId < 0 || size_t(AId) >= Objects.size())
        return false;
    AMeta = Objects[size_t(AId)].Meta;
    AName = Objects[size_t(AId)].Name;
    return true;
}

void TRunState::RequestStop()
{
    std::lock_guard L(Lock);
    if (InShutdown)
        return; // shutdown() runs to its end or its time limit
    Cancel = true;
    if (Engine)
        Engine->setInterrupted(true);
    Wake.notify_all();
}

void TRunState::Detach()
{
    std::deque<std::function<void()>> Dropped;
    {
        std::lock_guard L(Lock);
        Detached = true;
        Cancel = true;
        if (Engine)
            Engine->setInterrupted(true);
        Dropped.swap(Ops);
        Wake.notify_all();
    }
    // Dropped calls are freed outside the lock: they may hold shared state.
}
