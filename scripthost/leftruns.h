#pragma once

// Runs that no window waits for: their window has gone, or Stop gave them
// up. Each is cut off from everything of its window (Detached) and ends on
// its own thread when its program lets it, a long built-in call or a program
// that ignores interruption included; its thread then frees itself.
//
// They run only code of this library, which is never unloaded, and of Qt.
// At the application's end they have the give-up time to end; after it no
// run frees its engine or ends its thread any more: one that gets that far
// stays where it is, so that nothing of it runs while the process takes
// itself down.
#include <memory>

class QThread;
class TRunState;

namespace LeftRuns {

// UI thread: takes over AThread, which runs AState, already Detached.
void Take(QThread *AThread, std::shared_ptr<TRunState> AState);

// On a run's thread once its program is over, before it frees the engine.
// Returns unless the application has ended.
void BeforeFreeing(TRunState &AState);

} // namespace LeftRuns
