// The user-interface thread's end of the road between a run and its objects.
#include "uidrain.h"

#include "bridge.h"
#include "debugtrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>

namespace {
// The most a slice of the drain takes, in time and in reports. Each report
// becomes a packet on the bus and a line of the pane, which are delivered
// after the slice, and these too must leave room for input: the pane lays
// out about a character a microsecond.
constexpr qint64 KSliceMs = 8;
constexpr size_t KSliceReports = 256;
constexpr qsizetype KSliceChars = 4096;
constexpr size_t KBatch = 256;

// Under the lock: wakes the worker if it waits for room the queue now has.
void WakeForRoom(TRunState &S)
{
    if (S.Waiting == TRunState::TWait::Room && S.Ops.size() < KQueueLow && S.QueuedReports < KReportsLow)
        S.Wake.notify_all();
}
// Under the lock: AFinished calls were carried out (a detached run has
// dropped its count already).
void CountOff(TRunState &S, size_t &AFinished)
{
    S.Unfinished -= std::min(S.Unfinished, AFinished);
    AFinished = 0;
}
} // namespace

void UiDrain::Drain(QObject *AHost, const std::shared_ptr<TRunState> &S, std::shared_ptr<TRunState> &ACurrent)
{
    QPointer<QObject> Host(AHost);
    QElapsedTimer Slice;
    Slice.start();
    size_t Reports = 0;
    qsizetype Chars = 0;
    std::deque<TUiOp> Batch;
    for (;;) {
        {
            std::lock_guard L(S->Lock);
            if (S->Ops.empty() || S->Phase() == TRunPhase::Detached) {
                S->DrainPosted = false;
                return;
            }
            if (Slice.elapsed() >= KSliceMs || Reports >= KSliceReports || Chars >= KSliceChars) {
                QCoreApplication::postEvent(AHost, MakeRunEvent(TRunEventKind::Drain, S)); // DrainPosted stays set
                return;
            }
            for (size_t I = 0; I < KBatch && !S->Ops.empty() && Reports < KSliceReports && Chars < KSliceChars;
                 ++I) {
                Reports += S->Ops.front().Report;
                Chars += S->Ops.front().Chars;
                S->QueuedReports -= S->Ops.front().Report;
                Batch.push_back(std::move(S->Ops.front()));
                S->Ops.pop_front();
            }
            WakeForRoom(*S);
        }
        auto Previous = std::exchange(ACurrent, S);
        // Carried-out calls are counted off under the lock taken anyway for
        // a result, or once at the end of the batch.
        size_t Finished = 0;
        for (auto &Op : Batch) {
            try {
                Op.Run();
            } catch (...) {
                DebugTrace(QStringLiteral("ScriptHost - a call from the script failed\r\n"));
            }
            if (!Host)
                return; // a call freed the window and with it this engine
            ++Finished;
            if (Op.Result) {
                bool Waits = false;
                {
                    std::lock_guard L(S->Lock);
                    CountOff(*S, Finished);
                    Op.Result->Done = true;
                    Waits = S->Waiting == TRunState::TWait::Result;
                }
                // Woken outside the lock, the worker does not wake only to
                // wait for it.
                if (Waits)
                    S->Wake.notify_all();
            }
        }
        if (Finished > 0) {
            std::lock_guard L(S->Lock);
            CountOff(*S, Finished);
        }
        ACurrent = Previous;
        Batch.clear();
    }
}
