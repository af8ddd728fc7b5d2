// Watches the process's memory while a run goes.
#include "memorywatch.h"

#include <QString>
#include <cstdio>
#include <unistd.h>

namespace {
// Often enough that a program doubling a string cannot get far past the
// limit between two looks.
constexpr auto KPeriod = std::chrono::milliseconds(10);
} // namespace

TMemoryWatch::TMemoryWatch(std::function<void()> AOnExceeded) : FOnExceeded(std::move(AOnExceeded))
{
    FBase = ResidentBytes();
    FThread = std::thread([this] { Watch(); });
}

TMemoryWatch::~TMemoryWatch()
{
    {
        std::lock_guard L(FLock);
        FEnd = true;
        FWake.notify_all();
    }
    FThread.join();
}

void TMemoryWatch::Rebase()
{
    const qint64 Now = ResidentBytes();
    std::lock_guard L(FLock);
    FBase = Now;
    FArmed = true;
}

qint64 TMemoryWatch::Limit()
{
    bool Ok = false;
    const qint64 Mb = qEnvironmentVariable("KB_SCRIPT_MEMORY_LIMIT_MB").toLongLong(&Ok);
    return (Ok && Mb > 0 ? Mb : 1024) * 1024 * 1024;
}

qint64 TMemoryWatch::ResidentBytes()
{
    // The second field of statm is the resident set, in pages.
    FILE *F = std::fopen("/proc/self/statm", "r");
    if (!F)
        return 0;
    long long Size = 0, Resident = 0;
    const bool Read = std::fscanf(F, "%lld %lld", &Size, &Resident) == 2;
    std::fclose(F);
    return Read ? Resident * sysconf(_SC_PAGESIZE) : 0;
}

void TMemoryWatch::Watch()
{
    const qint64 Limit = TMemoryWatch::Limit();
    std::unique_lock L(FLock);
    while (!FWake.wait_for(L, KPeriod, [this] { return FEnd; })) {
        if (!FArmed)
            continue;
        const qint64 Base = FBase;
        L.unlock();
        const qint64 Now = ResidentBytes();
        L.lock();
        if (FArmed && Base == FBase && Now > Base + Limit) {
            FArmed = false;
            L.unlock();
            FOnExceeded();
            L.lock();
        }
    }
}
