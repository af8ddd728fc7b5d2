#pragma once

// The run's timetable: the repeaters made with createRepeater, each with its
// interval in microseconds and its next due time on a steady clock.
#include <chrono>
#include <optional>
#include <vector>

using TClock = std::chrono::steady_clock;

class TScheduler
{
public:
    // The shortest repeater interval, in microseconds.
    static constexpr double KMinInterval = 1000;
    // The longest, as delay() waits at most 1e12 ms: about eleven days, so
    // that a due time, however often taken on, stays far within the clock's
    // range. An infinite interval is this one, a negative one the shortest.
    static constexpr double KMaxInterval = 1e12;

    // A new repeater, without a function yet; its id.
    int Add(double AMicroseconds);
    // A repeater runs only while it has a function and is enabled; either
    // one starting counts its first interval from now.
    void SetActive(int AId, bool AActive);
    double Interval(int AId) const;
    void SetInterval(int AId, double AMicroseconds);
    bool Enabled(int AId) const;
    void SetEnabled(int AId, bool AEnabled);

    size_t Count() const { return FRepeaters.size(); }
    // True when repeater AId is due at ANow; its next due time is then
    // taken on by one interval.
    bool TakeDue(size_t AId, TClock::time_point ANow);
    // When the next running repeater is due; none when none runs.
    std::optional<TClock::time_point> NextDue() const;
    // The latest due time of a running repeater not after ALimit; none if none.
    std::optional<TClock::time_point> LatestDueBy(TClock::time_point ALimit) const;

private:
    struct TRepeater
    {
        double Interval = KMinInterval;
        TClock::time_point Due;
        bool HasFunction = false;
        bool Enabled = true;
    };
    static TClock::duration Period(double AMicroseconds);
    static double Clamped(double AMicroseconds);
    TRepeater *At(int AId);
    const TRepeater *At(int AId) const;

    std::vector<TRepeater> FRepeaters;
};
