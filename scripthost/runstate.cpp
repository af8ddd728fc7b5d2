// The run's shared state: its objects by id, and the ways a run is stopped.
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
    StoppedByUser = true;
    if (Engine)
        Engine->setInterrupted(true);
    // Stop ends the run at once: lines of a flood still waiting for the pane
    // would keep it filling for a long while. Calls to objects stay.
    if (QueuedReports > 0) {
        std::erase_if(Ops, [](const TUiOp &AOp) { return AOp.Report; });
        QueuedReports = 0;
    }
    Wake.notify_all();
}

void TRunState::StopForMemory()
{
    std::lock_guard L(Lock);
    OutOfMemory = true;
    if (Engine)
        Engine->setInterrupted(true);
    Wake.notify_all();
}

void TRunState::Detach()
{
    std::deque<TUiOp> Dropped;
    {
        std::lock_guard L(Lock);
        Detached = true;
        Cancel = true;
        if (Engine)
            Engine->setInterrupted(true);
        Dropped.swap(Ops);
        QueuedReports = 0;
        Wake.notify_all();
    }
    // Dropped calls are freed outside the lock: they may hold shared state.
}
