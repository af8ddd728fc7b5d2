// Runs that no window waits for, and what becomes of them at the end.
#include "leftruns.h"

#include "runstate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

// Shared with the runs' threads, which may outlast every static object:
// made once and never freed.
struct TGate
{
    std::mutex Lock;
    std::condition_variable Never;
    bool Ended = false; // the application has ended
};

TGate &Gate()
{
    static TGate *G = new TGate;
    return *G;
}

struct TLeft
{
    QPointer<QThread> Thread; // cleared when the thread has freed itself
    std::shared_ptr<TRunState> State;
};

// UI thread only.
std::vector<TLeft> &Left()
{
    static auto *L = new std::vector<TLeft>;
    return *L;
}

// Called as the application object goes, before anything static does.
void AtEnd()
{
    auto &L = Left();
    // A run that was interrupted mostly ends within the time a stopped run has.
    const QDeadlineTimer Deadline(KGiveUpMs);
    for (auto &E : L)
        if (E.Thread)
            E.Thread->wait(Deadline);
    std::vector<QThread *> Ending;
    {
        std::lock_guard G(Gate().Lock);
        Gate().Ended = true;
        for (auto &E : L)
            if (E.Thread && (E.Thread->isFinished() || E.State->Freeing))
                Ending.push_back(E.Thread);
    }
    // Past the gate a run only frees its engine and ends.
    for (QThread *T : Ending)
        if (T->wait(QDeadlineTimer(KGiveUpMs)))
            delete T;
    L.clear(); // the rest stay busy until the process is gone
}

} // namespace

void LeftRuns::Take(QThread *AThread, std::shared_ptr<TRunState> AState)
{
    static const bool Registered = [] {
        qAddPostRoutine(AtEnd);
        return true;
    }();
    Q_UNUSED(Registered);
    auto &L = Left();
    std::erase_if(L, [](const TLeft &E) { return !E.Thread; });
    QObject::connect(AThread, &QThread::finished, AThread, &QObject::deleteLater);
    if (AThread->isFinished())
        AThread->deleteLater();
    L.push_back({AThread, std::move(AState)});
}

void LeftRuns::BeforeFreeing(TRunState &AState)
{
    auto &G = Gate();
    std::unique_lock L(G.Lock);
    // Once the application has ended, the process is taking itself down:
    // this thread stays here and touches nothing any more.
    G.Never.wait(L, [&] { return !G.Ended; });
    AState.Freeing = true;
}
