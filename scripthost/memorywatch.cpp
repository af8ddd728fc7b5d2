// Watches the process's memory while a run goes.
#include "memorywatch.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {
// Often enough that a program doubling a string cannot get far past the
// limit between two looks.
constexpr auto KPeriod = std::chrono::milliseconds(10);

// The resident set from the text of statm: its second field, in pages.
qint64 ResidentFrom(const char *AText)
{
    char *End = nullptr;
    std::strtoll(AText, &End, 10);
    const long long Pages = std::strtoll(End, nullptr, 10);
    return Pages > 0 ? Pages * sysconf(_SC_PAGESIZE) : 0;
}
} // namespace

TMemoryWatch::TMemoryWatch(std::function<void()> AOnExceeded) : FOnExceeded(std::move(AOnExceeded))
{
    FStatm = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    FBase = Resident();
    FThread = std::thread([this] {
        pthread_setname_np(pthread_self(), "ScriptMemory");
        Watch();
    });
}

TMemoryWatch::~TMemoryWatch()
{
    {
        std::lock_guard L(FLock);
        FEnd = true;
        FWake.notify_all();
    }
    FThread.join();
    if (FStatm >= 0)
        ::close(FStatm);
}

void TMemoryWatch::Rebase()
{
    const qint64 Now = Resident();
    std::lock_guard L(FLock);
    FBase = Now;
    FArmed = true;
}

void TMemoryWatch::Resume()
{
    FResting.store(false);
    FRuns.fetch_add(1);
    if (FAsleep.exchange(false)) {
        std::lock_guard L(FLock);
        FWake.notify_all();
    }
}

qint64 TMemoryWatch::Limit()
{
    bool Ok = false;
    const qint64 Mb = qEnvironmentVariable("KB_SCRIPT_MEMORY_LIMIT_MB").toLongLong(&Ok);
    return (Ok && Mb > 0 ? Mb : 1024) * 1024 * 1024;
}

qint64 TMemoryWatch::ResidentBytes()
{
    FILE *F = std::fopen("/proc/self/statm", "r");
    if (!F)
        return 0;
    char Text[128] = {};
    const size_t N = std::fread(Text, 1, sizeof Text - 1, F);
    std::fclose(F);
    return N > 0 ? ResidentFrom(Text) : 0;
}

qint64 TMemoryWatch::Resident()
{
    if (FStatm < 0)
        return ResidentBytes();
    char Text[128] = {};
    const ssize_t N = ::pread(FStatm, Text, sizeof Text - 1, 0);
    return N > 0 ? ResidentFrom(Text) : 0;
}

void TMemoryWatch::Watch()
{
    const qint64 Limit = TMemoryWatch::Limit();
    quint64 SeenRuns = FRuns.load();
    std::unique_lock L(FLock);
    while (!FEnd) {
        FWake.wait_for(L, KPeriod, [this] { return FEnd; });
        if (FEnd)
            break;
        const quint64 Runs = FRuns.load();
        if (FResting.load() && Runs == SeenRuns) {
            // Nothing ran since the last look: sleep until the program runs.
            FAsleep = true;
            // Looked at again: a Resume before FAsleep was set did not wake us.
            if (FResting.load() && FRuns.load() == SeenRuns)
                FWake.wait(L, [this] { return FEnd || !FAsleep.load(); });
            FAsleep = false;
            continue;
        }
        SeenRuns = Runs;
        if (!FArmed)
            continue;
        const qint64 Base = FBase;
        L.unlock();
        const qint64 Now = Resident();
        L.lock();
        if (FArmed && Base == FBase && Now > Base + Limit) {
            FArmed = false;
            L.unlock();
            FOnExceeded();
            L.lock();
        }
    }
}
