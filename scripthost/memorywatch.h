#pragma once

// Watches the process's memory from outside the script while a run goes:
// a program that allocates without bound is stopped before it takes the
// machine down, whether it allocates in a loop or inside one built-in call.
// While the program waits (delay(), the time to its next repeater) there is
// nothing to watch, and the watch sleeps until it runs again.
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TMemoryWatch
{
public:
    // Calls AOnExceeded (on the watch's own thread) when the process holds
    // more than Limit() above what it held when the watch began or was
    // last rebased. Stops watching once it has called.
    explicit TMemoryWatch(std::function<void()> AOnExceeded);
    ~TMemoryWatch();

    // Counts from what the process holds now, and watches again.
    void Rebase();
    // The program waits / runs again. Called by the run's thread.
    void Rest() { FResting.store(true, std::memory_order_relaxed); }
    void Resume();

    // What a run may take above its start: 1 GiB, or the number of MiB in
    // the environment variable KB_SCRIPT_MEMORY_LIMIT_MB.
    static qint64 Limit();
    // The process's resident memory in bytes; 0 when it cannot be read.
    static qint64 ResidentBytes();

private:
    void Watch();
    qint64 Resident();

    std::function<void()> FOnExceeded;
    std::mutex FLock;
    std::condition_variable FWake;
    qint64 FBase = 0;
    bool FArmed = true;
    bool FEnd = false;
    std::atomic<bool> FResting{false};
    std::atomic<quint64> FRuns{0};       // times the program ran again after a wait
    std::atomic<bool> FAsleep{false};    // the watch sleeps until the program runs
    int FStatm = -1;                     // /proc/self/statm, kept open
    std::thread FThread;
};
