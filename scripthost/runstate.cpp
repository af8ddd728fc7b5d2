// The run's shared state: its phase, and its objects by id.
#include "runstate.h"

#include <QJSEngine>

bool TRunState::Enter(TRunPhase APhase, TStopReason AReason)
{
    // Freed after the lock is released.
    std::deque<TUiOp> Dropped;
    std::vector<TScriptObject> Forgotten;
    TKeptValues Unread;
    std::optional<TFailure> Unreported;
    std::lock_guard L(Lock);
    const bool Entered = EnterLocked(APhase, AReason);
    if (Entered && APhase == TRunPhase::Detached) {
        // Nothing queued reaches the UI thread any more. The objects' classes
        // are the module's, which may be unloaded while the run still goes:
        // the run can describe none of them from here on.
        Dropped.swap(Ops);
        QueuedReports = 0;
        Unfinished = 0;
        Forgotten.swap(Objects);
        std::swap(Unread, Kept);
        Unreported.swap(FFailure);
    }
    return Entered;
}

void TRunState::Fail(TFailure AFailure)
{
    std::lock_guard L(Lock);
    if (EnterLocked(TRunPhase::Stopping, TStopReason::Error))
        FFailure = std::move(AFailure);
}

std::optional<TRunState::TFailure> TRunState::TakeFailure()
{
    std::lock_guard L(Lock);
    return std::exchange(FFailure, std::nullopt);
}

bool TRunState::EnterShutdown(TStopReason &AWhy)
{
    std::lock_guard L(Lock);
    AWhy = FReason.load();
    return EnterLocked(TRunPhase::InShutdown, TStopReason::Finished);
}

bool TRunState::CutShutdown()
{
    std::lock_guard L(Lock);
    if (FCutMarked) {
        FCutMarked = false;
        EnterLocked(TRunPhase::Stopping, TStopReason::GivenUp);
        return true;
    }
    if (FPhase.load() != TRunPhase::InShutdown)
        return false;
    // In shutdown(), the worker waits for the time only in delay().
    if (Waiting != TWait::Time || !EnterLocked(TRunPhase::Stopping, TStopReason::GivenUp))
        FCutMarked = true;
    return true;
}

void TRunState::TakeCutLocked()
{
    if (FCutMarked && FPhase.load() == TRunPhase::InShutdown)
        EnterLocked(TRunPhase::Stopping, TStopReason::GivenUp);
}

bool TRunState::EnterLocked(TRunPhase APhase, TStopReason AReason)
{
    const TRunPhase From = FPhase.load();
    bool Allowed = false;
    switch (APhase) {
    case TRunPhase::SetUp:
        break;
    case TRunPhase::Running:
        Allowed = From == TRunPhase::SetUp;
        break;
    case TRunPhase::Stopping:
        // Stop, the memory watch and the program's own error interrupt the
        // program; once shutdown() runs, Stop no longer does.
        Allowed = From == TRunPhase::Running || (From == TRunPhase::InShutdown && AReason != TStopReason::User);
        break;
    case TRunPhase::InShutdown:
        Allowed = From == TRunPhase::Running || From == TRunPhase::Stopping;
        break;
    case TRunPhase::Ended:
        Allowed = From != TRunPhase::Ended && From != TRunPhase::Detached;
        break;
    case TRunPhase::Detached:
        Allowed = From != TRunPhase::Detached;
        break;
    }
    if (!Allowed)
        return false;
    FPhase = APhase;
    if (AReason != TStopReason::None && (APhase == TRunPhase::Stopping || FReason.load() == TStopReason::None))
        FReason = AReason;
    if (Engine) {
        if (APhase == TRunPhase::Stopping || APhase == TRunPhase::Detached)
            Engine->setInterrupted(true);
        else if (APhase == TRunPhase::InShutdown)
            Engine->setInterrupted(false); // shutdown() runs even after Stop
    }
    Wake.notify_all();
    return true;
}

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
