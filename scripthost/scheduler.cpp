// The run's timetable of repeaters.
#include "scheduler.h"

#include <algorithm>
#include <cmath>

TClock::duration TScheduler::Period(double AMicroseconds)
{
    return std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double, std::micro>(AMicroseconds));
}

double TScheduler::Clamped(double AMicroseconds)
{
    return std::isnan(AMicroseconds) ? KMinInterval : std::clamp(AMicroseconds, KMinInterval, KMaxInterval);
}

TScheduler::TRepeater *TScheduler::At(int AId)
{
    return AId >= 0 && size_t(AId) < FRepeaters.size() ? &FRepeaters[size_t(AId)] : nullptr;
}

const TScheduler::TRepeater *TScheduler::At(int AId) const
{
    return AId >= 0 && size_t(AId) < FRepeaters.size() ? &FRepeaters[size_t(AId)] : nullptr;
}

int TScheduler::Add(double AMicroseconds)
{
    TRepeater R;
    R.Interval = Clamped(AMicroseconds);
    FRepeaters.push_back(R);
    return int(FRepeaters.size() - 1);
}

void TScheduler::SetActive(int AId, bool AActive)
{
    if (TRepeater *R = At(AId)) {
        if (AActive && !R->HasFunction)
            R->Due = TClock::now() + Period(R->Interval);
        R->HasFunction = AActive;
    }
}

double TScheduler::Interval(int AId) const
{
    const TRepeater *R = At(AId);
    return R ? R->Interval : 0;
}

void TScheduler::SetInterval(int AId, double AMicroseconds)
{
    if (TRepeater *R = At(AId); R && !std::isnan(AMicroseconds))
        R->Interval = Clamped(AMicroseconds);
}

bool TScheduler::Enabled(int AId) const
{
    const TRepeater *R = At(AId);
    return R && R->Enabled;
}

void TScheduler::SetEnabled(int AId, bool AEnabled)
{
    if (TRepeater *R = At(AId)) {
        if (AEnabled && !R->Enabled)
            R->Due = TClock::now() + Period(R->Interval);
        R->Enabled = AEnabled;
    }
}

bool TScheduler::TakeDue(size_t AId, TClock::time_point ANow)
{
    TRepeater *R = At(int(AId));
    if (!R || !R->HasFunction || !R->Enabled || R->Due > ANow)
        return false;
    // Steady rate: the next due time follows from this one, not from now,
    // but a repeater far behind (the machine stalled) skips what it missed.
    const auto P = Period(R->Interval);
    R->Due += P;
    if (R->Due < ANow - std::chrono::milliseconds(50))
        R->Due = ANow + P;
    return true;
}

std::optional<TClock::time_point> TScheduler::NextDue() const
{
    std::optional<TClock::time_point> Next;
    for (const auto &R : FRepeaters)
        if (R.HasFunction && R.Enabled && (!Next || R.Due < *Next))
            Next = R.Due;
    return Next;
}

std::optional<TClock::time_point> TScheduler::LatestDueBy(TClock::time_point ALimit) const
{
    std::optional<TClock::time_point> Latest;
    for (const auto &R : FRepeaters)
        if (R.HasFunction && R.Enabled && R.Due <= ALimit && (!Latest || R.Due > *Latest))
            Latest = R.Due;
    return Latest;
}
