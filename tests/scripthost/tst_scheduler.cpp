// The repeaters' timetable on a clock the test drives: the rates exactly,
// whatever the machine's speed.
#include "scheduler.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A clock far ahead of the repeaters' first due times: a repeater that far
// behind fires once and counts afresh from that time, which lines the
// repeaters up on it.
TClock::time_point LinedUp(TScheduler &S)
{
    const auto T = TClock::now() + 1s;
    for (size_t I = 0; I < S.Count(); ++I)
        EXPECT_TRUE(S.TakeDue(I, T));
    return T;
}

TEST(SchedulerTest, RepeatersFireAtTheirOwnRates)
{
    TScheduler S;
    const int Fast = S.Add(2000);
    const int Slow = S.Add(8000);
    const auto Before = TClock::now();
    S.SetActive(Fast, true);
    S.SetActive(Slow, true);
    EXPECT_FALSE(S.TakeDue(Fast, Before + 2ms - 1ns)); // not before its first interval

    // A second of the clock, looked at every 250 us as a run does.
    const auto T0 = LinedUp(S);
    int A = 0, B = 0;
    for (auto T = T0 + 250us; T <= T0 + 1s; T += 250us) {
        A += S.TakeDue(Fast, T);
        B += S.TakeDue(Slow, T);
    }
    EXPECT_EQ(A, 500);
    EXPECT_EQ(B, 125);
}

TEST(SchedulerTest, AShortStallIsCaughtUpAndALongOneSkipped)
{
    TScheduler S;
    const int R = S.Add(2000);
    S.SetActive(R, true);
    auto T = LinedUp(S);
    auto ShotsAt = [&](TClock::time_point ANow) {
        int N = 0;
        while (S.TakeDue(R, ANow))
            ++N;
        return N;
    };
    // 20 ms late: the ten missed shots, and the rate keeps its step.
    T += 20ms;
    EXPECT_EQ(ShotsAt(T), 10);
    EXPECT_EQ(S.NextDue(), T + 2ms);
    // 100 ms late: one shot, and the count starts afresh.
    T += 100ms;
    EXPECT_EQ(ShotsAt(T), 1);
    EXPECT_EQ(S.NextDue(), T + 2ms);
}

} // namespace
